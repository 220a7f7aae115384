#include "telephony/statements/voice_statements.h"

#include <string>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "platform/gbk.h"
#include "telephony/line_settings.h"
#include "telephony/statements/line_statement.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/voice_play.h"
#include "telephony/vt_call.h"

namespace telephony {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

// "SelectLan(" of a language outside 0..2.
constexpr int32_t kNoSuchLanguage = -1;
// "LoadVocFile(" / "UnloadVocFile(" of a name that is not a string.
constexpr int32_t kNotAString = -1;
// "UnloadVocFile(" of a name starting with this frees the whole cache.
constexpr char kUnloadAllMark = '*';

bool IsLanguage(int32_t language) { return language >= 0 && language < kLanguageCount; }

bool EndsWithBackslash(std::string_view text) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < text.size(); i += platform::GbkCharLength(text, i)) {
    last_is_backslash = platform::GbkCharLength(text, i) == 1 && text[i] == '\\';
  }
  return last_is_backslash;
}

// Argument i of a statement as a voice name resolved for the acting script.
std::string Resolved(const TagTelBasic& script, const LineStatement& s, size_t i) {
  return ResolveVoicePath(script, ArgText(s.Argument(i)));
}

// "PcPlay(" voice name, mode: on the sound card; mode above 0 repeats the
// voice until stopped, below 0 plays it once, both returning at once; 0
// plays it once and waits for its end (keys do not cut it short).
int32_t PcPlay(TagTelBasic& script, const LineStatement& s) {
  const int32_t mode = ArgInt(s.Argument(1));
  return PcPlayVoice(script, Resolved(script, s, 0), mode > 0, mode == 0);
}

// "Record(" file, seconds (stored integer): records until the time is up,
// the line is lost or, with the script's break flag, '#' is pressed.
int32_t Record(TagVtCall& call, const LineStatement& s) {
  const TagTelBasic& script = *s.Acting();
  return call.Record(Resolved(script, s, 0), ArgStoredInt(s.Argument(1)),
                     LineSettingsOf(script).voice.breakOnKey);
}

// "SetSndDir(" the directories of languages 0, 1 and 2.
int32_t SetSndDir(TagTelBasic& script, const LineStatement& s) {
  VoiceSettings& voice = LineSettingsOf(script).voice;
  for (int32_t i = 0; i < kLanguageCount; ++i) {
    voice.voiceDirs[i] = VoiceDirectory(ArgText(s.Argument(static_cast<size_t>(i))));
  }
  return 0;
}

// "SelectLan(" language: the language, or -1 (nothing changed) outside 0..2.
int32_t SelectLan(TagTelBasic& script, const LineStatement& s) {
  const int32_t language = ArgInt(s.Argument(0));
  if (!IsLanguage(language)) return kNoSuchLanguage;
  LineSettingsOf(script).voice.voiceDirIndex = language;
  return language;
}

// "GetCurSndDir(" directory variable, language variable.
int32_t GetCurSndDir(TagTelBasic& script, const LineStatement& s) {
  const VoiceSettings& voice = LineSettingsOf(script).voice;
  const int32_t language = voice.voiceDirIndex;
  s.Argument(0).AssignString(IsLanguage(language) ? voice.voiceDirs[language] : std::string());
  s.Argument(1).AssignInt(language);
  return 0;
}

// "SetBreak(" flag (stored integer): the script's and the call object's.
int32_t SetBreak(TagTelBasic& script, const LineStatement& s) {
  const uint8_t on = ArgStoredInt(s.Argument(0)) != 0 ? 1 : 0;
  LineSettingsOf(script).voice.breakOnKey = on;
  if (TagVtCall* call = s.Call()) call->SetBreak(on);
  return 0;
}

// "LoadVocFile(" and "UnloadVocFile(" (voice name, which must be a string;
// global flag choosing the cache): kOnCache(cache, resolved path, name as
// written).
template <int32_t (*kOnCache)(TagMemVocs&, const std::string&, std::string_view)>
int32_t OnVocCache(TagTelBasic& script, const LineStatement& s) {
  const bool global = ArgInt(s.Argument(1)) != 0;
  const TagVar& name = s.Argument(0);
  if (name.kind != engine::kVarString) return kNotAString;
  TagMemVocs& cache = global ? GlobalVocCache() : LineSettingsOf(script).voiceCache;
  return kOnCache(cache, Resolved(script, s, 0), ArgText(name));
}

// "LoadVocFile(": the file's size, or the cache's failure result.
int32_t LoadVoc(TagMemVocs& cache, const std::string& path, std::string_view) {
  return cache.LoadVocFile(path);
}

// "UnloadVocFile(": a name written with a leading '*' frees the whole cache.
int32_t UnloadVoc(TagMemVocs& cache, const std::string& path, std::string_view written) {
  if (!written.empty() && written.front() == kUnloadAllMark) {
    cache.Clear();
  } else {
    cache.UnloadVocFile(path);
  }
  return 0;
}

}  // namespace

void RegisterVoiceStatements() {
  RegisterLineSettings();
  engine::StatementRegistry& r = engine::Statements();
  // "Play(" voice name.
  r.Register("Play(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    return PlayVoice(script, Resolved(script, s, 0));
  }>::Build);
  // "StartLoopPlay(" voice name: a background play "ReLoopPlay(" resumes.
  r.Register("StartLoopPlay(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    return c.StartLoopPlay(Resolved(*s.Acting(), s, 0), 0);
  }>::Build);
  r.Register("ReLoopPlay(", &CallOperation<[](TagVtCall& c, const LineStatement&) {
    return c.ReLoopPlay();
  }>::Build);
  // "Stop(": ends the line's play (and recording); always 0.
  r.Register("Stop(", &CallOperation<[](TagVtCall& c, const LineStatement&) {
    c.StopPlay();
    return 0;
  }, 0>::Build);
  r.Register("Record(", &CallOperation<Record>::Build);
  // "StartRecord(" file, seconds (stored integer): starts without waiting.
  r.Register("StartRecord(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    return c.StartRecord(Resolved(*s.Acting(), s, 0), ArgStoredInt(s.Argument(1)));
  }>::Build);
  r.Register("PcPlay(", &ScriptOperation<PcPlay>::Build);
  // "IsPcPlayEnd(" variable.
  r.Register("IsPcPlayEnd(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    return engine::StoreInt(s.Argument(0), c.IsPcPlayEnd());
  }>::Build);
  r.Register("SetSndDir(", &ScriptOperation<SetSndDir>::Build);
  r.Register("SelectLan(", &ScriptOperation<SelectLan>::Build);
  r.Register("GetCurSndDir(", &ScriptOperation<GetCurSndDir>::Build);
  // "SetSndExt(" extension, as written (no dot is added).
  r.Register("SetSndExt(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    LineSettingsOf(script).voice.voiceExt = ArgText(s.Argument(0));
    return 0;
  }>::Build);
  // "SetPlayToFile(" flag: 0, or -1 when the play file cannot be created.
  r.Register("SetPlayToFile(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    return SetPlayToFile(script, ArgInt(s.Argument(0)) != 0);
  }>::Build);
  r.Register("SetBreak(", &ScriptOperation<SetBreak>::Build);
  // "SetRecPos(" position: where the board starts the next recordings.
  r.Register("SetRecPos(", &CallOperation<[](TagVtCall& c, const LineStatement& s) {
    c.recordPos = ArgInt(s.Argument(0));
    return 0;
  }>::Build);
  r.Register("LoadVocFile(", &ScriptOperation<OnVocCache<LoadVoc>>::Build);
  r.Register("UnloadVocFile(", &ScriptOperation<OnVocCache<UnloadVoc>>::Build);
}

std::string VoiceDirectory(std::string_view text) {
  std::string dir(text);
  if (!dir.empty() && !EndsWithBackslash(dir)) dir += '\\';
  return dir;
}

}  // namespace telephony
