#include "telephony/voice/voc_file.h"

#include <algorithm>
#include <cstdlib>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "telephony/voice/edit_source.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

// A gain below this switches the automatic gain on.
constexpr float kAutoGainBelow = 0.0001f;
// A file of this many bytes or fewer is not loaded.
constexpr int64_t kVocFileMaxTooSmall = 159;

// The automatic gain's frames, noise estimate and passages.
constexpr size_t kGainFrameSamples = 160;
constexpr size_t kNoiseWindowSamples = 80000;
constexpr int64_t kNoiseFrameBelow = 65536;
constexpr int64_t kNoiseFactor = 3;
constexpr int64_t kThresholdMin = 200;
constexpr int64_t kThresholdMax = 65535;
constexpr int32_t kPassageEndQuietFrames = 26;  // a passage ends after more than this
// AutoGainFactor: mean absolute values of the loudest frame.
constexpr int64_t kSoftenAbove = 9829;
constexpr int64_t kRaiseUpTo = 3276;
constexpr int64_t kRaiseTarget = 6553;
constexpr int32_t kMaxRaise = 10;

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

// The noise threshold, learnt from the quiet frames at the start.
class NoiseThreshold {
 public:
  void Observe(size_t pos, int64_t sum) {
    if (pos >= kNoiseWindowSamples || sum >= kNoiseFrameBelow) return;
    total_ += sum;
    ++frames_;
    threshold_ = std::clamp(total_ / frames_ * kNoiseFactor, kThresholdMin, kThresholdMax);
  }
  int64_t threshold() const { return threshold_; }

 private:
  int64_t total_ = 0;
  int64_t frames_ = 0;
  int64_t threshold_ = kThresholdMax;
};

// A loud passage being followed.
struct Passage {
  bool open = false;
  size_t start = 0;
  size_t end = 0;
  int64_t peak = 0;
  int32_t quiet = 0;
};

// Scales samples by an AutoGainFactor result other than 1.
void ScalePassage(int16_t* samples, size_t count, int32_t factor) {
  for (size_t i = 0; i < count; ++i) {
    const int64_t v = samples[i];
    samples[i] = HoldEditSample(factor < 2 ? v * 2 / 3 : v * factor);
  }
}

// Expands 8-bit samples (bytes) into 16-bit ones with the gain.
void ExpandWithGain(const uint8_t* bytes, size_t count, bool alaw, bool fixed_gain, float gain,
                    int16_t* out) {
  for (size_t i = 0; i < count; ++i) {
    const int16_t v = ExpandG711(bytes[i], alaw);
    out[i] = fixed_gain ? HoldScaledSample(v, gain) : v;
  }
}

}  // namespace

int32_t AutoGainFactor(int64_t peak) {
  const int64_t mean = peak / static_cast<int64_t>(kGainFrameSamples);
  if (mean > kSoftenAbove) return kAutoGainSoften;
  if (mean <= 0 || mean > kRaiseUpTo) return 1;
  return static_cast<int32_t>(std::min<int64_t>(kRaiseTarget / mean, kMaxRaise));
}

int32_t ApplyAutoGain(int16_t* samples, size_t count) {
  NoiseThreshold noise;
  Passage passage;
  int32_t adjusted = 0;
  int64_t sum = 0;
  for (size_t pos = 0; pos < count; ++pos) {
    sum += std::abs(static_cast<int32_t>(samples[pos]));
    if ((pos + 1) % kGainFrameSamples != 0) continue;
    noise.Observe(pos, sum);
    passage.end = pos;
    if (sum > noise.threshold()) {
      passage.quiet = 0;
      if (!passage.open) passage = {true, pos + 1 - kGainFrameSamples, pos, 0, 0};
      passage.peak = std::max(passage.peak, sum);
    } else if (++passage.quiet > kPassageEndQuietFrames && passage.peak > 0) {
      const int32_t factor = AutoGainFactor(passage.peak);
      if (factor != 1) {
        ScalePassage(samples + passage.start, passage.end - passage.start + 1, factor);
        ++adjusted;
      }
      passage = Passage();
    }
    sum = 0;
  }
  return adjusted;
}

TagVocFile::TagVocFile(std::string_view path, float gain) { Load(path, gain); }

int32_t TagVocFile::Decode(std::vector<int16_t>* buffer, size_t bytes, bool auto_gain, float gain) {
  const auto* raw = reinterpret_cast<const uint8_t*>(buffer->data());
  if (type_ == VoiceSampleType::kPcm16) {
    // Each sample is rewritten over its own two bytes.
    for (size_t i = 0; i < bytes / 2; ++i) {
      (*buffer)[i] = static_cast<int16_t>(platform::LoadLe16(raw + 2 * i));
    }
    buffer->resize(bytes / 2);
    samples_.swap(*buffer);
    frame::LogMsg("new OK.");
    return 0;
  }
  samples_.resize(bytes);
  frame::LogMsg("new OK.");
  ExpandWithGain(raw, bytes, type_ == VoiceSampleType::kAlaw, !auto_gain, gain, samples_.data());
  return auto_gain ? ApplyAutoGain(samples_.data(), samples_.size()) : 0;
}

void TagVocFile::Load(std::string_view path, float gain) {
  const bool auto_gain = !(gain >= kAutoGainBelow);  // NaN too
  const EditFile file = OpenEditSourceLogged(path, "'", "' open err");
  if (!file) return;
  const int64_t length = VoiceFileLength(file.get());
  frame::LogMsgF("fLen=%lld", static_cast<long long>(length));
  if (length <= kVocFileMaxTooSmall) {
    frame::LogMsgF("'%.*s' 太小!", PathLength(path), path.data());
    return;
  }
  // The file's bytes land in 16-bit storage: a PCM file is decoded in place.
  std::vector<int16_t> buffer(static_cast<size_t>(length + 1) / 2);
  const size_t bytes =
      ReadVoiceData(file.get(), buffer.data(), static_cast<size_t>(length), &type_);
  if (bytes == 0) {
    frame::LogMsgF("'%.*s' 文件头不正确!", PathLength(path), path.data());
    return;
  }
  frame::LogMsgF("len=%zu, vType=%d", bytes, static_cast<int>(type_));
  const int32_t adjusted = Decode(&buffer, bytes, auto_gain, gain);
  std::vector<int16_t>().swap(buffer);
  frame::LogMsg("delete buff1");
  status_ = kLoaded;
  if (adjusted > 0) {
    frame::LogMsgF("AutoGainCount=%d: %.*s", adjusted, PathLength(path), path.data());
  }
}

}  // namespace telephony
