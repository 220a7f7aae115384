// A voice file decoded to 16-bit samples for mixing, with its gain applied.
//
// Loading (logging-on log): "'%s' open err",
// "fLen=%d", "'%s' 太小!" (159 bytes or less), "'%s' 文件头不正确!"
// (no samples), "len=%d, vType=%d", "new OK.", "delete buff1" and, when the
// automatic gain changed passages, "AutoGainCount=%d: %s". A file editing
// refuses (edit_source.h) does not load either.
//
// Samples:
//  - PCM: the file's values, unchanged; no gain applies.
//  - A-law and μ-law: expanded with ExpandG711. A gain of 0.0001 or more
//    multiplies each sample (truncated toward zero, held within
//    -32467..32467 so that a loud sample never wraps around); a smaller gain
//    (0, negative, NaN) switches the automatic gain on instead.
//  - Automatic gain, over frames of 160 samples: the frames of the first
//    80000 samples with a sum of absolute values below 65536 give the noise
//    threshold (3 x their mean sum, held within 200..65535); a passage runs
//    from a frame above the threshold until 27 quiet frames in a row follow
//    and is then scaled by AutoGainFactor of its loudest frame's sum (the 27
//    quiet frames included). A passage still open at the end is left alone.
//
// Owns its samples. Not thread-safe; one line's thread uses it.
#ifndef VTTEL_TELEPHONY_VOICE_VOC_FILE_H_
#define VTTEL_TELEPHONY_VOICE_VOC_FILE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "telephony/voice/voice_file.h"

namespace telephony {

// The gain of a passage from the sum of absolute values of its loudest
// 160-sample frame: a mean above 9829 gives kAutoGainSoften (the passage
// becomes 2/3 as loud); a mean of 0 or less or above 3276 gives 1 (no
// change); otherwise 6553 / mean, at most 10.
inline constexpr int32_t kAutoGainSoften = -2;
int32_t AutoGainFactor(int64_t peak);

// Automatic gain over samples in place; returns the number of passages
// changed.
int32_t ApplyAutoGain(int16_t* samples, size_t count);

class TagVocFile {
 public:
  static constexpr int32_t kLoaded = 0;
  static constexpr int32_t kNotLoaded = -1;

  // Loads the voice at a script path with the gain (see above).
  TagVocFile(std::string_view path, float gain);
  TagVocFile(const TagVocFile&) = delete;
  TagVocFile& operator=(const TagVocFile&) = delete;

  int32_t status() const { return status_; }
  VoiceSampleType type() const { return type_; }
  size_t count() const { return samples_.size(); }
  int16_t* samples() { return samples_.data(); }
  const int16_t* samples() const { return samples_.data(); }

 private:
  void Load(std::string_view path, float gain);
  // Makes the samples from the bytes read into buffer (consumed); the
  // number of passages the automatic gain changed.
  int32_t Decode(std::vector<int16_t>* buffer, size_t bytes, bool auto_gain, float gain);

  int32_t status_ = kNotLoaded;
  VoiceSampleType type_ = VoiceSampleType::kAlaw;
  std::vector<int16_t> samples_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOC_FILE_H_
