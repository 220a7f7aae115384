// The speech statements on a call object that records what they ask of it:
// the engine chosen by the mode, the PC flag and the file flag, the
// temporary speech file and the output names; then "TxtSpeakToFile(" in
// the system-voice mode against the espeak-ng program itself.
#include "telephony/statements/speech_statements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/line_call.h"
#include "engine/statement_registry.h"
#include "platform/host_path.h"
#include "platform/pipe_process.h"
#include "telephony/line_settings.h"
#include "telephony/voice/espeak_speech.h"
#include "telephony/voice/speech_store.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/telephony/voc_lib_fixture.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

constexpr int32_t kLine = 3;

// Records the speech and PC plays too, and the bytes of each file played.
class SpeechCall : public RecordingCall {
 public:
  int32_t Play(std::string_view file, int32_t brk, int32_t pc) override {
    played.push_back(Bytes(file));
    return RecordingCall::Play(file, brk, pc);
  }
  int32_t PcPlay(std::string_view file, int32_t loop, int32_t wait, int32_t brk) override {
    played.push_back(Bytes(file));
    ops.push_back("PcPlay(" + std::string(file) + "," + std::to_string(loop) + "," +
                  std::to_string(wait) + "," + std::to_string(brk) + ")");
    return 0;
  }
  int32_t TxtSpeak(std::string_view text, int32_t from_file, int32_t xml, int32_t pc) override {
    ops.push_back("TxtSpeak(" + std::string(text) + "," + std::to_string(from_file) + "," +
                  std::to_string(xml) + "," + std::to_string(pc) + ")");
    return TagVtCall::TxtSpeak(text, from_file, xml, pc);
  }
  std::vector<std::string> played;

 private:
  static std::string Bytes(std::string_view script_path) {
    return testing_support::ReadFile(platform::ToHostPath(script_path).value_or("")).value_or("<none>");
  }
};

class SpeechStatementsTest : public VoiceScratchTest {
 protected:
  SpeechStatementsTest() {
    RegisterSpeechStatements();
    CGetHypy::Instance().Unload();  // each test brings its own library
    lib_.Clip("3", 40).Clip("DIAN3", 30).Clip("5", 20).Clip("A", 10);
    std::filesystem::create_directories("lib");
    std::filesystem::create_directories("voc");
    lib_.WriteTo("lib");
    call_.lineNo = kLine;
  }

  // Runs lines ("return(0)" added) on the call: the script, for its variables.
  std::unique_ptr<ScriptOnLine> Run(const std::string& lines) {
    auto run = std::make_unique<ScriptOnLine>(lines + "\nreturn(0)\n", call_);
    EXPECT_TRUE(run->compiled()) << run->Errors();
    LineSettingsOf(run->script()).voice.voiceDirs[0] = "voc\\";
    run->RunHere();
    return run;
  }

  VocLibBuilder lib_;
  SpeechCall call_;
};

TEST_F(SpeechStatementsTest, ModesAndFlagsChooseWhereTheSpeechGoes) {
  const std::string clips = lib_.ClipOf("3") + lib_.ClipOf("DIAN3") + lib_.ClipOf("5");
  const struct {
    const char* label;
    uint8_t kind;
    const char* lines;
    std::string ops;
    int32_t r;
  } kCases[] = {
      {"syllables on a board line", engine::kLineE1,
       "SetTtsPara(1, \"lib\", \"\")\nr = TxtSpeak(\"3.5\", 0, 0)", "Play(voc\\tts3.WAV,1,0)", 3},
      {"the file flag is not passed to Play", engine::kLineE1,
       "SetTtsPara(1, \"lib\", \"\")\nr = TxtSpeak(\"3.5\", 1, 0)", "Play(voc\\tts3.WAV,1,0)", 3},
      {"PcTxtSpeak plays on the sound card", engine::kLineE1,
       "SetTtsPara(1, \"lib\", \"\")\nr = PcTxtSpeak(\"3.5\", 0, 0)", "PcPlay(voc\\tts3.WAV,0,1,0)", 3},
      {"TxtSpeak on a virtual line is the PC's", engine::kLineVirtual,
       "SetTtsPara(1, \"lib\", \"\")\nr = TxtSpeak(\"3.5\", 0, 0)", "PcPlay(voc\\tts3.WAV,0,1,0)", 3},
      {"nothing to say plays nothing", engine::kLineE1,
       "SetTtsPara(1, \"lib\", \"\")\nr = TxtSpeak(\"%\", 0, 0)", "", -1},
      {"system voice on a board line", engine::kLineE1,
       "r = TxtSpeak(\"hi\", 0, 1)", "TxtSpeak(hi,0,1,0)", -1},
      {"system voice on a virtual line", engine::kLineVirtual,
       "SetTtsPara(2, \"\", \"\")\nr = TxtSpeak(\"t.xml\", 1, 1)", "TxtSpeak(t.xml,1,1,1)", -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    call_.ops.clear();
    call_.played.clear();
    call_.lineKind = c.kind;
    auto run = Run(c.lines);
    EXPECT_EQ(call_.Ops(), c.ops);
    EXPECT_EQ(run->Int("r"), c.r);
    if (c.r > 0) {  // the voice extension ".WAV" gives the 46-byte header
      ASSERT_EQ(call_.played.size(), 1u);
      EXPECT_EQ(call_.played[0].substr(0, 4), "RIFF");
      EXPECT_EQ(call_.played[0].substr(46), clips);
    }
    EXPECT_FALSE(testing_support::FileExists("voc/tts3.WAV"));
  }
  EXPECT_NE(Log().find("the file flag is not honoured"), std::string::npos);
}

TEST_F(SpeechStatementsTest, Big5TextsAreConvertedButNotFileNames) {
  std::string big5;
  platform::RunProcess({"iconv", "-f", "UTF-8", "-t", "CP950"},
                       reinterpret_cast<const char*>(u8"臺灣"), &big5);
  call_.lineKind = engine::kLineVirtual;
  // 臺灣 is BB 4F C6 57 in Big5: a low trail byte.
  auto text = Run("SetTtsPara(2, \"\", \"\")\nTxtSpeak(\"" + big5 + "\", 0, 0)\nTxtSpeak(\"" +
                  big5 + "\", 1, 0)");
  EXPECT_EQ(call_.ops.size(), 2u);
  EXPECT_EQ(call_.ops[0], "TxtSpeak(台湾,0,0,1)");
  EXPECT_EQ(call_.ops[1], "TxtSpeak(" + big5 + ",1,0,1)");
  EXPECT_NE(Log().find("Big5 text converted"), std::string::npos);
}

TEST_F(SpeechStatementsTest, SpeechFilesGoWhereTheirNamesSay) {
  std::filesystem::create_directories("abs");
  testing_support::ScopedEnv drives("VTTEL_DRIVES", "E=" + dir_.path() + "/abs");
  auto run = Run("SetTtsPara(1, \"lib\", \"\")\nr1 = TxtSpeakToFile(\"3\", \"a.wav\", 1, 0)\n"
                 "r2 = TxtSpeakToFile(\"5\", \"E:\\\\x.wav\", 1, 0)\n"
                 "SetTtsPara(7, \"\", \"\")\nr3 = TxtSpeakToFile(\"5\", \"b.wav\", 1, 0)");
  EXPECT_EQ(run->Int("r1"), 1);
  EXPECT_EQ(run->Int("r2"), 1);
  EXPECT_EQ(run->Int("r3"), 0);
  EXPECT_EQ(testing_support::ReadFile("voc/a.wav").value_or("").substr(46), lib_.ClipOf("3"));
  EXPECT_EQ(testing_support::ReadFile("abs/x.wav").value_or("").substr(46), lib_.ClipOf("5"));
  EXPECT_FALSE(testing_support::FileExists("voc/b.wav"));
}

// Every form of "TxtSpeakToFile(" fails when its output cannot be written:
// a folder, or a device that takes no bytes (a full disk). The system
// voice (espeak-ng) also writes the line's error line, and no ".wav" is
// left beside the output.
TEST_F(SpeechStatementsTest, AnOutputThatCannotBeWrittenFails) {
  std::filesystem::create_directories("voc/folder");
  const char* const kSyllables = "SetTtsPara(1, \"lib\", \"\")\n";
  const struct {
    const char* label;
    const char* setup;
    const char* text;
    const char* output;
    int32_t format;
    int32_t r;
    const char* error;  // the line's error line; "" none
  } kCases[] = {
      {"A-law into a folder", "", " ", "folder", kSpeechAlaw, kSpeechNoStream,
       "MsTxt2Voc(A-Law) Err."},
      {"PCM into a folder", "", " ", "folder", kSpeechPcm16, kSpeechNoStream,
       "MsTxt2Voc(PCM) Err."},
      {"mu-law into a folder", "", " ", "folder", kSpeechUlaw, kSpeechNoStream,
       "MsTxt2Voc(PCM) Err."},
      {"8-bit PCM into a folder", "", " ", "folder", 3, kSpeechNoStream, "MsTxt2Voc(PCM) Err."},
      {"PCM onto a full device", "", " ", "/dev/full", kSpeechPcm16, kSpeechFailed,
       "MsTxt2Voc(PCM) Err."},
      {"8-bit PCM onto a full device", "", " ", "/dev/full", 3, kSpeechFailed,
       "MsTxt2Voc(PCM) Err."},
      {"syllables into a folder", kSyllables, "3", "folder", kSpeechAlaw, kVocNoSpeech, ""},
      {"syllables onto a full device", kSyllables, "3", "/dev/full", kSpeechAlaw, kVocNoSpeech,
       ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    call_.errors.clear();
    auto run = Run(std::string(c.setup) + "r = TxtSpeakToFile(\"" + c.text + "\", \"" + c.output +
                   "\", " + std::to_string(c.format) + ", 0)");
    EXPECT_EQ(run->Int("r"), c.r);
    EXPECT_EQ(call_.errors, *c.error == '\0' ? std::vector<std::string>{}
                                              : std::vector<std::string>{c.error});
    EXPECT_TRUE(std::filesystem::is_directory("voc/folder"));
    EXPECT_FALSE(testing_support::FileExists("voc/folder.wav"));
  }
}

TEST(SpeechOnTupLineTest, TheFarEndHearsTheClips) {
  RegisterSpeechStatements();
  CGetHypy::Instance().Unload();
  TupLine line;
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  ASSERT_EQ(line.call().WaitRing(1), 0);
  VocLibBuilder lib;
  std::string three, five;
  for (int i = 0; i < 900; ++i) three += static_cast<char>(0x20 + i % 50);
  for (int i = 0; i < 700; ++i) five += static_cast<char>(0x60 + i % 40);
  lib.ClipBytes("3", three).ClipBytes("5", five);
  std::filesystem::create_directories(line.File("lib"));
  std::filesystem::create_directories(line.File("voc"));
  lib.WriteTo(line.File("lib"));
  testing_support::WriteFile("empty.vts", "\n");
  engine::TagTelBasic script("empty.vts", line.call().lineNo, &line.call(), 0, nullptr);
  LineSettingsOf(script).voice.voiceDirs[0] = "voc\\";
  ASSERT_EQ(FindScriptSpeech(script)->SetTtsPara(1, line.File("lib"), ""), 0);

  engine::TagVar text, from_file, xml;
  text.SetBytes("35", 2);
  from_file.SetInt(0);
  xml.SetInt(0);
  engine::StatementBuild build;
  build.row = engine::Keywords().FindKeyword("TxtSpeak(");
  build.args = {&text, &from_file, &xml};
  build.script = &script;
  std::string error;
  std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
  ASSERT_NE(s, nullptr) << error;
  ASSERT_EQ(line.far().CaptureStart("E3", "heard.raw"), "OK");
  EXPECT_EQ(s->Execute(), 2);
  ASSERT_EQ(line.far().CaptureStop("E3"), "OK");
  // The board plays a ".WAV" file from byte 200, past its 46-byte header.
  EXPECT_EQ(testing_support::ReadFile(line.File("heard.raw")).value_or(""),
            (three + five).substr(200 - 46));
  line.call().Hangup();
}

}  // namespace
}  // namespace telephony
