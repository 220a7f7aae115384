// A voice held in memory ("LoadVocFile(") played on a line. Every line kind
// plays files (the board, the sound card), so the bytes go to a scratch file
// of the line's own outside the working folder (scratch_voice.h), which the
// line kind then plays as it plays a file named in "Play(" (the same key
// rules, conference group and result); the file is removed after the play.
#include <string>
#include <string_view>

#include "telephony/voice/scratch_voice.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

// What PlayMemVoc gives when there are no bytes or they cannot be written.
constexpr int32_t kMemVocFailed = -1;

}  // namespace

int32_t TagVtCall::PlayMemVoc(const char* buffer, int32_t start, int32_t length,
                              int32_t /*reserved*/, int32_t break_on_key) {
  if (buffer == nullptr || start < 0 || length <= 0) return kMemVocFailed;
  const ScratchVoice voice(lineNo, std::string_view(buffer + start, static_cast<size_t>(length)));
  if (!voice.written()) {
    ErrorLog(voice.host().empty() ? std::string("PlayMemVoc: no private runtime folder")
                                  : "PlayMemVoc: cannot write '" + voice.host() + "'");
    return kMemVocFailed;
  }
  return PlayScratchVoice(voice, break_on_key);
}

int32_t TagVtCall::PlayScratchVoice(const ScratchVoice& voice, int32_t break_on_key) {
  return Play(voice.scriptPath(), break_on_key, 0);
}

}  // namespace telephony
