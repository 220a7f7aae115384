#include "telephony/line_settings.h"

#include <memory>

#include "engine/tel_basic.h"
#include "platform/file_ops.h"

namespace telephony {
namespace {

std::unique_ptr<engine::ScriptStore> NewLineSettings(engine::TagTelBasic& script) {
  return std::make_unique<LineSettings>(script);
}

}  // namespace

void LineSettings::OnChildRunStart() {
  ChildRestored& s = saved_.emplace_back();
  for (int32_t i = 0; i < kLanguageCount; ++i) s.voiceDirs[i] = voice.voiceDirs[i];
  s.voiceDirIndex = voice.voiceDirIndex;
  s.breakOnKey = voice.breakOnKey;
  s.keyTerminator = keys.keyTerminator;
  s.timeoutVoice = keys.timeoutVoice;
  s.voiceExt = voice.voiceExt;
}

void LineSettings::OnChildRunEnd() {
  if (saved_.empty()) return;
  ChildRestored& s = saved_.back();
  for (int32_t i = 0; i < kLanguageCount; ++i) voice.voiceDirs[i] = std::move(s.voiceDirs[i]);
  voice.voiceDirIndex = s.voiceDirIndex;
  voice.breakOnKey = s.breakOnKey;
  keys.keyTerminator = s.keyTerminator;
  keys.timeoutVoice = std::move(s.timeoutVoice);
  voice.voiceExt = std::move(s.voiceExt);
  saved_.pop_back();
}

void LineSettings::OnLeaveLine() {
  const std::string line = std::to_string(script_.lineNo);
  for (const std::string& dir : voice.voiceDirs) {
    platform::RemoveScriptFile(dir + "t" + line + voice.voiceExt);
    platform::RemoveScriptFile(dir + "tts" + line + voice.voiceExt);
  }
}

LineSettings* FindLineSettings(const engine::TagTelBasic& script) {
  return static_cast<LineSettings*>(
      script.GetRunContext()->store(engine::StoreSlot::kLineSettings));
}

LineSettings& LineSettingsOf(const engine::TagTelBasic& script) {
  return *FindLineSettings(script);
}

void RegisterLineSettings() {
  engine::RegisterStoreFactory(engine::StoreSlot::kLineSettings, &NewLineSettings);
}

}  // namespace telephony
