// ScriptSpeech: the speech side of a main script (engine StoreSlot::kSpeech):
// the syllable voice library it selected (pinyinLib) and the system speech
// voice of its current run (msTts, made new when each run starts). The
// speech mode and the texts of "SetTtsPara(" are kept with the line's voice
// settings (LineSettings::voice).
//
// Ownership: the main script owns its store; script functions and child
// scripts use their run context's. Thread rules: the line's thread only.
#ifndef VTTEL_TELEPHONY_VOICE_SPEECH_STORE_H_
#define VTTEL_TELEPHONY_VOICE_SPEECH_STORE_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/script_store.h"
#include "telephony/voice/espeak_speech.h"
#include "telephony/voice/syllable_lib.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

// "MsTtsSpeak" without a voice for the current run.
inline constexpr int32_t kNoSpeechVoice = -100;

class ScriptSpeech final : public engine::ScriptStore {
 public:
  explicit ScriptSpeech(engine::TagTelBasic& script) : script_(script) {}
  ScriptSpeech(const ScriptSpeech&) = delete;
  ScriptSpeech& operator=(const ScriptSpeech&) = delete;

  void OnRunStart() override { msTts_ = std::make_unique<TagMsTTS>(); }

  // Stores the mode and the two texts; mode 1 selects the process-wide
  // syllable library and loads it from lib_path when it is not loaded (the
  // load result); otherwise the library's state (0 for other modes).
  int32_t SetTtsPara(int32_t mode, std::string_view lib_path, std::string_view param);
  // The text into a voice file through the syllable library, loaded from
  // the stored library path first when needed.
  int32_t SpeakToFile(std::string_view text, std::string_view path);
  // The text into a speech file of a format type through the run's system
  // voice, in Chinese when chinese is not 0; kNoSpeechVoice without one.
  // A stop of the line (its call's stopFlag) ends the speaking.
  int32_t MsTtsSpeak(std::string_view text, std::string_view path, int32_t chinese,
                     int32_t type);

 private:
  engine::TagTelBasic& script_;
  CGetHypy* pinyinLib_ = nullptr;
  std::unique_ptr<TagMsTTS> msTts_;
};

// The speech store a script acts on (its run context's); null without
// stores.
ScriptSpeech* FindScriptSpeech(const engine::TagTelBasic& script);

// Registers the store's factory (before scripts are built).
void RegisterScriptSpeech();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_SPEECH_STORE_H_
