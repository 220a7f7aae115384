#include "telephony/voice/voice_trim.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "frame/log.h"
#include "platform/host_path.h"
#include "telephony/voice/edit_source.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

int PathLength(std::string_view path) { return static_cast<int>(path.size()); }

uint16_t WavTagOf(VoiceSampleType type) {
  switch (type) {
    case VoiceSampleType::kPcm16:
      return platform::kWaveTagPcm;
    case VoiceSampleType::kUlaw:
      return platform::kWaveTagUlaw;
    case VoiceSampleType::kAlaw:
      break;
  }
  return platform::kWaveTagAlaw;
}

// The kept bytes: from the first unit's start to the last unit's end.
struct KeptBytes {
  int64_t start = 0;
  int64_t length = 0;
};

KeptBytes KeptPart(const qvector<TagVocUnit>& units, VoiceSampleType type) {
  const int64_t bytes_per_sample = type == VoiceSampleType::kPcm16 ? 2 : 1;
  return {units.front().start * bytes_per_sample,
          (int64_t{units.back().end()} - units.front().start) * bytes_per_sample};
}

// Writes the header and the kept bytes to a new file at the script path
// output; a file that was created but not fully written is removed.
bool WriteKept(std::string_view output, VoiceSampleType type, const uint8_t* kept, size_t length) {
  FILE* file = platform::OpenHostFile(output, "wb");
  if (file == nullptr) return false;
  const std::string header =
      platform::WavHeaderBytes(platform::VoiceFormat(WavTagOf(type)), static_cast<uint32_t>(length),
                               platform::WavHeaderForm::k46);
  bool ok = fwrite(header.data(), 1, header.size(), file) == header.size() &&
            fwrite(kept, 1, length, file) == length;
  ok = fclose(file) == 0 && ok;
  if (!ok) platform::RemoveScriptFile(output);
  return ok;
}

}  // namespace

int WriteTrimmedFile(const TagWaveUnits& units, std::string_view output) {
  EditFile source;
  if (OpenEditSource(units.path(), &source) != EditOpen::kOpened) return kTrimNoSpeech;
  const int64_t length = VoiceFileLength(source.get());
  if (length < kTrimMinFileBytes || units.units().empty()) return kTrimNoSpeech;
  VoiceSampleType type = VoiceSampleType::kAlaw;
  const std::vector<uint8_t> samples = ReadEditSamples(source.get(), length, &type);
  const KeptBytes kept = KeptPart(units.units(), type);
  const auto read = static_cast<int64_t>(samples.size());
  if (read < kept.start || read < kept.start + kept.length || kept.length <= 0) {
    return kTrimOutside;
  }
  if (!WriteKept(output, type, samples.data() + kept.start, static_cast<size_t>(kept.length))) {
    return kTrimNotWritten;
  }
  return units.units().count() - 1;
}

int TrimVocFile(std::string_view path, TrimRename rename) {
  const TagWaveUnits units(path);
  const std::string output = std::string(path) + kTrimTempSuffix;
  const int result = WriteTrimmedFile(units, output);
  if (result < 0) return result;
  const std::optional<std::string> host_output = platform::ToHostPath(output);
  const std::optional<std::string> host = platform::ToHostPath(path);
  if (!host_output || !host || !rename(*host_output, *host)) {
    platform::RemoveScriptFile(output);
    frame::LogMsgF("'%.*s' not trimmed: the trimmed file cannot replace it", PathLength(path),
                   path.data());
    return kTrimNotWritten;
  }
  return result;
}

}  // namespace telephony
