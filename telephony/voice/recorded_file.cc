#include "telephony/voice/recorded_file.h"

#include <optional>
#include <string>

#include "platform/file_ops.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_path.h"

namespace telephony {
namespace {

constexpr std::string_view kWavExtension = ".WAV";
constexpr std::string_view kRawExtension = "._wa";

}  // namespace

bool ConvertRecordedFile(std::string_view file) {
  if (!EndsInWavAnyCase(file)) return false;
  std::string raw(file.substr(0, file.size() - kWavExtension.size()));
  raw += kRawExtension;
  std::optional<std::string> host_file = platform::ToHostPath(file);
  std::optional<std::string> host_raw = platform::ToHostPath(raw);
  if (!host_file || !host_raw) return false;
  if (!platform::RenameHostFile(*host_file, *host_raw)) return false;
  if (RawAlawToWav(raw, file) != 0) {
    platform::RenameHostFile(*host_raw, *host_file);
    return false;
  }
  platform::RemoveHostFile(*host_raw);
  return true;
}

}  // namespace telephony
