// Script timers and the print output: real scripts compiled from files and
// run by the run loop on a fake clock. "Sleep(" is a test statement here:
// Sleep(ms) moves the fake clock on by ms (a statement that blocks that
// long), Sleep(-1) asks its own main script to quit (the run then ends
// after the statement, as there is no handler).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/print_output.h"
#include "engine/script_cache.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "engine/timers.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int kRowSleep = 148;

platform::FakeClock* test_clock = nullptr;

class TestSleep : public TagOper {
 public:
  TestSleep(TagTelBasic* script, TagVar* ms) : script_(script), ms_(ms) {}
  int32_t Execute() override {
    const int32_t ms = ms_->GetInt();
    if (ms < 0) {
      script_->MainScript()->SetQuit(1);
    } else {
      test_clock->Advance(static_cast<uint32_t>(ms));
    }
    return 0;
  }

 private:
  TagTelBasic* script_;
  TagVar* ms_;
};

TagOper* BuildTestSleep(const StatementBuild& build, std::string*) {
  return new TestSleep(build.script, build.args.at(0));
}

class TimersPrintTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    static const bool registered = [] {
      RegisterTimerAndPrintStatements();
      return Statements().RegisterRow(kRowSleep, &BuildTestSleep);
    }();
    ASSERT_TRUE(registered);
    RegisterStatementCompiler();
    ScriptCache().Clear();
    test_clock = &clock_;
    call_.lineNo = 4;
  }
  void TearDown() override {
    test_clock = nullptr;
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    ScriptCache().Clear();
    MapCheckTest::TearDown();
  }

  // Compiles text as the file name (run mode 1), as a child of parent when
  // one is given.
  std::unique_ptr<TagTelBasic> Compile(const std::string& name, const std::string& text,
                                       TagTelBasic* parent = nullptr) {
    ScriptCache().Clear();
    WriteFile(name, text);
    auto script = std::make_unique<TagTelBasic>(name, call_.lineNo, &call_, 1, parent);
    EXPECT_EQ(script->initResult, 0) << ReadFile(ErrorFileName(call_.lineNo)).value_or("");
    return script;
  }
  static int32_t IntOf(TagTelBasic& script, const char* name) {
    TagVar* v = nullptr;
    script.FindVariable(name, &v);
    return v != nullptr ? v->GetInt() : -999;
  }
  static TagTelBasic* FunctionNamed(TagTelBasic& script, const char* name) {
    TagTelBasic* f = nullptr;
    script.FindFunction(name, &f);
    return f;
  }
  std::string PrintFile() const {
    return ReadFile(DefaultPrintFile(call_.lineNo)).value_or("<none>");
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  LineCallBase call_;
};

// --- timers -------------------------------------------------------------------

constexpr char kTickFunction[] = "n = 0\nk = 0\nfunction tick()\n{\nn = n + 1\n}\n";

struct FiringCase {
  const char* label;
  const char* body;  // after kTickFunction
  int32_t firings;
};

TEST_F(TimersPrintTest, TimersFireByTheClockBetweenStatements) {
  const FiringCase cases[] = {
      // 50 statements of 100 ms: every 500 ms, 10 times.
      {"half a second",
       "StartTimer(tick, 0.5)\nwhile(k < 50)\n{\nSleep(100)\nk = k + 1\n}\nSleep(-1)\n", 10},
      // 0.0005 s is 0 ms: after every statement, the StartTimer( one too.
      {"zero interval", "StartTimer(tick, 0.0005)\nSleep(1)\nSleep(1)\nStopTimer(0)\nSleep(-1)\n",
       3},
      // One statement blocking 10 s: a 1 s timer fires once, not ten times.
      {"blocked ten seconds", "StartTimer(tick, 1)\nSleep(10000)\nSleep(-1)\n", 1},
      // The interval is counted from the start: not yet due after 999 ms.
      {"not yet due", "StartTimer(tick, 1)\nSleep(999)\nSleep(-1)\n", 0},
      // Disarmed: a timer that was never started does not fire.
      {"never started", "Sleep(-1)\nStartTimer(tick, 0)\n", 0},
  };
  for (const FiringCase& c : cases) {
    SCOPED_TRACE(c.label);
    auto script = Compile("t.vts", std::string(kTickFunction) + c.body);
    script->Run();
    EXPECT_EQ(IntOf(*script, "n"), c.firings);
  }
}

TEST_F(TimersPrintTest, StopTimerAndResultsOfBothStatements) {
  auto script = Compile("t.vts",
                        "n = 0\nm = 0\nx = 0\n"
                        "function a()\n{\nn = n + 1\n}\n"
                        "function b()\n{\nm = m + 1\n}\n"
                        "function g()\n{\nn = 100\n}\n"
                        "s1 = StartTimer(a, 0)\n"   // a: 1
                        "s2 = StartTimer(b, 0)\n"   // a: 2, b: 1
                        "s3 = StartTimer(x, 0)\n"   // not a function; a: 3, b: 2
                        "r1 = StopTimer(g)\n"       // g has no timer; a: 4, b: 3
                        "r2 = StopTimer(b)\n"       // a: 5
                        "r3 = StopTimer(0)\n"       // every timer stops
                        "Sleep(1)\nSleep(-1)\n");
  script->Run();
  EXPECT_EQ(IntOf(*script, "n"), 5);
  EXPECT_EQ(IntOf(*script, "m"), 3);
  EXPECT_EQ(IntOf(*script, "s1"), 0);
  EXPECT_EQ(IntOf(*script, "s2"), 0);
  EXPECT_EQ(IntOf(*script, "s3"), -1);
  EXPECT_EQ(IntOf(*script, "r1"), -1);
  EXPECT_EQ(IntOf(*script, "r2"), 0);
  EXPECT_EQ(IntOf(*script, "r3"), 0);
}

// Timers run in the order of their functions' names, and while one timer's
// function runs no timer fires, even one that is due (b is always due).
TEST_F(TimersPrintTest, NoTimerFiresInsideATimerFunction) {
  auto script = Compile("t.vts",
                        "t = \"\"\n"
                        "function b()\n{\nt = t + \"b\"\n}\n"
                        "function a()\n{\nt = t + \"[\"\nSleep(1)\nt = t + \"]\"\n}\n"
                        "StartTimer(b, 0)\n"   // b
                        "StartTimer(a, 0)\n"   // [] b
                        "StopTimer(0)\n"
                        "Sleep(-1)\n");
  script->Run();
  TagVar* t = nullptr;
  script->FindVariable("t", &t);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->ToText(), "b[]b");
}

// Timers stay armed when the script restarts at its end and when a run ends.
TEST_F(TimersPrintTest, TimersStayArmedAcrossRestartsAndRuns) {
  // n and k are made by the compiler and not set again at the restarts.
  auto script = Compile("t.vts",
                        "if(0)\n{\nn = 0\nk = 0\n}\nfunction tick()\n{\nn = n + 1\n}\n"
                        "if(k == 0)\n{\nStartTimer(tick, 1)\n}\nk = k + 1\n"
                        "Sleep(600)\nif(k == 4)\n{\nSleep(-1)\n}\n");
  script->Run();  // 4 rounds of 600 ms: 1200, 2400 fire
  EXPECT_EQ(IntOf(*script, "n"), 2);
  EXPECT_TRUE(ActingTimers(*script)->Find(FunctionNamed(*script, "tick"))->enabled);
}

// A child script of the line ("RunVts(") has functions of its own, possibly
// of the same names as its parent's. Its "StartTimer(" arms a timer of its
// own function in the parent's table, not the parent's function of that
// name; the parent's loop is the one that ticks it, so nothing fires while
// the child runs; deleting the child takes its timers out of the table.
TEST_F(TimersPrintTest, ChildTimersAreKeyedByFunctionAndLeaveWithTheChild) {
  auto parent = Compile("p.vts", std::string(kTickFunction) +
                                     "StartTimer(tick, 100)\nSleep(1000)\nSleep(-1)\n");
  TagSysTimers* table = ActingTimers(*parent);
  ASSERT_NE(table, nullptr);
  TagTelBasic* parent_tick = FunctionNamed(*parent, "tick");
  ASSERT_EQ(table->size(), 1u);

  auto child = Compile("c.vts",
                       "m = 0\nfunction tick()\n{\nm = m + 1\n}\n"
                       "StartTimer(tick, 0)\nSleep(5000)\nSleep(-1)\n",
                       parent.get());
  TagTelBasic* child_tick = FunctionNamed(*child, "tick");
  ASSERT_NE(child_tick, parent_tick);
  EXPECT_EQ(ActingTimers(*child), table);
  EXPECT_EQ(table->size(), 2u);

  child->Run();
  EXPECT_EQ(IntOf(*child, "m"), 0);  // the child's loop ticks no table of the parent
  ASSERT_NE(table->Find(child_tick), nullptr);
  EXPECT_TRUE(table->Find(child_tick)->enabled);
  EXPECT_FALSE(table->Find(parent_tick)->enabled);

  child.reset();
  EXPECT_EQ(table->size(), 1u);
  parent->Run();  // an armed timer of the deleted child would call freed code
  EXPECT_EQ(IntOf(*parent, "n"), 0);
}

// A function that nothing calls is removed by the compiler; the timers its
// "StartTimer(" statements created go with it.
TEST_F(TimersPrintTest, TimersOfRemovedFunctionsLeaveTheTable) {
  auto script = Compile("t.vts",
                        "function h()\n{\nn = 1\n}\n"
                        "function unused()\n{\nStartTimer(h, 0)\n}\nSleep(-1)\n");
  EXPECT_EQ(ActingTimers(*script)->size(), 0u);
  script->Run();
}

// --- print output -------------------------------------------------------------

TEST_F(TimersPrintTest, PrintWritesTheDefaultFileAndTruncatesItEveryRun) {
  auto script = Compile("p.vts",
                        "x = 5\ny = 3.0\nPrint(\"a\")\nPrint(\"b\")\nPrint(x)\nPrint(y)\n"
                        "Sleep(-1)\n");
  script->Run();
  EXPECT_EQ(PrintFile(), "ab53.");
  EXPECT_FALSE(ActingPrintOutput(*script)->IsOpen());  // closed at the end of the run
  script->Run();
  EXPECT_EQ(PrintFile(), "ab53.");  // truncated by the first "Print(" of the run
}

TEST_F(TimersPrintTest, ConsoleModeWritesLineNumberAndText) {
  call_.lineNo = 5;
  auto script = Compile("p.vts", "SetPrintTo(\"\")\nPrint(\"hello\")\nm[1] = \"x\"\nPrint(m)\n"
                                 "Sleep(-1)\n");
  testing::internal::CaptureStdout();
  script->Run();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 14), "5 : hello\n5 : ");
  EXPECT_NE(out.find("\"x\""), std::string::npos) << out;  // strings in a map are quoted
  EXPECT_FALSE(testing_support::FileExists(DefaultPrintFile(5)));
}

TEST_F(TimersPrintTest, SetPrintToNamesTheFile) {
  auto script = Compile("p.vts", "SetPrintTo(\"out.txt\")\nPrint(\"k\")\nSleep(-1)\n");
  script->Run();
  EXPECT_EQ(ReadFile(dir_.File("out.txt")).value_or(""), "k");
  EXPECT_FALSE(testing_support::FileExists(DefaultPrintFile(call_.lineNo)));
}

// A child prints into its parent's output, and the end of the child's run
// must not close it: the parent's next print lands behind the child's.
TEST_F(TimersPrintTest, ChildRunDoesNotCloseTheParentsOutput) {
  auto parent = Compile("p.vts", "Sleep(-1)\n");
  TStdOut* out = ActingPrintOutput(*parent);
  ASSERT_EQ(out->SetPrintTo(DefaultPrintFile(call_.lineNo)), 0);
  out->Print(call_.lineNo, "a");
  auto child = Compile("c.vts", "Print(\"b\")\nSleep(-1)\n", parent.get());
  EXPECT_EQ(ActingPrintOutput(*child), out);
  child->Run();
  child.reset();
  ASSERT_TRUE(out->IsOpen());
  EXPECT_EQ(out->Print(call_.lineNo, "c"), 0);
  out->Close();
  EXPECT_EQ(PrintFile(), "abc");
}

TEST_F(TimersPrintTest, FileModeWritesCrLfAndFailuresLeaveItClosed) {
  TStdOut out;
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(out.Print(1, "x"), -1);  // nothing open
  ASSERT_EQ(out.SetPrintTo("o.txt"), 0);
  out.Print(1, "x\ny\n");
  out.Print(1, "z");
  EXPECT_EQ(out.SetPrintTo("no_such_dir\\o.txt"), -1);  // closes o.txt first
  EXPECT_EQ(out.mode(), TStdOut::kFile);
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(out.Print(1, "lost"), -1);
  EXPECT_EQ(ReadFile(dir_.File("o.txt")).value_or(""), "x\r\ny\r\nz");
  EXPECT_EQ(out.SetPrintTo(""), 2);
  EXPECT_TRUE(out.IsOpen());
}

}  // namespace
}  // namespace engine
