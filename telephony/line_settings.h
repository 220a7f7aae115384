// LineSettings: the voice and key settings of a line's script, kept as the
// script's per-line store (engine StoreSlot::kLineSettings): the voice
// directories and extension, the play switches, the key-input settings and
// the script's own voice cache. The settings statements ("SetSndDir(",
// "SelectLan(", "SetSndExt(", "SetBreak(", "SetPlayToFile(", "SetEndKey(",
// "SetStarToPoint(", "SetTimeoutVoc(", "SetDispKeys(") write them; the play,
// record, number and key statements read them.
//
// Ownership: the main script owns its store (created when the script is
// built, once RegisterLineSettings has run); a script function and a child
// script ("RunVts(") act on the store of their run context (the owner, the
// parent), so they share the line's settings. A child's changes to the
// settings that OnChildRunEnd restores (see ChildRestored) last only while
// it runs.
//
// Thread rules: written and read on the line's thread only, except
// KeySettings::dispKeys, which the monitor reads from its own thread
// (atomic). OnLeaveLine runs on the thread that takes the script off its
// line, after the script's run has ended.
#ifndef VTTEL_TELEPHONY_LINE_SETTINGS_H_
#define VTTEL_TELEPHONY_LINE_SETTINGS_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/script_store.h"
#include "telephony/voice/voc_cache.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

// The voice directories a script can select from (languages 0..2).
inline constexpr int32_t kLanguageCount = 3;

// Where voices are found and how they play.
struct VoiceSettings {
  // The directories of the three languages ("SetSndDir("): each empty or
  // ending in a backslash.
  std::string voiceDirs[kLanguageCount];
  int32_t voiceDirIndex = 0;      // the selected language ("SelectLan(")
  std::string voiceExt = ".WAV";  // added to names without one ("SetSndExt(")
  uint8_t breakOnKey = 1;         // a key cuts plays and recordings short ("SetBreak(")
  uint8_t playToFile = 0;         // plays go into the line's play file ("SetPlayToFile(")
  // The speech engine and the texts of "SetTtsPara(".
  int32_t ttsMode = 0;
  std::string ttsLibPath;
  std::string ttsParam;
};

// How keys are collected and shown.
struct KeySettings {
  char keyTerminator = '#';                  // the end key, 0 none ("SetEndKey(")
  uint8_t starToPoint = 1;                   // '*' becomes '.' ("SetStarToPoint(")
  std::string timeoutVoice = "timeout.wav";  // played on a key time-out ("SetTimeoutVoc(")
  // How the monitor shows the line's keys ("SetDispKeys("): 0 not at all,
  // 2 as '*', anything else as typed. Read by the monitor's thread.
  std::atomic<uint8_t> dispKeys{1};
};

class LineSettings final : public engine::ScriptStore {
 public:
  // The store of script, which must outlive it (the script owns it).
  explicit LineSettings(const engine::TagTelBasic& script) : script_(script) {}
  LineSettings(const LineSettings&) = delete;
  LineSettings& operator=(const LineSettings&) = delete;

  // Saves / gives back what a child script may change on its parent.
  void OnChildRunStart() override;
  void OnChildRunEnd() override;
  // Deletes the line's temporary play and speech files ("t<line>" and
  // "tts<line>" with voiceExt) in each of the three voice directories.
  void OnLeaveLine() override;

  VoiceSettings voice;
  KeySettings keys;
  // The script's own in-memory voices ("LoadVocFile(" without the global
  // flag); thread-safe itself.
  TagMemVocs voiceCache;

 private:
  // The settings a child's run gives back to its parent.
  struct ChildRestored {
    std::string voiceDirs[kLanguageCount];
    int32_t voiceDirIndex;
    uint8_t breakOnKey;
    char keyTerminator;
    std::string timeoutVoice;
    std::string voiceExt;
  };

  const engine::TagTelBasic& script_;
  std::vector<ChildRestored> saved_;  // one entry per child running
};

// The line settings a script acts on: the store of its run context (the
// owner of a function, the parent of a child). Null only for a script
// without stores (built without a call object, or before
// RegisterLineSettings ran), which runs no statements.
LineSettings* FindLineSettings(const engine::TagTelBasic& script);
// The same for a script that runs statements.
// REQUIRES: the script has its stores (FindLineSettings is not null).
LineSettings& LineSettingsOf(const engine::TagTelBasic& script);

// Registers the store's factory: every main script built afterwards gets
// one. The statement families that use the settings call it.
void RegisterLineSettings();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_LINE_SETTINGS_H_
