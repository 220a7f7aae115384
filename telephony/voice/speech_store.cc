#include "telephony/voice/speech_store.h"

#include "engine/line_call.h"
#include "engine/tel_basic.h"
#include "telephony/line_settings.h"

namespace telephony {

int32_t ScriptSpeech::SetTtsPara(int32_t mode, std::string_view lib_path, std::string_view param) {
  VoiceSettings& voice = LineSettingsOf(script_).voice;
  voice.ttsMode = mode;
  voice.ttsLibPath.assign(lib_path);
  voice.ttsParam.assign(param);
  if (mode != 1) return 0;
  pinyinLib_ = &CGetHypy::Instance();
  return pinyinLib_->LoadVocLib(lib_path);
}

int32_t ScriptSpeech::SpeakToFile(std::string_view text, std::string_view path) {
  if (pinyinLib_ == nullptr) pinyinLib_ = &CGetHypy::Instance();
  pinyinLib_->LoadVocLib(LineSettingsOf(script_).voice.ttsLibPath);
  return pinyinLib_->TextToVocFile(text, path);
}

int32_t ScriptSpeech::MsTtsSpeak(std::string_view text, std::string_view path, int32_t chinese,
                                 int32_t type) {
  if (!msTts_) return kNoSpeechVoice;
  engine::LineCallBase* call = script_.call;
  auto stopped = [call] { return call != nullptr && call->stopFlag.load() != 0; };
  return msTts_->SpeakToFile(text, path, chinese != 0, type, stopped);
}

ScriptSpeech* FindScriptSpeech(const engine::TagTelBasic& script) {
  const engine::TagTelBasic* owner = script.GetRunContext();
  return static_cast<ScriptSpeech*>(owner->store(engine::StoreSlot::kSpeech));
}

void RegisterScriptSpeech() {
  RegisterLineSettings();
  engine::RegisterStoreFactory(
      engine::StoreSlot::kSpeech,
      [](engine::TagTelBasic& script) -> std::unique_ptr<engine::ScriptStore> {
        return std::make_unique<ScriptSpeech>(script);
      });
}

}  // namespace telephony
