#include "telephony/voice/edit_source.h"

#include <cmath>
#include <string>

#include "frame/log.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

constexpr std::string_view kVoxSuffix = ".VOX";
constexpr uint16_t kEditChannels = 1;

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

bool NamesVoxFile(std::string_view path) {
  return platform::EndsWithIgnoreCaseGbk(path, kVoxSuffix);
}

bool IsEditableTag(uint16_t tag) {
  return tag == platform::kWaveTagPcm || tag == platform::kWaveTagAlaw ||
         tag == platform::kWaveTagUlaw;
}

// Whether the header of an open file allows editing (logged when not). A
// headerless file is A-law; a damaged header is left to ReadVoiceData,
// which reads nothing from it.
bool HasEditableHeader(FILE* file, std::string_view path) {
  WavHeader header;
  if (ReadWavHeader(file, &header) != WavReadResult::kOk) return true;
  if (IsEditableTag(header.format.tag) && header.format.channels == kEditChannels) {
    return true;
  }
  frame::LogMsgF("'%.*s' not edited: format tag %u, %u channels", PathLength(path), path.data(),
                 header.format.tag, header.format.channels);
  return false;
}

}  // namespace

int16_t HoldScaledSample(int32_t sample, float gain) {
  const double product = static_cast<double>(sample) * static_cast<double>(gain);
  if (std::isnan(product)) return 0;
  if (product >= kEditSampleMax) return static_cast<int16_t>(kEditSampleMax);
  if (product <= kEditSampleMin) return static_cast<int16_t>(kEditSampleMin);
  return static_cast<int16_t>(product);  // truncated toward zero
}

EditOpen OpenEditSource(std::string_view path, EditFile* file) {
  if (NamesVoxFile(path)) {
    frame::LogMsgF("'%.*s' not edited: 4-bit ADPCM", PathLength(path), path.data());
    return EditOpen::kRefused;
  }
  EditFile opened(platform::OpenHostFile(path, "rb"));
  if (!opened) return EditOpen::kNotOpened;
  if (!HasEditableHeader(opened.get(), path)) return EditOpen::kRefused;
  if (VoiceFileLength(opened.get()) > kEditMaxFileBytes) {
    frame::LogMsgF("'%.*s' not edited: larger than %lld bytes", PathLength(path), path.data(),
                   static_cast<long long>(kEditMaxFileBytes));
    return EditOpen::kRefused;
  }
  *file = std::move(opened);
  return EditOpen::kOpened;
}

EditFile OpenEditSourceLogged(std::string_view path, std::string_view not_opened_before,
                              std::string_view not_opened_after) {
  EditFile file;
  if (OpenEditSource(path, &file) == EditOpen::kNotOpened) {
    std::string text(not_opened_before);
    text.append(path).append(not_opened_after);
    frame::LogMsg(text);
  }
  return file;
}

std::vector<uint8_t> ReadEditSamples(FILE* file, int64_t length, VoiceSampleType* type) {
  std::vector<uint8_t> buffer(static_cast<size_t>(length > 0 ? length : 0));
  buffer.resize(ReadVoiceData(file, buffer.data(), buffer.size(), type));
  return buffer;
}

}  // namespace telephony
