// The voice statements, compiled from real script files and run by the run
// loop: first on a call object that records every operation it is asked for
// (what each statement passes and what it stores), then the play file and
// the voice caches, then on a real E1 line of the simulated board with the
// test as the far end, hearing what is played and sending what is recorded.
#include "telephony/statements/voice_statements.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "platform/message_service.h"
#include "telephony/line_settings.h"
#include "telephony/statements/number_statements.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_play.h"
#include "telephony/vt_call.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using engine::TagTelBasic;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr int32_t kLine = 4;
constexpr int32_t kOtherLine = 5;
// What every recorded operation returns.
constexpr int32_t kCallResult = 7;
constexpr int kWaitMs = 3000;

// A WAV voice: a 46-byte A-law header and `bytes` samples from `first` on.
std::string AlawWav(size_t bytes, int first = 1) {
  std::string data;
  for (size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>(first + i * 7));
  auto u32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  return "RIFF" + u32(static_cast<uint32_t>(bytes + 38)) + "WAVEfmt " + u32(18) + u16(6) +
         u16(1) + u32(8000) + u32(8000) + u16(1) + u16(8) + u16(0) + "data" +
         u32(static_cast<uint32_t>(bytes)) + data;
}

uint32_t U32At(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  }
  return v;
}

std::string ArgText(std::string_view s) { return std::string(s); }
std::string ArgText(int32_t v) { return std::to_string(v); }

// A call object that writes down each voice operation as "Name(arg,...)"
// and returns kCallResult.
class RecordingCall : public TagVtCall {
 public:
  explicit RecordingCall(int32_t line) { lineNo = line; }

  int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc) override {
    return Note("Play", file, break_on_key, on_pc);
  }
  int32_t PlayMemVoc(const char* buffer, int32_t start, int32_t length, int32_t reserved,
                     int32_t break_on_key) override {
    memoryVoice.assign(buffer + start, static_cast<size_t>(length));
    return Note("PlayMemVoc", start, length, reserved, break_on_key);
  }
  int32_t StartLoopPlay(std::string_view file, int32_t reserved) override {
    return Note("StartLoopPlay", file, reserved);
  }
  int32_t ReLoopPlay() override { return Note("ReLoopPlay"); }
  void StopPlay() override { Note("StopPlay"); }
  int32_t PcPlay(std::string_view file, int32_t loop, int32_t wait, int32_t stop) override {
    return Note("PcPlay", file, loop, wait, stop);
  }
  int32_t IsPcPlayEnd() override { return Note("IsPcPlayEnd"); }
  int32_t Record(std::string_view file, int32_t seconds, int32_t stop_on_hash) override {
    return Note("Record", file, seconds, stop_on_hash);
  }
  int32_t StartRecord(std::string_view file, int32_t seconds) override {
    return Note("StartRecord", file, seconds);
  }
  int32_t SetBreak(int32_t flag) override {
    Note("SetBreak", flag);
    return TagVtCall::SetBreak(flag);
  }

  std::vector<std::string> log;
  std::string memoryVoice;  // the bytes of the last PlayMemVoc

 private:
  template <typename... A>
  int32_t Note(const char* op, const A&... args) {
    std::string line = std::string(op) + "(";
    bool first = true;
    ((line += (first ? "" : ","), line += ArgText(args), first = false), ...);
    log.push_back(line + ")");
    return kCallResult;
  }
};

// Scripts compiled in a scratch folder (the working directory) with the
// voice statements, "return(" to end a run, and the compilers installed.
class ScriptRunner {
 public:
  ScriptRunner() {
    static const bool registered = [] {
      RegisterVoiceStatements();
      engine::RegisterScriptControlStatements();
      return true;
    }();
    (void)registered;
    engine::RegisterStatementCompiler();
    engine::ScriptCache().Clear();
  }
  ~ScriptRunner() {
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
    engine::ScriptCache().Clear();
    telephony::GlobalVocCache().Clear();
  }

  // Compiles the lines (a "return(0)" is added) for the call and runs them.
  std::unique_ptr<TagTelBasic> Run(const std::string& lines, engine::LineCallBase& call) {
    const std::string name = "s" + std::to_string(++count_) + ".vts";
    WriteFile(name, lines + "\nreturn(0)\n");
    auto script = std::make_unique<TagTelBasic>(name, call.lineNo, &call, 0, nullptr);
    EXPECT_EQ(script->initResult, 0)
        << ReadFile(engine::ErrorFileName(call.lineNo)).value_or("") << lines;
    if (script->initResult == 0) script->Run();
    return script;
  }

  static std::string Value(TagTelBasic& script, const char* name) {
    engine::TagVar* v = nullptr;
    script.FindVariable(name, &v);
    return v != nullptr ? v->ToText() : "<none>";
  }
  static int32_t Int(TagTelBasic& script, const char* name) {
    engine::TagVar* v = nullptr;
    script.FindVariable(name, &v);
    return v != nullptr ? v->GetInt() : -999;
  }

 private:
  int count_ = 0;
};

class VoiceStatementsTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  ScriptRunner runner_;
  RecordingCall call_{kLine};
};

// --- what each statement passes and stores ----------------------------------

struct StatementCase {
  const char* label;
  const char* lines;  // the script; r takes the statement's result
  std::vector<std::string> log;
  int32_t r;
  std::vector<std::pair<const char*, const char*>> values;  // variables afterwards
};

TEST_F(VoiceStatementsTest, EachStatementPassesItsArgumentsToTheCallObject) {
  const StatementCase cases[] = {
      {"a voice name gets the voice directory and extension, and the break flag",
       "SetSndDir(\"voc\", \"\", \"\")\nr = Play(\"hello\")", {"Play(voc\\hello.WAV,1,0)"},
       kCallResult, {}},
      {"a name with an extension or an absolute one is not changed",
       "SetSndDir(\"voc/\", \"\", \"\")\nPlay(\"a.vox\")\nr = Play(\"/abs/hi.wav\")",
       {"Play(voc/\\a.vox,1,0)", "Play(/abs/hi.wav,1,0)"}, kCallResult, {}},
      {"an empty directory leaves the bare name",
       "SetSndDir(\"\", \"en\", \"\")\nr = Play(\"hi\")", {"Play(hi.WAV,1,0)"}, kCallResult, {}},
      {"the extension is taken as written",
       "SetSndExt(\"vox\")\nr = Play(\"hello\")", {"Play(hellovox,1,0)"}, kCallResult, {}},
      {"SetBreak( reads a stored integer: the string \"0\" is not 0",
       "SetBreak(\"0\")\nPlay(\"a\")\nSetBreak(0)\nr = Play(\"a\")",
       {"SetBreak(1)", "Play(a.WAV,1,0)", "SetBreak(0)", "Play(a.WAV,0,0)"}, kCallResult, {}},
      {"SelectLan( picks the directory; a string is converted",
       "SetSndDir(\"zh\", \"en\", \"yue\")\nPlay(\"hi\")\nSelectLan(\"2\")\nr = Play(\"hi\")",
       {"Play(zh\\hi.WAV,1,0)", "Play(yue\\hi.WAV,1,0)"}, kCallResult, {}},
      {"SelectLan( outside 0..2 gives -1 and keeps the language",
       "SetSndDir(\"zh\", \"en\", \"\")\nSelectLan(1)\nr = SelectLan(3)\nPlay(\"hi\")",
       {"Play(en\\hi.WAV,1,0)"}, -1, {}},
      {"GetCurSndDir( gives the directory and the language",
       "d = 0\nl = 0\nSetSndDir(\"zh\", \"en\", \"yue\")\nSelectLan(2)\nr = GetCurSndDir(d, l)", {},
       0, {{"d", "yue\\"}, {"l", "2"}}},
      {"Record( waits with the break flag as the '#' stop; seconds are stored integers",
       "r = Record(\"msg\", 10)\nSetBreak(0)\nRecord(\"msg\", \"abc\")",
       {"Record(msg.WAV,10,1)", "SetBreak(0)", "Record(msg.WAV,4,0)"}, kCallResult, {}},
      {"StartRecord( does not wait", "r = StartRecord(\"m.wav\", 5)", {"StartRecord(m.wav,5)"},
       kCallResult, {}},
      {"loop play, resumed", "StartLoopPlay(\"bg\")\nr = ReLoopPlay()",
       {"StartLoopPlay(bg.WAV,0)", "ReLoopPlay()"}, kCallResult, {}},
      {"Stop( gives 0 whatever the line does", "r = Stop()", {"StopPlay()"}, 0, {}},
      {"PcPlay( modes: above 0 loops, below 0 plays once, 0 waits; keys never stop it",
       "PcPlay(\"x\", 5)\nPcPlay(\"x\", -1)\nr = PcPlay(\"x\", 0)",
       {"PcPlay(x.WAV,1,0,0)", "PcPlay(x.WAV,0,0,0)", "PcPlay(x.WAV,0,1,0)"}, kCallResult, {}},
      {"IsPcPlayEnd( gives the value and stores it", "e = 0\nr = IsPcPlayEnd(e)",
       {"IsPcPlayEnd()"}, kCallResult, {{"e", "7"}}},
  };
  for (const StatementCase& c : cases) {
    SCOPED_TRACE(c.label);
    RecordingCall call(kLine);
    auto script = runner_.Run(c.lines, call);
    EXPECT_EQ(call.log, c.log);
    EXPECT_EQ(ScriptRunner::Int(*script, "r"), c.r);
    for (const auto& [name, text] : c.values) {
      EXPECT_EQ(ScriptRunner::Value(*script, name), text) << name;
    }
  }
}

TEST_F(VoiceStatementsTest, ALongPathIsCutWithoutSplittingACharacter) {
  // 1280 bytes of "中" (GBK 0xD6 0xD0) as the directory: the path is cut to
  // 1022 bytes, not to 1023, which would leave half a character.
  auto script = runner_.Run(
      "d = \"\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\xD6\xD0\"\nd = d + d\nd = d + d\nd = d + d\n"
      "d = d + d\nd = d + d\nd = d + d\nd = d + d\nSetSndDir(d, \"\", \"\")\nr = Play(\"h\")",
      call_);
  std::string cut;
  for (int i = 0; i < 511; ++i) cut += "\xD6\xD0";
  EXPECT_EQ(call_.log, std::vector<std::string>{"Play(" + cut + ",1,0)"});
}

TEST_F(VoiceStatementsTest, AChildScriptActsOnTheLinesScript) {
  // The child's settings are the line script's while it runs and are given
  // back after it; a function acts on its main script.
  WriteFile("child.vts", "SetSndDir(\"en\", \"\", \"\")\nPlay(\"b\")\nreturn(0)\n");
  auto script = runner_.Run(
      "function f()\n{\nPlay(\"c\")\n}\nSetSndDir(\"zh\", \"\", \"\")\n"
      "RunVts(\"child.vts\")\nPlay(\"a\")\nf()",
      call_);
  const std::vector<std::string> expected = {"Play(en\\b.WAV,1,0)", "Play(zh\\a.WAV,1,0)",
                                             "Play(zh\\c.WAV,1,0)"};
  EXPECT_EQ(call_.log, expected);
}

TEST_F(VoiceStatementsTest, AChildsNumbersPlayByTheLinesSettings) {
  // "PlayNumber(" in a child joins its pieces in the line's play file of
  // the line script's directory and plays it with that script's break flag.
  RegisterNumberStatements();
  std::filesystem::create_directory("zh");
  WriteFile("child.vts", "PlayNumber(\"5\", 0)\nreturn(0)\n");
  auto script =
      runner_.Run("SetSndDir(\"zh\", \"\", \"\")\nSetBreak(0)\nRunVts(\"child.vts\")", call_);
  const std::string play_file = "zh\\t" + std::to_string(kLine) + ".WAV";
  // The test's call object is no board line: the number plays on the PC.
  const std::vector<std::string> expected = {"SetBreak(0)", "Play(" + play_file + ",0,1)"};
  EXPECT_EQ(call_.log, expected);
}

TEST_F(VoiceStatementsTest, SetRecPosGoesToTheCallObject) {
  auto script = runner_.Run("r = SetRecPos(\"800\")", call_);
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), 0);
  EXPECT_EQ(call_.recordPos, 800);
}

TEST_F(VoiceStatementsTest, VoiceDirectoriesEndInOneBackslash) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"D:\\voc", "D:\\voc\\"},
      {"D:\\voc\\", "D:\\voc\\"},
      {"voc/", "voc/\\"},
      // "圽" is 0x88 0x5C in GBK: its trail byte is no separator.
      {"D:\\\x88\x5C", "D:\\\x88\x5C\\"},
  };
  for (const auto& [written, stored] : cases) EXPECT_EQ(VoiceDirectory(written), stored);
}

// --- the play file ----------------------------------------------------------

TEST_F(VoiceStatementsTest, PlayToFileAppendsEveryPlayToTheLinesPlayFile) {
  const std::string a = AlawWav(300, 1), b = AlawWav(200, 50);
  std::filesystem::create_directory("voc");
  WriteFile("voc/a.WAV", a);
  WriteFile("voc/b.WAV", b);
  auto script = runner_.Run(
      "SetSndDir(\"voc\", \"\", \"\")\nr1 = SetPlayToFile(1)\nr2 = Play(\"a\")\n"
      "r3 = PcPlay(\"b\", 0)\nr4 = Play(\"missing\")",
      call_);
  EXPECT_TRUE(call_.log.empty());  // the line plays nothing
  EXPECT_EQ(PlayFilePath(*script), "voc\\t4.WAV");
  EXPECT_EQ(ScriptRunner::Int(*script, "r1"), 0);
  EXPECT_EQ(ScriptRunner::Int(*script, "r2"), 0);
  EXPECT_EQ(ScriptRunner::Int(*script, "r3"), 0);
  EXPECT_EQ(ScriptRunner::Int(*script, "r4"), kAppendNoVoice);
  const std::string played = ReadFile("voc/t4.WAV").value_or("");
  ASSERT_EQ(played.size(), 46u + 300 + 200);
  EXPECT_EQ(played.substr(0, 4), "RIFF");
  EXPECT_EQ(played.substr(8, 34), a.substr(8, 34));  // the voices' format
  EXPECT_EQ(U32At(played, 4), played.size() - 8);
  EXPECT_EQ(U32At(played, 42), 500u);
  EXPECT_EQ(played.substr(46), a.substr(46) + b.substr(46));
}

TEST_F(VoiceStatementsTest, PlayToFileFailsWhenThePlayFileIsMissing) {
  std::filesystem::create_directory("voc");
  WriteFile("voc/a.WAV", AlawWav(100));
  // No folder for the play file: the switch is on but the file is not made.
  auto script = runner_.Run(
      "SetSndDir(\"none\", \"\", \"\")\nr1 = SetPlayToFile(1)\nr2 = Play(\"a\")\n"
      "SetSndDir(\"voc\", \"\", \"\")\nr3 = SetPlayToFile(0)\nr4 = Play(\"a\")",
      call_);
  EXPECT_EQ(ScriptRunner::Int(*script, "r1"), -1);
  EXPECT_EQ(ScriptRunner::Int(*script, "r2"), kPlayFileNotOpen);
  EXPECT_EQ(ScriptRunner::Int(*script, "r3"), 0);
  EXPECT_EQ(ScriptRunner::Int(*script, "r4"), kCallResult);  // switched off: the line plays
  EXPECT_EQ(call_.log, std::vector<std::string>{"Play(voc\\a.WAV,1,0)"});
}

// --- the voice caches ---------------------------------------------------------

TEST_F(VoiceStatementsTest, ALoadedVoicePlaysFromTheScriptsCache) {
  const std::string a = AlawWav(400);
  std::filesystem::create_directory("voc");
  WriteFile("voc/a.WAV", a);
  auto script = runner_.Run(
      "SetSndDir(\"voc\", \"\", \"\")\nn = LoadVocFile(\"a\", 0)\nagain = LoadVocFile(\"a\", 0)\n"
      "r = Play(\"a\")\nbadUnload = UnloadVocFile(5, 0)\nbadLoad = LoadVocFile(5, 0)\n"
      "missing = LoadVocFile(\"nothere\", 0)\nu = UnloadVocFile(\"a\", 0)\nr2 = Play(\"a\")",
      call_);
  EXPECT_EQ(ScriptRunner::Int(*script, "n"), static_cast<int32_t>(a.size()));
  EXPECT_EQ(ScriptRunner::Int(*script, "again"), telephony::kVocNotLoaded);  // kept as it was
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), kCallResult);
  EXPECT_EQ(ScriptRunner::Int(*script, "badUnload"), -1);
  EXPECT_EQ(ScriptRunner::Int(*script, "badLoad"), -1);
  EXPECT_EQ(ScriptRunner::Int(*script, "missing"), telephony::kVocNotLoaded);
  EXPECT_EQ(ScriptRunner::Int(*script, "u"), 0);
  const std::vector<std::string> expected = {
      "PlayMemVoc(0," + std::to_string(a.size()) + ",0,1)", "Play(voc\\a.WAV,1,0)"};
  EXPECT_EQ(call_.log, expected);
  EXPECT_EQ(call_.memoryVoice, a);  // the whole file, header included
  EXPECT_EQ(LineSettingsOf(*script).voiceCache.Count(), 0u);
  EXPECT_EQ(telephony::GlobalVocCache().Count(), 0u);
}

TEST_F(VoiceStatementsTest, TheProcessWideCacheServesEveryLine) {
  const std::string a = AlawWav(100);
  std::filesystem::create_directory("voc");
  WriteFile("voc/a.WAV", a);
  WriteFile("voc/b.WAV", AlawWav(50));
  auto loader = runner_.Run("SetSndDir(\"voc\", \"\", \"\")\ng = LoadVocFile(\"a\", 1)", call_);
  EXPECT_EQ(ScriptRunner::Int(*loader, "g"), static_cast<int32_t>(a.size()));
  EXPECT_EQ(LineSettingsOf(*loader).voiceCache.Count(), 0u);
  EXPECT_NE(FindCachedVoice(*loader, "voc\\a.WAV"), nullptr);

  // Another line: "*..." with flag 0 clears only its own cache, with 1 the
  // process-wide one.
  RecordingCall other(kOtherLine);
  auto script = runner_.Run(
      "SetSndDir(\"voc\", \"\", \"\")\nLoadVocFile(\"b\", 0)\nUnloadVocFile(\"*abc\", 0)\n"
      "Play(\"a\")\nPlay(\"b\")\nUnloadVocFile(\"*abc\", 1)\nPlay(\"a\")",
      other);
  const std::vector<std::string> expected = {
      "PlayMemVoc(0," + std::to_string(a.size()) + ",0,1)", "Play(voc\\b.WAV,1,0)",
      "Play(voc\\a.WAV,1,0)"};
  EXPECT_EQ(other.log, expected);
  EXPECT_EQ(other.memoryVoice, a);
  EXPECT_EQ(telephony::GlobalVocCache().Count(), 0u);
}

// --- a real E1 line -------------------------------------------------------------

class E1VoiceTest : public ::testing::Test {
 protected:
  void Connect() {
    ASSERT_EQ(line_.far().Call("E3", "13900000000", "8001"), "OK");
    ASSERT_EQ(line_.call().WaitRing(1), 0);
  }
  // What the far end hears while the lines run.
  std::string Heard(const std::string& lines, std::unique_ptr<TagTelBasic>* script) {
    EXPECT_EQ(line_.far().CaptureStart("E3", "heard.raw"), "OK");
    *script = runner_.Run(lines, line_.call());
    EXPECT_EQ(line_.far().CaptureStop("E3"), "OK");
    return ReadFile(line_.File("heard.raw")).value_or("");
  }

  // The user's private runtime folder, where scratch files go.
  testing_support::TempDir runtime_;
  testing_support::ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", runtime_.path()};
  TupLine line_;  // before the runner: the working directory is its folder
  ScriptRunner runner_;
};

TEST_F(E1VoiceTest, PlayIsHeardAtTheFarEnd) {
  Connect();
  const std::string wav = AlawWav(1800);
  WriteFile(line_.File("hello.WAV"), wav);
  std::unique_ptr<TagTelBasic> script;
  // The board starts a ".WAV" name 200 bytes into the file.
  EXPECT_EQ(Heard("r = Play(\"hello.WAV\")", &script), wav.substr(200));
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), 1);
}

TEST_F(E1VoiceTest, RecordHoldsWhatTheFarEndSends) {
  Connect();
  std::string sent;
  for (int i = 0; i < 800; ++i) sent.push_back(static_cast<char>(0x10 + i % 100));
  WriteFile(line_.File("far.raw"), sent);
  ASSERT_EQ(line_.far().Inject("E3", "far.raw"), "OK");
  auto script = runner_.Run("r = Record(\"rec.wav\", 1)", line_.call());
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), 1);
  const std::string recorded = ReadFile(line_.File("rec.wav")).value_or("");
  ASSERT_EQ(recorded.size(), 46u + kRecordBytesPerSecond);
  EXPECT_EQ(recorded.substr(0, 4), "RIFF");
  EXPECT_EQ(recorded.substr(46, sent.size()), sent);
}

TEST_F(E1VoiceTest, ALoadedVoiceIsHeardFromMemory) {
  Connect();
  // Files of the user's in the working folder under the names an earlier
  // scratch file of the line had: a voice from memory leaves them alone.
  const std::string own = "the user's own file";
  const std::string earlier = line_.File("MEMVOC" + std::to_string(TupLine::kChannel));
  WriteFile(earlier + ".WAV", own);
  WriteFile(earlier + ".VOX", own);
  const std::string wav = AlawWav(1600, 3);
  WriteFile(line_.File("mem.WAV"), wav);
  auto loader = runner_.Run("n = LoadVocFile(\"mem.WAV\", 1)", line_.call());
  EXPECT_EQ(ScriptRunner::Int(*loader, "n"), static_cast<int32_t>(wav.size()));
  // Gone from the disk: only the memory copy can be heard.
  ASSERT_EQ(::unlink(line_.File("mem.WAV").c_str()), 0);
  std::unique_ptr<TagTelBasic> script;
  EXPECT_EQ(Heard("r = Play(\"mem.WAV\")", &script), wav.substr(200));
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), 1);
  // A headerless voice plays from its first byte.
  std::string raw(800, '\x33');
  WriteFile(line_.File("mem.vox"), raw);
  EXPECT_EQ(Heard("LoadVocFile(\"mem.vox\", 0)\nr = Play(\"mem.vox\")", &script), raw);
  EXPECT_EQ(ScriptRunner::Int(*script, "r"), 1);
  EXPECT_EQ(ReadFile(earlier + ".WAV"), own);
  EXPECT_EQ(ReadFile(earlier + ".VOX"), own);
  // The board played scratch files in the private runtime folder, which
  // were removed after their plays.
  int plays = 0;
  for (const simboard::JournalEntry& e : line_.folder().board().Journal()) {
    if (e.role != "ChannelPlay") continue;
    ++plays;
    EXPECT_NE(e.args.find(runtime_.path() + "/vttel/memvoc-L3-"), std::string::npos) << e.args;
  }
  EXPECT_EQ(plays, 2);
  EXPECT_EQ(testing_support::FolderNames(runtime_.path() + "/vttel"), std::vector<std::string>{});
}

}  // namespace
}  // namespace telephony
