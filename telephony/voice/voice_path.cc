#include "telephony/voice/voice_path.h"

#include <iterator>

#include "engine/tel_basic.h"
#include "platform/gbk.h"
#include "telephony/line_settings.h"

namespace telephony {
namespace {

constexpr std::string_view kWavLower = ".wav";
constexpr std::string_view kWavUpper = ".WAV";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Calls visit(i, c) for each single-byte character c at offset i of a GBK
// text, stepping over double-byte characters whole; stops when visit
// returns true and returns whether it did.
template <typename Visit>
bool AnySingleByteChar(std::string_view text, Visit visit) {
  for (size_t i = 0; i < text.size(); i += platform::GbkCharLength(text, i)) {
    if (platform::GbkCharLength(text, i) == 1 && visit(i, text[i])) return true;
  }
  return false;
}

}  // namespace

bool HasFileExtension(std::string_view name) {
  bool dot_after_separator = false;
  AnySingleByteChar(name, [&](size_t, char c) {
    if (IsSeparator(c)) dot_after_separator = false;
    if (c == '.') dot_after_separator = true;
    return false;
  });
  return dot_after_separator;
}

bool IsAbsoluteVoicePath(std::string_view name) {
  if (!name.empty() && IsSeparator(name.front())) return true;
  // The single-byte character just before the one visited ('\0' when the
  // character before is double-byte or there is none).
  char previous = '\0';
  size_t previous_end = 0;
  return AnySingleByteChar(name, [&](size_t i, char c) {
    const char before = previous_end == i ? previous : '\0';
    previous = c;
    previous_end = i + 1;
    return c == '\\' && (before == '\\' || before == ':');
  });
}

bool NamesWavVoice(std::string_view name) {
  return name.ends_with(kWavLower) || name.ends_with(kWavUpper);
}

bool EndsInWavAnyCase(std::string_view name) {
  return name.size() > kWavUpper.size() &&
         platform::EqualsIgnoreCaseGbk(name.substr(name.size() - kWavUpper.size()), kWavUpper);
}

bool HoldsUpperWav(std::string_view name) { return name.find(kWavUpper) != std::string_view::npos; }

std::string ResolveVoicePath(const engine::TagTelBasic& script, std::string_view name) {
  std::string path;
  const VoiceSettings& voice = LineSettingsOf(script).voice;
  const int32_t language = voice.voiceDirIndex;
  if (!IsAbsoluteVoicePath(name) && language >= 0 && language < std::ssize(voice.voiceDirs)) {
    path = voice.voiceDirs[language];
  }
  path.append(name);
  if (!HasFileExtension(name)) path += voice.voiceExt;
  return path;
}

}  // namespace telephony
