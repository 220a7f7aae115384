#include "telephony/voice/speech_units.h"

#include <cstdlib>
#include <vector>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "telephony/voice/edit_source.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

// Sample i of the buffer as a 16-bit value.
int32_t SampleAt(const uint8_t* samples, size_t i, VoiceSampleType type) {
  switch (type) {
    case VoiceSampleType::kPcm16:
      return static_cast<int16_t>(platform::LoadLe16(samples + 2 * i));
    case VoiceSampleType::kUlaw:
      return ExpandG711(samples[i], false);
    case VoiceSampleType::kAlaw:
      break;
  }
  return ExpandG711(samples[i], true);
}

// The stretch being built while the frames are walked.
class StretchBuilder {
 public:
  explicit StretchBuilder(qvector<TagVocUnit>* units) : units_(units) {}

  void Loud(int32_t frame) {
    ++open_.loudFrames;
    if (open_.start == 0) open_.start = frame * kSpeechFrameSamples;
  }
  // A quiet frame or the end of the samples: the open stretch is kept
  // when it is speech.
  void Close() {
    if (open_.loudFrames > kSpeechMinFrames) (*units_)[units_->count()] = open_;
    open_ = TagVocUnit();
  }

 private:
  qvector<TagVocUnit>* units_;
  TagVocUnit open_;
};

}  // namespace

qvector<TagVocUnit> FindSpeechUnits(const uint8_t* samples, size_t byte_count,
                                    VoiceSampleType type) {
  qvector<TagVocUnit> units;
  size_t frames = byte_count / kSpeechFrameSamples;
  if (type == VoiceSampleType::kPcm16) frames /= 2;
  StretchBuilder stretch(&units);
  for (size_t f = 0; f < frames; ++f) {
    int64_t sum = 0;
    for (size_t s = 0; s < kSpeechFrameSamples; ++s) {
      sum += std::abs(SampleAt(samples, f * kSpeechFrameSamples + s, type));
    }
    if (sum / kSpeechFrameSamples < kSpeechLevel) {
      stretch.Close();
    } else {
      stretch.Loud(static_cast<int32_t>(f));
    }
  }
  stretch.Close();
  return units;
}

TagWaveUnits::TagWaveUnits(std::string_view path) : path_(path) {
  const EditFile file = OpenEditSourceLogged(path, "Open '", "' Error!");
  if (!file) return;
  const int64_t length = VoiceFileLength(file.get());
  if (length < kSpeechMinFileBytes) {
    frame::LogMsgF("'%.*s' 太小!", PathLength(path), path.data());
    return;
  }
  VoiceSampleType type = VoiceSampleType::kAlaw;
  const std::vector<uint8_t> samples = ReadEditSamples(file.get(), length, &type);
  units_ = FindSpeechUnits(samples.data(), samples.size(), type);
}

}  // namespace telephony
