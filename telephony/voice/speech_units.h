// The stretches of speech of a voice file, found by a frame-energy
// segmenter: the silence trimming keeps what lies between the first and the
// last of them.
//
// Frames are 20 samples. A frame's level is the mean absolute value of its
// samples (8-bit samples expanded with ExpandG711); a level below 450 is
// quiet, any other loud. A run of loud frames is a stretch; a stretch of
// more than 20 loud frames is speech, a shorter one a click and dropped.
// A stretch starts at the first sample of its first loud frame, except
// that a start of 0 counts as not yet set: a stretch that begins with frame
// 0 takes the start of its second loud frame (sample 20).
//
// Pure functions and plain values; TagWaveUnits reads its file once.
#ifndef VTTEL_TELEPHONY_VOICE_SPEECH_UNITS_H_
#define VTTEL_TELEPHONY_VOICE_SPEECH_UNITS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/voice/qvector.h"
#include "telephony/voice/voice_file.h"

namespace telephony {

inline constexpr int32_t kSpeechFrameSamples = 20;
// A frame whose level is below this is quiet.
inline constexpr int32_t kSpeechLevel = 450;
// A stretch needs more loud frames than this to be speech.
inline constexpr int32_t kSpeechMinFrames = 20;
// A voice file shorter than this is not looked at.
inline constexpr int64_t kSpeechMinFileBytes = 160;

// One stretch of speech, in samples.
struct TagVocUnit {
  int32_t start = 0;       // first sample of its first loud frame
  int32_t loudFrames = 0;  // its loud-frame count
  int32_t end() const { return start + kSpeechFrameSamples * loudFrames; }
};

// The stretches of speech in samples (byte_count bytes of the given type),
// in order.
qvector<TagVocUnit> FindSpeechUnits(const uint8_t* samples, size_t byte_count,
                                    VoiceSampleType type);

// A voice file's path and its stretches of speech. Built from a script
// path: a file that cannot be opened (logged "Open '%s' Error!"), is
// shorter than 160 bytes (logged "'%s' 太小!") or is refused for editing
// (edit_source.h) has no units.
class TagWaveUnits {
 public:
  explicit TagWaveUnits(std::string_view path);

  const std::string& path() const { return path_; }
  const qvector<TagVocUnit>& units() const { return units_; }

 private:
  std::string path_;
  qvector<TagVocUnit> units_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_SPEECH_UNITS_H_
