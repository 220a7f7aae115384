// The key statements: what "GetKeys(" and the key settings pass to the call
// object on a recording call object, "PcGetKeys(" reading the Keys cell of
// the line monitor (fed by "PcSetKeys(" from another line), and a script
// collecting keys the test presses on an E1 line of the simulated board.
#include "telephony/statements/key_statements.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "frame/monitor.h"
#include "platform/clock.h"
#include "telephony/line_settings.h"
#include "telephony/statements/call_statements.h"
#include "telephony/voice/voice_path.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

TEST(KeyStatementsRegistration, EveryKeyKeywordHasItsStatement) {
  RegisterKeyStatements();
  RegisterKeyStatements();  // a second call changes nothing
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kKeys), std::vector<int>{});
}

TEST(KeyStatementsRules, SwapAndCellLooks) {
  std::string keys = "1*2.3";
  SwapStarPoint(keys, true);
  EXPECT_EQ(keys, "1.2.3");
  SwapStarPoint(keys, false);
  EXPECT_EQ(keys, "1*2*3");

  struct Case {
    std::string cell;
    int32_t max;
    char endKey;
    bool ended;
    size_t taken;
    std::string keys;
  } const cases[] = {
      {"123#45", 10, '#', true, 4, "123"},      // '#' ends and is dropped
      {"12*9", 10, '*', true, 3, "12*"},        // the end key is kept
      {"12.9", 10, '*', true, 3, "12."},        // '*' and '.' are alike
      {"12#9", 10, '*', true, 3, "12"},         // '#' ends any input
      {"12A9#", 10, 'A', true, 3, "12A"},
      {"12345", 3, 0, true, 3, "123"},          // no end key: the maximum
      {"12#45", 3, 0, true, 3, "12#"},          // '#' is a key then
      {"12", 3, '#', false, 0, ""},
      {"", 0, '#', true, 0, ""},                // a maximum of 0 ends at once
      {"12345", -3, 0, true, 0, ""},            // so does a negative one
      {"1#", -3, '#', true, 2, "1"},            // after a terminator
      {std::string(5000, '7'), 10, '#', true, 10, std::string(10, '7')},
      // A terminator is looked for before the maximum.
      {std::string(50, '7') + "#", 10, '#', true, 51, std::string(50, '7')},
      {std::string(3000, '7') + "#1", 5000, '#', true, 3001, std::string(3000, '7')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cell.substr(0, 20) + " max=" + std::to_string(c.max));
    const CellTake take = LookAtKeysCell(c.cell, c.max, c.endKey);
    EXPECT_EQ(take.ended, c.ended);
    EXPECT_EQ(take.taken, c.taken);
    EXPECT_EQ(take.keys, c.keys);
  }
}

// --- "GetKeys(" and the settings on a recording call object --------------------------

class KeyStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterCallStatements();
    RegisterKeyStatements();
    call_.lineNo = 2;
    call_.lineKind = engine::kLineE1;
  }
  std::unique_ptr<ScriptOnLine> Run(const std::string& lines) {
    auto s = std::make_unique<ScriptOnLine>("k = \"old\"\nr = 0\n" + lines + "\nreturn(r)\n",
                                            call_);
    EXPECT_TRUE(s->compiled()) << lines << ": " << s->Errors();
    if (s->compiled()) s->RunHere();
    return s;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  RecordingCall call_;
};

struct GetKeysCase {
  std::string lines;    // the statements; r is the last result
  int32_t callResult;
  std::string keys;     // what the call object collects
  std::string ops;      // "$voice" stands for the resolved voice name
  std::string voice;    // the time-out voice named
  int32_t result;
  std::string stored;   // k afterwards
};

TEST_F(KeyStatementsTest, GetKeysPassesItsLimitsAndStoresTheKeys) {
  const std::vector<GetKeysCase> cases = {
      {"r = GetKeys(k, 4, 10)", 2, "12", "GetKeys(4,10,#)", "", 2, "12"},
      // The maximum and time-out are stored integers: strings give length + 1.
      {"r = GetKeys(k, \"abc\", \"a\")", 2, "12", "GetKeys(4,2,#)", "", 2, "12"},
      {"r = GetKeys(k, 0, 5)", 3, "123", "GetKeys(0,5,#)", "", 3, "123"},
      {"SetEndKey(\"*\")\nr = GetKeys(k, 4, 10)", 3, "12*", "GetKeys(4,10,*)", "", 3, "12."},
      {"SetEndKey(\"\")\nr = GetKeys(k, 4, 10)", 4, "1234", "GetKeys(4,10,)", "", 4, "1234"},
      {"SetStarToPoint(0)\nr = GetKeys(k, 4, 10)", 3, "1.2", "GetKeys(4,10,#)", "", 3, "1*2"},
      // A failure plays the time-out voice without key break and hangs up;
      // the keys collected are stored all the same.
      {"r = GetKeys(k, 4, 10)", -1, "1*", "GetKeys(4,10,#) Play($voice,0,0) Hangup()",
       "timeout.wav", -1, "1."},
      {"SetTimeoutVoc(\"bye\")\nr = GetKeys(k, 4, 10)", -1, "",
       "GetKeys(4,10,#) Play($voice,0,0) Hangup()", "bye", -1, ""},
      {"r = SetTimeoutVoc(5)\nGetKeys(k, 4, 10)", -1, "", "GetKeys(4,10,#)", "", -1, ""},
      // More keys than the statement keeps: cut to its room.
      {"r = GetKeys(k, 0, 5)", 150, std::string(150, '1'), "GetKeys(0,5,#)", "",
       static_cast<int32_t>(kDefaultKeysRoom), std::string(kDefaultKeysRoom, '1')},
      {"r = GetKeys(k, 3, 5)", 10, "1234567890", "GetKeys(3,5,#)", "", 3, "123"},
  };
  for (const GetKeysCase& c : cases) {
    SCOPED_TRACE(c.lines);
    call_.ops.clear();
    call_.result = c.callResult;
    call_.keys = c.keys;
    auto s = Run(c.lines);
    std::string ops = c.ops;
    const size_t at = ops.find("$voice");
    if (at != std::string::npos) {
      ops.replace(at, 6, ResolveVoicePath(s->script(), c.voice));
    }
    EXPECT_EQ(call_.Ops(), ops);
    EXPECT_EQ(s->Int("r"), c.result);
    EXPECT_EQ(s->Text("k"), c.stored);
  }
}

TEST_F(KeyStatementsTest, SettingsAndKeyOperations) {
  struct Case {
    std::string lines;
    std::string ops;
    int32_t result;
  } const cases[] = {
      {"r = ClearKeys()", "ClearKeys()", 0},
      {"r = SetKeyTime(\"7\")", "SetKeyTime(7)", 0},
      {"r = SetKeys(\"12#\")", "SetKeys(12#)", 5},
      {"r = KeysLen(k)", "KeysLen()", 5},
      {"r = SetDispKeys(2)", "", 2},
      {"r = SetEndKey(\"*#\")", "", 0},
      {"r = SetStarToPoint(3)", "", 0},
      {"r = SetTimeoutVoc(\"a\")", "", 0},
      {"r = SetTimeoutVoc(1.5)", "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    call_.ops.clear();
    call_.result = 5;
    auto s = Run(c.lines);
    EXPECT_EQ(call_.Ops(), c.ops);
    EXPECT_EQ(s->Int("r"), c.result);
  }
  EXPECT_EQ(call_.keyTime, 7);
  auto s = Run("r = KeysLen(k)\nSetDispKeys(2)\nSetEndKey(\"*#\")\nSetStarToPoint(0)");
  EXPECT_EQ(s->Text("k"), "5");
  EXPECT_EQ(LineSettingsOf(s->script()).keys.dispKeys.load(), 2);
  EXPECT_EQ(LineSettingsOf(s->script()).keys.keyTerminator, '*');
  EXPECT_EQ(LineSettingsOf(s->script()).keys.starToPoint, 0);
  s = Run("SetEndKey(\"\")\nSetTimeoutVoc(\"a\")\nSetTimeoutVoc(k)");
  EXPECT_EQ(LineSettingsOf(s->script()).keys.keyTerminator, 0);
  EXPECT_EQ(LineSettingsOf(s->script()).keys.timeoutVoice, "old");  // k is a string
}

// --- "PcGetKeys(" on the Keys cells of the monitor --------------------------------

// The display modes of the lines' scripts, as the line drive gives them.
class KeyModes : public frame::LineInfoSource {
 public:
  bool DriveReady() override { return true; }
  std::string LineName(int line) override { return "L" + std::to_string(line); }
  bool HasScript(int) override { return true; }
  std::string ScriptFileName(int) override { return "line.vts"; }
  int CompileResult(int) override { return 0; }
  bool KeyDisplayMode(int line, int* mode) override {
    *mode = modes.count(line) ? modes.at(line) : 1;
    return true;
  }
  std::string StatementText(int, int32_t) override { return ""; }
  std::map<int, int> modes;
};

class PcGetKeysTest : public KeyStatementsTest {
 protected:
  void SetUp() override {
    KeyStatementsTest::SetUp();
    call_.lineKind = engine::kLineVirtual;
    monitor_.SetLineInfoSource(&modes_);
    frame::SetProcessMonitor(&monitor_);
  }
  void TearDown() override {
    frame::SetProcessMonitor(nullptr);
    monitor_.SetLineInfoSource(nullptr);
  }

  frame::TagMonitor monitor_{4};
  KeyModes modes_;
};

struct PcCase {
  std::string lines;   // the statements; r is the last result
  std::string cell;    // line 2's Keys cell before
  int32_t result;
  std::string stored;  // k afterwards
  std::string left;    // the cell afterwards
};

TEST_F(PcGetKeysTest, TakesTheKeysFromTheCell) {
  const std::vector<PcCase> cases = {
      {"r = PcGetKeys(k, 10, 5)", "123#45", 4, "123", "45"},
      // On a virtual line "GetKeys(" reads the cell too.
      {"r = GetKeys(k, 10, 5)", "123#45", 4, "123", "45"},
      {"SetEndKey(\"*\")\nr = PcGetKeys(k, 10, 5)", "12*9", 3, "12.", "9"},
      {"SetEndKey(\"*\")\nSetStarToPoint(0)\nr = PcGetKeys(k, 10, 5)", "12*9", 3, "12*", "9"},
      {"SetEndKey(\"\")\nr = PcGetKeys(k, 3, 5)", "12345", 3, "123", "45"},
      {"SetEndKey(\"\")\nr = PcGetKeys(k, 3, 5)", "1#2", 3, "1#2", ""},
      {"r = PcGetKeys(k, 0, 5)", "12", 0, "", "12"},
      // Time-outs leave the keys typed so far in the cell.
      {"r = PcGetKeys(k, 10, 2)", "12", kKeysTimeout, "", "12"},
      {"SetKeyTime(1)\nr = PcGetKeys(k, 10, 0)", "1", kKeysTimeout, "", "1"},
      {"SetEndKey(\"\")\nr = PcGetKeys(k, 10, 2)", "12#", kKeysTimeout, "", "12#"},
      // A released call ends the input.
      {"Hangup()\nr = PcGetKeys(k, 10, 0)", "12", kKeysStopped, "", "12"},
      // A negative maximum takes nothing; a long cell is no harm.
      {"SetEndKey(\"\")\nr = PcGetKeys(k, -3, 5)", "12345", 0, "", "12345"},
      {"r = PcGetKeys(k, -3, 5)", "12#45", 3, "12", "45"},
      {"r = PcGetKeys(k, 10, 5)", std::string(3000, '7'), 10, std::string(10, '7'),
       std::string(2990, '7')},
      {"r = PcGetKeys(k, 5000, 5)", std::string(2000, '7') + "#8", 2001, std::string(2000, '7'),
       "8"},
  };
  for (const PcCase& c : cases) {
    SCOPED_TRACE(c.lines + " cell " + c.cell.substr(0, 20));
    call_.keyTime = 0;
    frame::SetLineKeys(2, c.cell);
    auto s = Run(c.lines);
    EXPECT_EQ(s->Int("r"), c.result);
    EXPECT_EQ(s->Text("k"), c.stored);
    EXPECT_EQ(frame::GetLineKeys(2), c.left);
  }
}

TEST_F(PcGetKeysTest, TimeOutsCountFromTheStartAndTheLastNewKey) {
  // What a run sleeps besides the statement's own polls.
  frame::SetLineKeys(2, "");
  uint64_t before = clock_.SleptMillis();
  Run("r = PcGetKeys(k, 0, 2)");
  const uint64_t overhead = clock_.SleptMillis() - before;

  before = clock_.SleptMillis();
  auto s = Run("r = PcGetKeys(k, 10, 2)");
  EXPECT_EQ(s->Int("r"), kKeysTimeout);
  const uint64_t waited = clock_.SleptMillis() - before - overhead;
  EXPECT_GT(waited, 2000u);
  EXPECT_LE(waited, 2000u + kPcKeysPollMs);
}

TEST(PcGetKeysFromAnotherLine, PcSetKeysFeedsTheWaitingLine) {
  RegisterCallStatements();
  RegisterKeyStatements();
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  frame::TagMonitor monitor(4);
  KeyModes modes;
  modes.modes[3] = 2;  // line 3 shows its keys as '*'
  monitor.SetLineInfoSource(&modes);
  frame::SetProcessMonitor(&monitor);
  {
    TagVtCall waiting, feeding;
    waiting.lineNo = 2;
    feeding.lineNo = 1;
    ScriptOnLine reader("k = \"\"\nn = PcGetKeys(k, 10, 5)\nreturn(n)\n", waiting, "reader.vts");
    ASSERT_TRUE(reader.compiled()) << reader.Errors();
    reader.Start();
    ScriptOnLine writer("PcSetKeys(2, \"123#45\")\nPcSetKeys(3, 12345)\nreturn(0)\n", feeding,
                        "writer.vts");
    ASSERT_TRUE(writer.compiled()) << writer.Errors();
    EXPECT_EQ(writer.RunHere(), 0);
    EXPECT_EQ(reader.Wait(5000), 4);
    EXPECT_EQ(reader.Text("k"), "123");
    EXPECT_EQ(frame::GetLineKeys(2), "45");
    // Keys shown masked are read as what the cell holds.
    EXPECT_EQ(frame::GetLineKeys(3), "*****");
    TagVtCall third;
    third.lineNo = 3;
    ScriptOnLine masked("k = \"\"\nn = PcGetKeys(k, 3, 5)\nreturn(n)\n", third, "masked.vts");
    ASSERT_TRUE(masked.compiled()) << masked.Errors();
    EXPECT_EQ(masked.RunHere(), 3);
    EXPECT_EQ(masked.Text("k"), "...");
  }
  frame::SetProcessMonitor(nullptr);
  monitor.SetLineInfoSource(nullptr);
}

// --- a script on an E1 line of the simulated board -----------------------------

TEST(KeyStatementsOnE1Line, FailedInputPlaysTheTimeoutVoiceAndHangsUp) {
  TupLine line;
  RegisterCallStatements();
  RegisterKeyStatements();
  line.call().lineNo = 3;
  const std::string voice(1600, '\x55');
  testing_support::WriteFile(line.File("timeout.wav"), voice);
  constexpr int32_t kGetKeysStatement = 3;
  ScriptOnLine s(
      "keys = \"\"\n"
      "WaitRing(1)\n"
      "SetKeyTime(1)\n"
      "n = GetKeys(keys, 4, 3)\n"
      "return(n)\n",
      line.call());
  ASSERT_TRUE(s.compiled()) << s.Errors();
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  s.Start();
  ASSERT_TRUE(line.far().Wait("ANSWER", "E3", 3000).has_value());
  ASSERT_EQ(line.far().CaptureStart("E3", "heard.raw"), "OK");
  ASSERT_TRUE(s.WaitForStatement(kGetKeysStatement, 3000));
  ASSERT_EQ(line.far().Keys("E3", "7", 20), "OK");
  EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 5000)), std::to_string(kReleaseAnswered));
  EXPECT_EQ(s.Wait(5000), -1);
  EXPECT_EQ(s.Text("keys"), "7");
  line.far().CaptureStop("E3");
  const std::string heard = testing_support::ReadFile(line.File("heard.raw")).value_or("");
  EXPECT_NE(heard.find(std::string(400, '\x55')), std::string::npos) << heard.size();
}

}  // namespace
}  // namespace telephony
