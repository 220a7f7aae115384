// Opening and reading a voice file for the editing operations (trimming
// silence, mixing): the file is read whole into memory.
//
// Editing reads its samples with ReadVoiceData (voice_file.h), which takes
// any WAV format tag as A-law and never looks at the channel count, and
// takes every file without "RIFF" as headerless A-law. An edit written from
// such a file would put ADPCM, float or stereo bytes under an A-law header
// (and a trim replaces the original with it), so editing first refuses:
//  - a name whose last four characters, upper-cased, are ".VOX" (4-bit
//    ADPCM without a header);
//  - a WAV file whose format tag is not 1, 6 or 7, or whose channel count
//    is not 1;
//  - a file above kEditMaxFileBytes (it would be held in memory twice).
// A refusal is logged (logging-on log) with the path.
//
// Pure functions; the caller owns the files. Called on the line's thread.
#ifndef VTTEL_TELEPHONY_VOICE_EDIT_SOURCE_H_
#define VTTEL_TELEPHONY_VOICE_EDIT_SOURCE_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "telephony/voice/voice_file.h"

namespace telephony {

// The largest voice file editing reads (about 9 hours of A-law).
inline constexpr int64_t kEditMaxFileBytes = int64_t{256} << 20;

// Edited samples are held within these bounds (sums, gains).
inline constexpr int32_t kEditSampleMax = 32467;
inline constexpr int32_t kEditSampleMin = -32467;

// A value held within kEditSampleMin..kEditSampleMax.
inline int16_t HoldEditSample(int64_t v) {
  if (v > kEditSampleMax) return static_cast<int16_t>(kEditSampleMax);
  if (v < kEditSampleMin) return static_cast<int16_t>(kEditSampleMin);
  return static_cast<int16_t>(v);
}

// A product of a sample and a gain, truncated toward zero and held within
// the bounds (a NaN product gives 0).
int16_t HoldScaledSample(int32_t sample, float gain);

struct EditFileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using EditFile = std::unique_ptr<FILE, EditFileCloser>;

enum class EditOpen {
  kOpened,
  kNotOpened,  // missing, unreadable or unmappable
  kRefused,    // a form editing cannot keep (logged)
};

// Opens the voice at a script path for reading and checks its form; *file
// is set only on kOpened.
EditOpen OpenEditSource(std::string_view path, EditFile* file);

// OpenEditSource for the editing operations that log a file they cannot
// open as not_opened_before + path + not_opened_after; null unless opened.
EditFile OpenEditSourceLogged(std::string_view path, std::string_view not_opened_before,
                              std::string_view not_opened_after);

// Reads the samples of an open voice into a buffer of the file's length
// (length bytes) with ReadVoiceData; the buffer is cut to the bytes read.
std::vector<uint8_t> ReadEditSamples(FILE* file, int64_t length, VoiceSampleType* type);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_EDIT_SOURCE_H_
