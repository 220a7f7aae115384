#include "telephony/statements/voice_statements.h"

#include <cstdio>
#include <string>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_path.h"
#include "telephony/vt_call.h"

namespace telephony {

using engine::Arg;
using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagOper;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

// The languages a script can select (voiceDirs).
constexpr int32_t kLanguageCount = 3;
// "SelectLan(" of a language outside 0..2.
constexpr int32_t kNoSuchLanguage = -1;
// "LoadVocFile(" / "UnloadVocFile(" of a name that is not a string.
constexpr int32_t kNotAString = -1;
// "UnloadVocFile(" of a name starting with this frees the whole cache.
constexpr char kUnloadAllMark = '*';

bool IsLanguage(int32_t language) { return language >= 0 && language < kLanguageCount; }

// The longest prefix of a GBK text of at most max bytes that does not cut a
// double-byte character.
std::string_view CutAtCharacter(std::string_view text, size_t max) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + platform::GbkCharLength(text, end);
    if (next > max) break;
    end = next;
  }
  return text.substr(0, end);
}

bool EndsWithBackslash(std::string_view text) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < text.size(); i += platform::GbkCharLength(text, i)) {
    last_is_backslash = platform::GbkCharLength(text, i) == 1 && text[i] == '\\';
  }
  return last_is_backslash;
}

// The base of the voice statements: the script they act on (found at run
// time: a child script acts on its environment) and its call object.
class VoiceStatement : public LineStatement {
 public:
  explicit VoiceStatement(const StatementBuild& b) : LineStatement(b) {}

 protected:
  TagTelBasic& Script() const { return *Acting(); }
  // A voice name resolved for the acting script.
  std::string Resolve(const TagVar* name) const {
    return ResolveVoicePath(Script(), ArgText(*name));
  }
};

// "Play(" voice name.
class TagPlay : public VoiceStatement {
 public:
  explicit TagPlay(const StatementBuild& b) : VoiceStatement(b), name_(Arg(b, 0)) {}
  int32_t Execute() override { return PlayVoice(Script(), Resolve(name_)); }

 private:
  TagVar* name_;
};

// "StartLoopPlay(" voice name: a background play "ReLoopPlay(" resumes.
class TagStartLoopPlay : public VoiceStatement {
 public:
  explicit TagStartLoopPlay(const StatementBuild& b) : VoiceStatement(b), name_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->StartLoopPlay(Resolve(name_), 0) : kNoCallObject;
  }

 private:
  TagVar* name_;
};

// "ReLoopPlay(".
class TagReLoopPlay : public VoiceStatement {
 public:
  explicit TagReLoopPlay(const StatementBuild& b) : VoiceStatement(b) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->ReLoopPlay() : kNoCallObject;
  }
};

// "Stop(": ends the line's play (and recording); always 0.
class TagStopPlay : public VoiceStatement {
 public:
  explicit TagStopPlay(const StatementBuild& b) : VoiceStatement(b) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->StopPlay();
    return 0;
  }
};

// "Record(" file, seconds (stored integer): records until the time is up,
// the line is lost or, with the script's break flag, '#' is pressed.
class TagRecord : public VoiceStatement {
 public:
  explicit TagRecord(const StatementBuild& b)
      : VoiceStatement(b), name_(Arg(b, 0)), seconds_(Arg(b, 1)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    return call->Record(Resolve(name_), ArgStoredInt(*seconds_), Script().breakOnKey);
  }

 private:
  TagVar* name_;
  TagVar* seconds_;
};

// "StartRecord(" file, seconds (stored integer): starts without waiting.
class TagStartRecord : public VoiceStatement {
 public:
  explicit TagStartRecord(const StatementBuild& b)
      : VoiceStatement(b), name_(Arg(b, 0)), seconds_(Arg(b, 1)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    return call->StartRecord(Resolve(name_), ArgStoredInt(*seconds_));
  }

 private:
  TagVar* name_;
  TagVar* seconds_;
};

// "PcPlay(" voice name, mode: on the sound card; mode above 0 repeats the
// voice until stopped, below 0 plays it once, both returning at once; 0
// plays it once and waits for its end (keys do not cut it short).
class TagPcPlay : public VoiceStatement {
 public:
  explicit TagPcPlay(const StatementBuild& b)
      : VoiceStatement(b), name_(Arg(b, 0)), mode_(Arg(b, 1)) {}
  int32_t Execute() override {
    TagTelBasic& acting = Script();
    const std::string path = Resolve(name_);
    if (acting.playToFile) return AppendToPlayFile(acting, path);
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t mode = ArgInt(*mode_);
    const int32_t loop = mode > 0 ? 1 : 0;
    const int32_t wait = mode == 0 ? 1 : 0;
    return call->PcPlay(path, loop, wait, 0);
  }

 private:
  TagVar* name_;
  TagVar* mode_;
};

// "IsPcPlayEnd(" variable.
class TagIsPcPlayEnd : public VoiceStatement {
 public:
  explicit TagIsPcPlayEnd(const StatementBuild& b) : VoiceStatement(b), out_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t ended = call->IsPcPlayEnd();
    out_->AssignInt(ended);
    return ended;
  }

 private:
  TagVar* out_;
};

// "SetSndDir(" the directories of languages 0, 1 and 2.
class TagSetSndDir : public VoiceStatement {
 public:
  explicit TagSetSndDir(const StatementBuild& b) : VoiceStatement(b) {
    for (int32_t i = 0; i < kLanguageCount; ++i) dirs_[i] = Arg(b, static_cast<size_t>(i));
  }
  int32_t Execute() override {
    TagTelBasic& acting = Script();
    for (int32_t i = 0; i < kLanguageCount; ++i) {
      acting.voiceDirs[i] = VoiceDirectory(ArgText(*dirs_[i]));
    }
    return 0;
  }

 private:
  TagVar* dirs_[kLanguageCount];
};

// "SelectLan(" language: the language, or -1 (nothing changed) outside 0..2.
class TagSelectLan : public VoiceStatement {
 public:
  explicit TagSelectLan(const StatementBuild& b) : VoiceStatement(b), language_(Arg(b, 0)) {}
  int32_t Execute() override {
    const int32_t language = ArgInt(*language_);
    if (!IsLanguage(language)) return kNoSuchLanguage;
    Script().voiceDirIndex = language;
    return language;
  }

 private:
  TagVar* language_;
};

// "GetCurSndDir(" directory variable, language variable.
class TagGetCurSndDir : public VoiceStatement {
 public:
  explicit TagGetCurSndDir(const StatementBuild& b)
      : VoiceStatement(b), dir_(Arg(b, 0)), language_(Arg(b, 1)) {}
  int32_t Execute() override {
    const TagTelBasic& acting = Script();
    const int32_t language = acting.voiceDirIndex;
    dir_->AssignString(IsLanguage(language) ? acting.voiceDirs[language] : std::string());
    language_->AssignInt(language);
    return 0;
  }

 private:
  TagVar* dir_;
  TagVar* language_;
};

// "SetSndExt(" extension, as written (no dot is added).
class TagSetSndExt : public VoiceStatement {
 public:
  explicit TagSetSndExt(const StatementBuild& b) : VoiceStatement(b), ext_(Arg(b, 0)) {}
  int32_t Execute() override {
    Script().SetSndExt(ArgText(*ext_));
    return 0;
  }

 private:
  TagVar* ext_;
};

// "SetPlayToFile(" flag: 0, or -1 when the play file cannot be created.
class TagSetPlayToFile : public VoiceStatement {
 public:
  explicit TagSetPlayToFile(const StatementBuild& b) : VoiceStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override { return Script().SetPlayToFile(ArgInt(*flag_) != 0 ? 1 : 0); }

 private:
  TagVar* flag_;
};

// "SetBreak(" flag (stored integer): the script's and the call object's.
class TagSetBreak : public VoiceStatement {
 public:
  explicit TagSetBreak(const StatementBuild& b) : VoiceStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    const uint8_t on = ArgStoredInt(*flag_) != 0 ? 1 : 0;
    Script().breakOnKey = on;
    if (TagVtCall* call = Call()) call->SetBreak(on);
    return 0;
  }

 private:
  TagVar* flag_;
};

// "SetRecPos(" position: where the board starts the next recordings.
class TagSetRecPos : public VoiceStatement {
 public:
  explicit TagSetRecPos(const StatementBuild& b) : VoiceStatement(b), pos_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    call->recordPos = ArgInt(*pos_);
    return 0;
  }

 private:
  TagVar* pos_;
};

// The base of "LoadVocFile(" and "UnloadVocFile(": a voice name that must
// be a string and the global flag choosing the cache.
class VocCacheStatement : public VoiceStatement {
 public:
  explicit VocCacheStatement(const StatementBuild& b)
      : VoiceStatement(b), name_(Arg(b, 0)), global_(Arg(b, 1)) {}
  int32_t Execute() override {
    const bool global = ArgInt(*global_) != 0;
    if (name_->kind != engine::kVarString) return kNotAString;
    TagTelBasic& acting = Script();
    return OnCache(global ? engine::GlobalVocCache() : acting.voiceCache, Resolve(name_));
  }

 protected:
  virtual int32_t OnCache(engine::TagMemVocs& cache, const std::string& path) = 0;
  std::string_view Written() const { return ArgText(*name_); }

 private:
  TagVar* name_;
  TagVar* global_;
};

// "LoadVocFile(" voice name, global flag: the file's size, or the cache's
// failure result.
class TagLoadVocFile : public VocCacheStatement {
 public:
  using VocCacheStatement::VocCacheStatement;

 protected:
  int32_t OnCache(engine::TagMemVocs& cache, const std::string& path) override {
    return cache.LoadVocFile(path);
  }
};

// "UnloadVocFile(" voice name, global flag: a name written with a leading
// '*' frees the whole cache.
class TagUnloadVocFile : public VocCacheStatement {
 public:
  using VocCacheStatement::VocCacheStatement;

 protected:
  int32_t OnCache(engine::TagMemVocs& cache, const std::string& path) override {
    if (!Written().empty() && Written().front() == kUnloadAllMark) {
      cache.Clear();
    } else {
      cache.UnloadVocFile(path);
    }
    return 0;
  }
};

}  // namespace

void RegisterVoiceStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("Play(", &BuildStatement<TagPlay>);
  r.Register("StartLoopPlay(", &BuildStatement<TagStartLoopPlay>);
  r.Register("ReLoopPlay(", &BuildStatement<TagReLoopPlay>);
  r.Register("Stop(", &BuildStatement<TagStopPlay>);
  r.Register("Record(", &BuildStatement<TagRecord>);
  r.Register("StartRecord(", &BuildStatement<TagStartRecord>);
  r.Register("PcPlay(", &BuildStatement<TagPcPlay>);
  r.Register("IsPcPlayEnd(", &BuildStatement<TagIsPcPlayEnd>);
  r.Register("SetSndDir(", &BuildStatement<TagSetSndDir>);
  r.Register("SelectLan(", &BuildStatement<TagSelectLan>);
  r.Register("GetCurSndDir(", &BuildStatement<TagGetCurSndDir>);
  r.Register("SetSndExt(", &BuildStatement<TagSetSndExt>);
  r.Register("SetPlayToFile(", &BuildStatement<TagSetPlayToFile>);
  r.Register("SetBreak(", &BuildStatement<TagSetBreak>);
  r.Register("SetRecPos(", &BuildStatement<TagSetRecPos>);
  r.Register("LoadVocFile(", &BuildStatement<TagLoadVocFile>);
  r.Register("UnloadVocFile(", &BuildStatement<TagUnloadVocFile>);
}

std::string PlayFilePath(const TagTelBasic& script) {
  const int32_t language = script.voiceDirIndex;
  std::string path = IsLanguage(language) ? script.voiceDirs[language] : std::string();
  path += 't';
  path += std::to_string(script.lineNo);
  path += script.voiceExt;
  return path;
}

int32_t AppendToPlayFile(const TagTelBasic& script, std::string_view voice_path) {
  FILE* play_file = platform::OpenHostFile(PlayFilePath(script), "r+b");
  if (play_file == nullptr) return kPlayFileNotOpen;
  const int32_t r = AppendVoiceFile(play_file, voice_path);
  std::fclose(play_file);
  return r;
}

std::shared_ptr<const engine::MemStruct> FindCachedVoice(TagTelBasic& script,
                                                         std::string_view voice_path) {
  if (auto own = script.voiceCache.Find(voice_path)) return own;
  return engine::GlobalVocCache().Find(voice_path);
}

int32_t PlayVoice(TagTelBasic& script, std::string_view voice_path) {
  if (script.playToFile) return AppendToPlayFile(script, voice_path);
  TagVtCall* call = LineCallOf(script);
  if (call == nullptr) return kNoCallObject;
  if (auto cached = FindCachedVoice(script, voice_path)) {
    return call->PlayMemVoc(cached->data.data(), 0, cached->size, 0, script.breakOnKey);
  }
  return call->Play(CutAtCharacter(voice_path, kMaxPlayPathBytes), script.breakOnKey, 0);
}

std::string VoiceDirectory(std::string_view text) {
  std::string dir(text);
  if (!dir.empty() && !EndsWithBackslash(dir)) dir += '\\';
  return dir;
}

}  // namespace telephony
