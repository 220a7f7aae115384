// The call-control statements: what each passes to the call object and
// what it does with the result, on a recording call object; then a script
// on an E1 line of the simulated board answering a call from the test.
#include "telephony/statements/call_statements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "platform/clock.h"
#include "telephony/statements/key_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

// Two out-variables every script starts with.
constexpr char kPrelude[] = "a = \"old\"\nb = \"old\"\n";

class CallStatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterCallStatements();
    call_.lineNo = 2;
    call_.lineKind = engine::kLineE1;
  }
  // Runs the prelude, then the line with its result into r, on the call.
  std::unique_ptr<ScriptOnLine> Run(const std::string& line) {
    auto s = std::make_unique<ScriptOnLine>(kPrelude + line + "\nreturn(r)\n", call_);
    EXPECT_TRUE(s->compiled()) << line << ": " << s->Errors();
    if (s->compiled()) s->RunHere();
    return s;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  RecordingCall call_;
};

TEST(CallStatementsRegistration, EveryCallControlKeywordHasItsStatement) {
  RegisterCallStatements();
  RegisterCallStatements();  // a second call changes nothing
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kCallControl),
            std::vector<int>{});
}

struct PassCase {
  std::string line;     // the statement, its result assigned to r
  int32_t callResult;   // what the call object's operations give
  std::string ops;      // the operations called, with their arguments
  int32_t result;       // r
  std::string a, b;     // the out-variables afterwards
};

TEST_F(CallStatementsTest, EachStatementPassesItsArgumentsAndHandsBackItsResult) {
  const std::string n99(99, '5'), n100(100, '5');
  const std::vector<PassCase> cases = {
      // Counts are stored integers: a string gives its length + 1.
      {"r = WaitRing(3)", 0, "WaitRing(3)", 0, "old", "old"},
      {"r = WaitRing(\"ab\")", 1, "WaitRing(3)", 1, "old", "old"},
      {"r = IsRings(2)", -1, "IsRings(2)", -1, "old", "old"},
      // Both numbers only for an offered call.
      {"r = IsRinging(a, b)", 1, "IsRinging()", 1, "139", "800"},
      {"r = IsRinging(a, b)", 0, "IsRinging()", 0, "old", "old"},
      // Flags are integers passed as 0 or 1.
      {"r = Answer(5)", 4, "Answer(1)", 4, "old", "old"},
      {"r = Answer(\"7\")", 0, "Answer(1)", 0, "old", "old"},
      {"r = Answer(\"x\")", 0, "Answer(0)", 0, "old", "old"},
      {"r = SetCharge(0)", 2, "SetCharge(0)", 2, "old", "old"},
      {"r = OutCall(\"800\")", 1, "OutCall(800)", 1, "old", "old"},
      {"r = Dial(\"12345\")", 0, "Dial(12345)", 0, "old", "old"},
      {"r = Dial(\"" + n99 + "\")", 0, "Dial(" + n99 + ")", 0, "old", "old"},
      {"r = Dial(\"" + n100 + "\")", 0, "", kDialRefused, "old", "old"},
      // An integer passes its (empty) text; above 100 it is refused.
      {"r = Dial(100)", 0, "Dial()", 0, "old", "old"},
      {"r = Dial(101)", 0, "", kDialRefused, "old", "old"},
      {"r = CheckDial()", 1, "CheckDial()", 1, "old", "old"},
      {"r = SetDialFailedTo(2)", 9, "", 2, "old", "old"},
      {"r = Hangup()", 9, "Hangup()", 0, "old", "old"},
      // No line kind transfers: the base result, whatever else is set up.
      {"r = TransferTo(\"123\")", 9, "TransferTo(123)", 0, "old", "old"},
      {"r = MakeRing(\"8001\")", 3, "MakeRing(8001)", 3, "old", "old"},
      {"r = GetHookState()", 1, "GetHookState()", 1, "old", "old"},
      {"r = SetCallerId(\"8001\")", 9, "SetCallerId(8001)", 0, "old", "old"},
      {"r = SetFirstCalleeId(\"8002\", \"3\")", 9, "SetFirstCalleeId(8002,3)", 0, "old", "old"},
      {"r = SetSubAddr(\"x\", \"y\")", 9, "SetSubAddr(x,y)", 0, "old", "old"},
      {"r = GetCallerId(a)", 11, "GetCallerId()", 11, "139", "old"},
      {"r = GetCalleeId(b)", 3, "GetCalleeId()", 3, "old", "139"},
      {"r = GetFirstCalleeId(a)", 3, "GetFirstCalleeId()", 3, "139", "old"},
      {"r = SetNobkringAns(\"ab\")", 9, "SetNobkringAns(1)", 0, "old", "old"},
      {"r = SetNobkringAns(0)", 9, "SetNobkringAns(0)", 0, "old", "old"},
      {"r = OpenLine()", 9, "OpenLine()", 0, "old", "old"},
      {"r = CloseLine()", 9, "CloseLine()", 0, "old", "old"},
      {"r = SetDialOn(3, 4)", 9, "", 3, "old", "old"},
      {"r = SetHangupCause(16)", 9, "", 16, "old", "old"},
      {"r = SetCallType(2)", 9, "", 2, "old", "old"},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.line);
    call_.ops.clear();
    call_.result = c.callResult;
    call_.number = "139";
    call_.called = "800";
    auto s = Run(c.line);
    EXPECT_EQ(call_.Ops(), c.ops);
    EXPECT_EQ(s->Int("r"), c.result);
    EXPECT_EQ(s->Text("a"), c.a);
    EXPECT_EQ(s->Text("b"), c.b);
  }
}

TEST_F(CallStatementsTest, SettersStoreTheirFields) {
  Run("r = SetDialOn(3, 4)\nSetHangupCause(16)\nSetCallType(\"2\")\nSetDialFailedTo(1)");
  EXPECT_EQ(call_.dialOnMode, 3);
  EXPECT_EQ(call_.dialOnValue, 4);
  EXPECT_EQ(call_.hangupCause, 16);
  EXPECT_EQ(call_.callType, 2);
  EXPECT_EQ(call_.dialFailedTo, 1);
}

struct DialFailureCase {
  const char* line;
  int32_t dialFailedTo;
  int32_t callResult;
  int32_t callState;       // after the statement
  int32_t lastCallResult;  // it starts at 77
};

TEST_F(CallStatementsTest, DialFailureRuleMarksTheCallOrKeepsTheCode) {
  const DialFailureCase cases[] = {
      // OutCall always overwrites the last call result.
      {"r = OutCall(\"800\")", 0, 1, engine::kCallNone, 1},
      {"r = OutCall(\"800\")", 0, -3, engine::kCallNone, -3},
      {"r = OutCall(\"800\")", 1, -3, engine::kCallDialFailedHandled, -3},
      // Dial and CheckDial: success changes nothing; a failure marks the
      // call when dialFailedTo is 1, else it is the last call result.
      {"r = Dial(\"800\")", 1, 0, engine::kCallNone, 77},
      {"r = Dial(\"800\")", 1, -2, engine::kCallDialFailedHandled, 77},
      {"r = Dial(\"800\")", 2, -2, engine::kCallNone, -2},
      {"r = CheckDial()", 1, -4, engine::kCallDialFailedHandled, 77},
      {"r = CheckDial()", 2, -4, engine::kCallNone, -4},
      {"r = CheckDial()", 0, 1, engine::kCallNone, 77},
  };
  for (const DialFailureCase& c : cases) {
    SCOPED_TRACE(std::string(c.line) + " dialFailedTo=" + std::to_string(c.dialFailedTo));
    call_.result = c.callResult;
    ScriptOnLine s(std::string("SetDialFailedTo(") + std::to_string(c.dialFailedTo) + ")\n" +
                       c.line + "\nreturn(r)\n",
                   call_);
    ASSERT_TRUE(s.compiled()) << s.Errors();
    s.script().lastCallResult = 77;
    EXPECT_EQ(s.RunHere(), c.callResult);
    EXPECT_EQ(call_.callState.load(), c.callState);
    EXPECT_EQ(s.script().lastCallResult, c.lastCallResult);
  }
}

TEST_F(CallStatementsTest, MaxTalkTimeIsAtLeastAMinuteAndRestartsTheCount) {
  struct Case {
    int32_t seconds, limit;
    bool restarts;
  } const cases[] = {{30, 60, false}, {59, 60, false}, {0, 0, false},
                     {-5, 0, false},  {60, 60, true},  {90, 90, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    call_.connectTime = 5;
    auto s = Run("r = SetMaxTalkTime(" + std::to_string(c.seconds) + ")");
    EXPECT_EQ(s->Int("r"), c.limit);
    EXPECT_EQ(call_.maxTalkTime, c.limit);
    EXPECT_EQ(call_.connectTime.load(), c.restarts ? CalendarSeconds() : 5);
  }
  // The call object hangs up once the limit has passed from that moment.
  call_.ops.clear();
  call_.callState = engine::kCallConnected;
  call_.prevState = engine::kCallConnected;
  clock_.Advance(90 * 1000);
  EXPECT_TRUE(call_.IsOnline());
  clock_.Advance(1001);
  EXPECT_FALSE(call_.IsOnline());
  EXPECT_EQ(call_.Ops(), "Hangup()");
  EXPECT_EQ(call_.traces.back(), "Hangup On MaxTalkTime(90).");
}

TEST_F(CallStatementsTest, NumbersReadAreTracedAndCutToTheirBuffer) {
  call_.number = "13900000000";
  auto s = Run("r = GetCallerId(a)");
  EXPECT_EQ(call_.traces, std::vector<std::string>{"13900000000"});

  call_.traces.clear();
  call_.number = "";
  s = Run("r = GetCalleeId(a)");
  EXPECT_EQ(s->Text("a"), "");
  EXPECT_EQ(call_.traces, std::vector<std::string>{});

  call_.number = std::string(600, '8');
  call_.called = std::string(700, '9');
  call_.result = 1;
  s = Run("r = GetFirstCalleeId(a)\nIsRinging(a, b)");
  EXPECT_EQ(s->Text("a"), std::string(kNumberBufferBytes - 1, '8'));
  EXPECT_EQ(s->Text("b"), std::string(kNumberBufferBytes - 1, '9'));
}

TEST_F(CallStatementsTest, TransferDoesNothingAndGivesZero) {
  call_.result = 9;
  auto s = Run("r = TransferTo(\"8001\")");
  EXPECT_EQ(s->Int("r"), 0);
  EXPECT_EQ(call_.Ops(), "TransferTo(8001)");
  // Nothing is logged or traced: no line kind transfers, and none says so.
  EXPECT_EQ(call_.errors, std::vector<std::string>{});
  EXPECT_EQ(call_.traces, std::vector<std::string>{});
}

TEST_F(CallStatementsTest, StatementsInAFunctionActOnTheMainScriptsLine) {
  call_.result = -6;
  ScriptOnLine s(
      "function f(x)\n{\nDial(x)\n}\nf(\"800\")\nreturn(0)\n", call_);
  ASSERT_TRUE(s.compiled()) << s.Errors();
  s.RunHere();
  EXPECT_EQ(call_.Ops(), "Dial(800)");
  EXPECT_EQ(s.script().lastCallResult, -6);
}

// --- a script on an E1 line of the simulated board -----------------------------

TEST(CallStatementsOnE1Line, ScriptAnswersReadsTheCallerAndHangsUp) {
  TupLine line;
  RegisterCallStatements();
  RegisterKeyStatements();
  line.call().lineNo = 3;
  constexpr int32_t kGetKeysStatement = 6;
  ScriptOnLine s(
      "cid = \"\"\ncalled = \"\"\nkeys = \"\"\n"
      "r = WaitRing(1)\n"
      "GetCallerId(cid)\n"
      "GetCalleeId(called)\n"
      "n = GetKeys(keys, 4, 10)\n"
      "Hangup()\n"
      "return(n)\n",
      line.call());
  ASSERT_TRUE(s.compiled()) << s.Errors();
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  s.Start();
  ASSERT_TRUE(line.far().Wait("ANSWER", "E3", 3000).has_value());
  ASSERT_TRUE(s.WaitForStatement(kGetKeysStatement, 3000));
  ASSERT_EQ(line.far().Keys("E3", "12*#9", 20), "OK");
  EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 5000)), std::to_string(kReleaseAnswered));
  EXPECT_EQ(s.Wait(5000), 3);
  EXPECT_EQ(s.Int("r"), 0);
  EXPECT_EQ(s.Text("cid"), "13900000000");
  EXPECT_EQ(s.Text("called"), "8001");
  EXPECT_EQ(s.Text("keys"), "12.");  // '*' comes back as '.' after compilation
  EXPECT_EQ(line.call().callState.load(), engine::kCallReleased);
  EXPECT_EQ(line.folder().board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
