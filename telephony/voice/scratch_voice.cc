#include "telephony/voice/scratch_voice.h"

#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/runtime_dir.h"
#include "platform/thread_id.h"

namespace telephony {
namespace {

constexpr std::string_view kRiffMagic = "RIFF";
constexpr std::string_view kWavExtension = ".WAV";
constexpr std::string_view kAlawExtension = ".ALW";

// "<folder>/memvoc-L<line>-<thread id><extension>".
std::string ScratchName(const std::string& folder, int32_t line, std::string_view bytes) {
  const bool wav = bytes.substr(0, kRiffMagic.size()) == kRiffMagic;
  std::string name = folder + "/memvoc-L" + std::to_string(line) + "-" +
                     std::to_string(platform::CurrentThreadId());
  name += wav ? kWavExtension : kAlawExtension;
  return name;
}

}  // namespace

ScratchVoice::ScratchVoice(int32_t line, std::string_view bytes) {
  const std::string folder = platform::RuntimeDir();
  if (folder.empty()) return;
  host_ = ScratchName(folder, line, bytes);
  script_path_ = platform::ToScriptPath(host_);
  written_ = platform::ReplaceHostFile(host_, bytes);
}

ScratchVoice::~ScratchVoice() {
  if (written_) platform::RemoveHostFile(host_);
}

}  // namespace telephony
