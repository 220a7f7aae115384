#include "telephony/statements/speech_statements.h"

#include <cstdint>
#include <string>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/big5_text.h"
#include "platform/file_ops.h"
#include "telephony/line_settings.h"
#include "telephony/voice/speech_store.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/wave_convert.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

using engine::TagTelBasic;
using engine::TagVar;

// The first bytes of a converted text shown in the log.
constexpr int kLoggedTextBytes = 16;
constexpr int32_t kSyllableMode = 1;
constexpr int32_t kSystemVoiceMode = 0;

const std::string& VoiceDir(const TagTelBasic& script) {
  const VoiceSettings& voice = LineSettingsOf(script).voice;
  return voice.voiceDirs[voice.voiceDirIndex];
}

// Writes an error line to the line's always-written log.
void LineErrorLog(const TagTelBasic& script, const char* text) {
  if (TagVtCall* call = LineCallOf(script)) {
    call->ErrorLog(text);
  } else {
    frame::LogAlwaysF("lcnt=%d, %s", script.lineNo, text);
  }
}

class TagSetTtsPara : public engine::TagOper {
 public:
  explicit TagSetTtsPara(const engine::StatementBuild& build)
      : mode_(engine::Arg(build, 0)),
        path_(engine::Arg(build, 1)),
        param_(engine::Arg(build, 2)),
        script_(build.script) {}

  int32_t Execute() override {
    const int32_t mode = engine::ArgInt(*mode_);
    const std::string path = engine::ArgConvertedText(*path_);
    const std::string param = engine::ArgConvertedText(*param_);
    ScriptSpeech* speech = script_ ? FindScriptSpeech(*script_) : nullptr;
    return speech ? speech->SetTtsPara(mode, path, param) : kNoCallObject;
  }

 private:
  TagVar* mode_;
  TagVar* path_;
  TagVar* param_;
  TagTelBasic* script_;
};

class TagTxtSpeak : public engine::TagOper {
 public:
  explicit TagTxtSpeak(const engine::StatementBuild& build)
      : text_(engine::Arg(build, 0)),
        from_file_(engine::Arg(build, 1)),
        xml_(engine::Arg(build, 2)),
        script_(build.script),
        onPc_(build.pcMode) {}

  int32_t Execute() override {
    std::string text = engine::ArgConvertedText(*text_);
    const bool from_file = engine::ArgInt(*from_file_) != 0;
    const bool xml = engine::ArgInt(*xml_) != 0;
    if (script_ == nullptr) return kNoCallObject;
    TagTelBasic& script = *script_->GetRunContext();
    if (!from_file) text = SpeechText(text);
    TagVtCall* call = LineCallOf(script);
    if (LineSettingsOf(script).voice.ttsMode == kSyllableMode) {
      return SpeakSyllables(script, call, text, from_file);
    }
    if (call == nullptr) return kNoCallObject;
    return call->TxtSpeak(text, from_file, xml, onPc_ ? 1 : 0);
  }

 private:
  int32_t SpeakSyllables(TagTelBasic& script, TagVtCall* call, const std::string& text,
                         bool from_file) {
    const VoiceSettings& voice = LineSettingsOf(script).voice;
    const std::string temp = VoiceDir(script) + "tts" + std::to_string(script.lineNo) + voice.voiceExt;
    ScriptSpeech* speech = FindScriptSpeech(script);
    const int32_t count = speech ? speech->SpeakToFile(text, temp) : kVocNoSpeech;
    if (count > 0 && call != nullptr) {
      if (onPc_) {
        call->PcPlay(temp, 0, 1, 0);
      } else {
        // The file flag would make the line play from the PC: the caller
        // would hear nothing. The text is spoken as given, on the line.
        if (from_file) {
          frame::LogMsgF("%d TxtSpeak: the file flag is not honoured in syllable mode",
                         script.lineNo);
        }
        call->Play(temp, voice.breakOnKey, 0);
      }
    }
    platform::RemoveScriptFile(temp);
    return count;
  }

  TagVar* text_;
  TagVar* from_file_;
  TagVar* xml_;
  TagTelBasic* script_;
  bool onPc_;
};

class TxtSpeakToFile : public engine::TagOper {
 public:
  explicit TxtSpeakToFile(const engine::StatementBuild& build)
      : text_(engine::Arg(build, 0)),
        file_(engine::Arg(build, 1)),
        format_(engine::Arg(build, 2)),
        flag_(engine::Arg(build, 3)),
        script_(build.script) {}

  int32_t Execute() override {
    const std::string text_arg = engine::ArgConvertedText(*text_);
    const std::string name = engine::ArgConvertedText(*file_);
    const int32_t format = engine::ArgInt(*format_);
    const int32_t flag = engine::ArgInt(*flag_);
    if (script_ == nullptr) return kNoCallObject;
    TagTelBasic& script = *script_->GetRunContext();
    const std::string path = IsAbsoluteVoicePath(name) ? name : VoiceDir(script) + name;
    const std::string text = SpeechText(text_arg);
    const int32_t mode = LineSettingsOf(script).voice.ttsMode;
    ScriptSpeech* speech = FindScriptSpeech(script);
    if (mode == kSyllableMode) return speech ? speech->SpeakToFile(text, path) : kVocNoSpeech;
    if (mode != kSystemVoiceMode) {
      TagVtCall* call = LineCallOf(script);
      return call ? call->TxtSpeakToFile(text, path, format, flag) : kNoCallObject;
    }
    if (speech == nullptr) return kNoSpeechVoice;
    if (format != kSpeechAlaw) {
      const int32_t result = speech->MsTtsSpeak(text, path, flag, format);
      if (result < 0) LineErrorLog(script, "MsTxt2Voc(PCM) Err.");
      return result;
    }
    const std::string pcm = path + ".wav";
    int32_t result = speech->MsTtsSpeak(text, pcm, flag, kSpeechPcm16);
    // The A-law file is the output: when it cannot be written, the output
    // could not be made.
    if (result >= 0 && ConvertPcmWavToAlaw(pcm, path) != kConvertDone) result = kSpeechNoStream;
    if (result < 0) LineErrorLog(script, "MsTxt2Voc(A-Law) Err.");
    platform::RemoveScriptFile(pcm);
    return result;
  }

 private:
  TagVar* text_;
  TagVar* file_;
  TagVar* format_;
  TagVar* flag_;
  TagTelBasic* script_;
};

}  // namespace

std::string SpeechText(std::string_view text) {
  if (!platform::IsBig5Text(text)) return std::string(text);
  const int shown = static_cast<int>(std::min<size_t>(text.size(), kLoggedTextBytes));
  frame::LogMsgF("Big5 text converted: '%.*s'", shown, text.data());
  return platform::Big5ToGbk(text);
}

void RegisterSpeechStatements() {
  RegisterScriptSpeech();
  engine::StatementRegistry& r = engine::Statements();
  r.Register("SetTtsPara(", &engine::BuildStatement<TagSetTtsPara>);
  r.Register("TxtSpeak(", &engine::BuildStatement<TagTxtSpeak>);
  r.Register("PcTxtSpeak(", &engine::BuildStatement<TagTxtSpeak>);
  r.Register("TxtSpeakToFile(", &engine::BuildStatement<TxtSpeakToFile>);
}

}  // namespace telephony
