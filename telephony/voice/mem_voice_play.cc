// A voice held in memory ("LoadVocFile(") played on a line. Every line kind
// plays files (the board, the sound card), so the bytes go to a scratch file
// of the line in the program folder (the working directory, beside the
// lines' error files), which is then played exactly as a file named in
// "Play(" by the line's own Play (the same key rules, conference group and
// result) and removed.
//
// A voice that begins with "RIFF" gets a ".WAV" name, so the board starts
// past its header as for any WAV voice; any other voice is headerless A-law
// and plays from its first byte. The name is upper case and relative, as the
// board's play gets every name upper-cased, so it finds exactly this file.
// It carries the line number: each line writes only its own, and Play has
// stopped the board's use of it before it is written again.
//
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

// What PlayMemVoc gives when there are no bytes or they cannot be written.
constexpr int32_t kMemVocFailed = -1;
constexpr std::string_view kRiffMagic = "RIFF";

// The scratch file of a line (a script path).
std::string ScratchVoicePath(int32_t line, std::string_view bytes) {
  const bool wav = bytes.substr(0, kRiffMagic.size()) == kRiffMagic;
  return "MEMVOC" + std::to_string(line) + (wav ? ".WAV" : ".VOX");
}

bool WriteWhole(const std::string& path, std::string_view bytes) {
  FILE* f = platform::OpenHostFile(path, "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

int32_t TagVtCall::PlayMemVoc(const char* buffer, int32_t start, int32_t length,
                              int32_t /*reserved*/, int32_t break_on_key) {
  if (buffer == nullptr || start < 0 || length <= 0) return kMemVocFailed;
  const std::string_view bytes(buffer + start, static_cast<size_t>(length));
  const std::string path = ScratchVoicePath(lineNo, bytes);
  if (!WriteWhole(path, bytes)) {
    ErrorLog("PlayMemVoc: cannot write '" + path + "'");
    platform::RemoveScriptFile(path);
    return kMemVocFailed;
  }
  const int32_t r = Play(path, break_on_key, 0);
  platform::RemoveScriptFile(path);
  return r;
}

}  // namespace telephony
