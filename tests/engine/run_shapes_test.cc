// The shapes of a running script that every form of the run loop must keep:
// whole scripts run by the real vtsrun with the output they give
// (jumps out of nested loops, "break" and "continue" in a "switch(",
// functions returning from inside loops, "_retVal" across braces and where
// braces end a function or a block, one call statement calling whichever
// function its variable names, for-in, a timer firing inside a tight loop),
// and, in process, what the monitor and the debugger see: the statements a
// loop steps through, a breakpoint on a "}" (set before the run or while
// the braces are passed over as jumps), a breakpoint inside a function and
// a stop request ending a tight loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace engine {
namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

struct ShapeCase {
  const char* label;
  const char* script;
  const char* out;  // the whole of stdout
};

TEST(RunShapesTest, ScriptsGiveTheirRecordedOutput) {
  const ShapeCase cases[] = {
      {"jumps out of nested loops",
       "SetPrintTo(\"\")\n"
       "i = 0\n"
       "t = 0\n"
       "while(i < 4)\n"
       "{\n"
       "  j = 0\n"
       "  while(1)\n"
       "  {\n"
       "    j = j + 1\n"
       "    if(j > i)\n"
       "    {\n"
       "      break;\n"
       "    }\n"
       "    if(j == 2)\n"
       "      continue;\n"
       "    t = t * 10 + j;\n"
       "  }\n"
       "  for(k = 0; k < 5; k++)\n"
       "  {\n"
       "    if(k == 3)\n"
       "      break;\n"
       "    t = t + k;\n"
       "  }\n"
       "  i = i + 1;\n"
       "}\n"
       "Print(t)\n"
       "Print(_retVal)\n"
       "return(0)\n",
       "0 : 34416\n"
       "0 : 0\n"},
      {"break and continue in a switch",
       "SetPrintTo(\"\")\n"
       "i = 0\n"
       "out = \"\"\n"
       "while(i < 6)\n"
       "{\n"
       "  i = i + 1;\n"
       "  s = i % 3\n"
       "  switch(s)\n"
       "  {\n"
       "    case(0)\n"
       "    {\n"
       "      out = out + \"z\";\n"
       "      continue;\n"
       "    }\n"
       "    case(1)\n"
       "    {\n"
       "      out = out + \"o\";\n"
       "      if(i > 3)\n"
       "        break;\n"
       "    }\n"
       "    default()\n"
       "    {\n"
       "      out = out + \"d\";\n"
       "    }\n"
       "  }\n"
       "  out = out + \".\";\n"
       "}\n"
       "Print(out)\n"
       "Print(i)\n"
       "return(0)\n",
       "0 : o.d.zo\n"
       "0 : 4\n"},
      {"functions returning from inside loops",
       "SetPrintTo(\"\")\n"
       "depth = 0\n"
       "function find(limit)\n"
       "{\n"
       "  n = 0\n"
       "  while(1)\n"
       "  {\n"
       "    n = n + 1;\n"
       "    for(k = 0; k < 10; k++)\n"
       "    {\n"
       "      if(n * k > limit)\n"
       "      {\n"
       "        return(n * 100 + k)\n"
       "      }\n"
       "    }\n"
       "  }\n"
       "}\n"
       "function down(x)\n"
       "{\n"
       "  depth = depth + 1;\n"
       "  if(x <= 0)\n"
       "  {\n"
       "    return(0)\n"
       "  }\n"
       "  r = down(x - 1)\n"
       "  return(r + 1)\n"
       "}\n"
       "a = find(20)\n"
       "Print(a)\n"
       "b = find(5)\n"
       "Print(b)\n"
       "c = down(30)\n"
       "Print(c)\n"
       "Print(depth)\n"
       "Print(_retVal)\n"
       "return(0)\n",
       "0 : 307\n"
       "0 : 106\n"
       "0 : 30\n"
       "0 : 31\n"
       "0 : 0\n"},
      {"_retVal across braces and calls",
       "SetPrintTo(\"\")\n"
       "function seven()\n"
       "{\n"
       "  return(7)\n"
       "}\n"
       "x = 0\n"
       "i = 0\n"
       "while(i < 3)\n"
       "{\n"
       "  i = i + 1;\n"
       "  seven()\n"
       "}\n"
       "Print(_retVal)\n"
       "seven()\n"
       "if(_retVal == 7)\n"
       "  Print(\"then\");\n"
       "else\n"
       "  Print(\"else\");\n"
       "y = 5\n"
       "while(y > 0)\n"
       "{\n"
       "  y = y - 1;\n"
       "}\n"
       "Print(_retVal)\n"
       "return(0)\n",
       "0 : 0\n"
       "0 : then\n"
       "0 : 0\n"},
      {"_retVal where a function or a block ends on braces",
       "SetPrintTo(\"\")\n"
       "function seven()\n"
       "{\n"
       "  return(7)\n"
       "}\n"
       "function falls(n)\n"
       "{\n"
       "  k = 0\n"
       "  while(k < n)\n"
       "  {\n"
       "    k = k + 1;\n"
       "    seven()\n"
       "  }\n"
       "}\n"
       "function tail(n)\n"
       "{\n"
       "  seven()\n"
       "  if(n > 0)\n"
       "  {\n"
       "    seven()\n"
       "  }\n"
       "}\n"
       "r = falls(3)\n"
       "Print(r)\n"
       "r = tail(1)\n"
       "Print(r)\n"
       "seven()\n"
       "switch(_retVal)\n"
       "{\n"
       "case(7)\n"
       "{\n"
       "  Print(\"seven\");\n"
       "  seven()\n"
       "}\n"
       "default()\n"
       "{\n"
       "  Print(\"other\");\n"
       "}\n"
       "}\n"
       "Print(_retVal)\n"
       "return(0)\n",
       "0 : 0\n"
       "0 : 0\n"
       "0 : seven\n"
       "0 : 0\n"},
      {"one call statement calling the function its variable names now",
       "SetPrintTo(\"\")\n"
       "function add(a, b)\n"
       "{\n"
       "  return(a + b)\n"
       "}\n"
       "function mul(a, b)\n"
       "{\n"
       "  return(a * b)\n"
       "}\n"
       "op = add\n"
       "t = \"\"\n"
       "i = 0\n"
       "while(i < 4)\n"
       "{\n"
       "  r = op(i, 3)\n"
       "  t = t + r + \";\";\n"
       "  if(op == add)\n"
       "  {\n"
       "    op = mul\n"
       "  }\n"
       "  else\n"
       "  {\n"
       "    op = add\n"
       "  }\n"
       "  i = i + 1\n"
       "}\n"
       "Print(t)\n"
       "return(0)\n",
       "0 : 3;3;5;9;\n"},
      {"for-in over a map and a text",
       "SetPrintTo(\"\")\n"
       "m[3] = \"c\"\n"
       "m[1] = \"a\"\n"
       "m[\"k\"] = 2.5\n"
       "m[2] = \"b\"\n"
       "t = \"\"\n"
       "for(key in m)\n"
       "{\n"
       "  if(key == 2)\n"
       "    continue;\n"
       "  v = m[key];\n"
       "  t = t + key + \"=\" + v + \";\";\n"
       "}\n"
       "Print(t)\n"
       "n = 0\n"
       "for(ch in \"abcdef\")\n"
       "{\n"
       "  n = n + 1;\n"
       "  if(ch == \"d\")\n"
       "    break;\n"
       "}\n"
       "Print(n)\n"
       "Print(m)\n"
       "return(0)\n",
       "0 : 1=a;3=c;k=2.5;\n"
       "0 : 4\n"
       "0 : {\r\n1:\"a\",\r\n2:\"b\",\r\n3:\"c\",\r\n\"k\":2.5\r\n}\n"},
      {"a timer firing inside a tight loop",
       "SetPrintTo(\"\")\n"
       "fired = 0\n"
       "x = 0\n"
       "function tick()\n"
       "{\n"
       "  fired = fired + 1;\n"
       "  if(fired == 3)\n"
       "    StopTimer(tick);\n"
       "}\n"
       "StartTimer(tick, 0.02)\n"
       "while(fired < 3)\n"
       "{\n"
       "  x = x + 1;\n"
       "}\n"
       "Print(fired)\n"
       "Print(x > 0)\n"
       "return(0)\n",
       "0 : 3\n"
       "0 : 1\n"},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    WriteFile(dir.File("s.vts"), c.script);
    const testing_support::VtsrunOutcome o =
        testing_support::RunVtsrun(dir.path(), {"--timeout", "10", "s.vts"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, c.out);
  }
}

// Records the statements the run loop shows; with a limit it asks the
// line to quit at the limit-th one.
class StepRecorder : public RunObserver {
 public:
  void SetLineStatus(int32_t, std::string_view) override {}
  void OnStepMain(const TagTelBasic& script, int32_t index, std::string_view, int32_t) override {
    steps.push_back(index);
    if (steps.size() == limit) const_cast<TagTelBasic&>(script).SetQuit(1);
  }
  void OnStepSub(const TagTelBasic&, int32_t index, std::string_view, int32_t, bool,
                 bool) override {
    sub_steps.push_back(index);
  }
  void RefreshDebugVars(const TagTelBasic&) override { ++refreshes; }

  size_t limit = 0;
  std::vector<int32_t> steps, sub_steps;
  std::atomic<int> refreshes{0};
};

// Runs a script on a thread of its own; however a test ends, the line is
// stopped (out of a step wait too) and the run waited for.
class RunningLine {
 public:
  explicit RunningLine(TagTelBasic& script) : script_(script), runner_([&script] { script.Run(); }) {}
  ~RunningLine() {
    script_.SetQuit(1);
    script_.stepMode.store(0);
    runner_.join();
  }

 private:
  TagTelBasic& script_;
  std::thread runner_;
};

class RunShapesLineTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    RegisterStatementCompiler();
    RegisterScriptControlStatements();  // calls and "return(" (another test may swap them)
    ScriptCache().Clear();
    call_.lineNo = 0;
    call_.lineKind = kLineE1;
  }
  void TearDown() override {
    SetRunObserver(nullptr);
    script_.reset();
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    ScriptCache().Clear();
    MapCheckTest::TearDown();
  }

  void Compile(const std::string& text) {
    WriteFile("s.vts", text);
    script_ = std::make_unique<TagTelBasic>("s.vts", call_.lineNo, &call_, 1, nullptr);
    ASSERT_EQ(script_->initResult, 0) << testing_support::ReadFile(ErrorFileName(0)).value_or("");
  }
  TagVar& Variable(const char* name) {
    TagVar* v = nullptr;
    script_->FindVariable(name, &v);
    EXPECT_NE(v, nullptr) << name;
    return v != nullptr ? *v : NullVar();
  }
  int32_t IndexOfKind(char kind, int nth = 0) const {
    for (int32_t i = 0; i < script_->statementCount; ++i) {
      if (script_->statements.at(i)->kindLetter == kind && nth-- == 0) return i;
    }
    return -1;
  }

  // Runs the script, whose loop counts "x" up by calls of f, and expects
  // the breakpoint at statement index of f to hold the first two calls.
  void ExpectEachCallHeldAt(const TagTelBasic& f, int32_t index) {
    TagVar& x = Variable("x");
    RunningLine running(*script_);
    for (int pass = 0; pass < 2; ++pass) {
      SCOPED_TRACE(pass);
      for (int n = 0; n < 300 && (script_->stepMode.load() == 0 || f.currentIndex.load() != index);
           ++n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ASSERT_NE(script_->stepMode.load(), 0);
      EXPECT_EQ(f.currentIndex.load(), index);
      EXPECT_EQ(x.intValue, pass);
      script_->stepMode.store(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  LineCallBase call_;
  std::unique_ptr<TagTelBasic> script_;
};

// The monitor's step hook sees every statement of a loop, braces included,
// in the order they run, and the restart at the end of the list.
TEST_F(RunShapesLineTest, TheStepHookSeesEveryStatementOfALoop) {
  Compile("i = 0\nwhile(i < 2)\n{\ni = i + 1\n}\n");
  StepRecorder recorder;
  recorder.limit = 12;
  SetRunObserver(&recorder);
  script_->Run();
  //  0 i = 0, 1 while(, 2 {, 3 i = i + 1, 4 }
  EXPECT_EQ(recorder.steps, (std::vector<int32_t>{0, 1, 2, 3, 4, 1, 2, 3, 4, 1, 0, 1}));
}

// A breakpoint on a "}" holds the loop before the "}" on every pass, with
// the monitor's current statement on it.
TEST_F(RunShapesLineTest, ABreakpointOnAClosingBraceStopsThereEachPass) {
  Compile("i = 0\nwhile(i < 3)\n{\ni = i + 1\n}\n");
  const int32_t brace = IndexOfKind(kKindBlockEnd);
  ASSERT_GT(brace, 0);
  StepRecorder recorder;
  SetRunObserver(&recorder);
  script_->statements.at(brace)->SetBreakpoint(1);
  TagVar& i = Variable("i");
  RunningLine running(*script_);
  auto held_at = [&](int refreshes) {
    for (int n = 0; n < 300 && recorder.refreshes.load() < refreshes; ++n) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return recorder.refreshes.load() >= refreshes;
  };
  for (int pass = 1; pass <= 2; ++pass) {
    SCOPED_TRACE(pass);
    ASSERT_TRUE(held_at(pass));
    EXPECT_EQ(script_->currentIndex.load(), brace);
    EXPECT_EQ(i.intValue, pass);
    script_->stepMode.store(0);  // "Run": on to the breakpoint's next pass
  }
  ASSERT_TRUE(held_at(3));
  EXPECT_EQ(i.intValue, 3);
}

// A breakpoint set on a "}" while a loop runs with no observer (its braces
// passed over as jumps) holds the loop on that "}" from the next pass on.
TEST_F(RunShapesLineTest, ABreakpointSetWhileALoopRunsHoldsItOnTheClosingBrace) {
  Compile("x = 0\nwhile(1)\n{\nx = x + 1\n}\n");
  const int32_t brace = IndexOfKind(kKindBlockEnd);
  ASSERT_GT(brace, 0);
  TagVar& x = Variable("x");
  RunningLine running(*script_);
  while (script_->currentIndex.load() < 3) std::this_thread::yield();
  script_->statements.at(brace)->SetBreakpoint(1);
  for (int n = 0; n < 300 && script_->stepMode.load() == 0; ++n) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(script_->stepMode.load(), 0);
  EXPECT_EQ(script_->currentIndex.load(), brace);
  const int32_t held = x.intValue;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(x.intValue, held);
}

// A breakpoint inside a function holds each call there, with no observer
// (calls run their statements on the fast path between breakpoints).
TEST_F(RunShapesLineTest, ABreakpointInAFunctionHoldsEachCall) {
  Compile("function bump(v)\n{\nv = v + 1\nreturn(v)\n}\nx = 0\nwhile(1)\n{\nx = bump(x)\n}\n");
  TagTelBasic* bump = script_->functions.at(0);
  ASSERT_NE(bump, nullptr);
  bump->statements.at(1)->SetBreakpoint(1);  // v = v + 1
  ExpectEachCallHeldAt(*bump, 1);
}

// A function's calls start past its opening "{" only while nothing
// attends or observes: the step hook sees the "{" of every call, and a
// breakpoint on it holds each call there with no observer.
TEST_F(RunShapesLineTest, TheStepHookSeesAFunctionsOpeningBrace) {
  Compile("function f(v)\n{\nreturn(v)\n}\nx = f(1)\nx = f(2)\nreturn(0)\n");
  StepRecorder recorder;
  SetRunObserver(&recorder);
  script_->Run();
  //  0 {, 1 return(v), twice
  EXPECT_EQ(recorder.sub_steps, (std::vector<int32_t>{0, 1, 0, 1}));
}

TEST_F(RunShapesLineTest, ABreakpointOnAFunctionsOpeningBraceHoldsEachCall) {
  Compile("function bump(v)\n{\nreturn(v + 1)\n}\nx = 0\nwhile(1)\n{\nx = bump(x)\n}\n");
  TagTelBasic* bump = script_->functions.at(0);
  ASSERT_NE(bump, nullptr);
  ASSERT_EQ(bump->statements.at(0)->kindLetter, kKindBlockStart);
  bump->statements.at(0)->SetBreakpoint(1);
  ExpectEachCallHeldAt(*bump, 0);
}

// A stop request ends a tight loop within the statement in progress: the
// run ends (no quit handler) long before the loop could.
TEST_F(RunShapesLineTest, AStopRequestEndsATightLoopAtOnce) {
  Compile("x = 0\nwhile(1)\n{\nx = x + 1\n}\n");
  std::atomic<bool> done{false};
  std::thread runner([&] {
    script_->Run();
    done.store(true);
  });
  while (script_->currentIndex.load() < 3) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto asked = std::chrono::steady_clock::now();
  script_->SetQuit(1);
  while (!done.load()) std::this_thread::yield();
  const auto took = std::chrono::steady_clock::now() - asked;
  runner.join();
  // A millisecond on a quiet machine; the bound leaves room for a loaded one.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 100);
}

}  // namespace
}  // namespace engine
