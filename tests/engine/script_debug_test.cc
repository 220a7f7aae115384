// What the debugger shows of compiled scripts: the tree texts, the
// variable rows and look-ups, the breakpoints, the call stack and the
// step wait, on scripts compiled from files and run on a thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/arguments.h"
#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/debug_observer.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/script_debug.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/message_service.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;
using Names = std::vector<std::string>;

// "DispInfo(" keeps the call stack and the running function of the line's
// script as the window would see them; "Play(" is a statement that takes
// a file name and does nothing else.
std::vector<std::string> probe_stack;
int probe_stack_result = 0;
std::string probe_running;

class ProbeStatement : public TagOper {
 public:
  explicit ProbeStatement(TagTelBasic* script) : script_(script) {}
  int32_t Execute() override {
    std::vector<const TagTelBasic*> frames;
    probe_stack_result = CallStack(*script_, &frames);
    probe_stack.clear();
    for (const TagTelBasic* f : frames) probe_stack.push_back(f->name);
    const TagTelBasic* running = script_->MainScript()->runningFunction.load();
    probe_running = running != nullptr ? running->name : "";
    return 0;
  }

 private:
  TagTelBasic* script_;
};

class PlayStatement : public TagOper {
 public:
  int32_t Execute() override { return 0; }
};

TagOper* BuildProbe(const StatementBuild& b, std::string*) { return new ProbeStatement(b.script); }
TagOper* BuildPlay(const StatementBuild&, std::string*) { return new PlayStatement; }

class RecordingCall : public LineCallBase {
 public:
  void ErrorLog(std::string_view text) override { errors.emplace_back(text); }
  std::vector<std::string> errors;
};

class ScriptDebugTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    static const bool registered =
        Statements().Register("DispInfo(", &BuildProbe) && Statements().Register("Play(", &BuildPlay);
    ASSERT_TRUE(registered) << "a statement of this test has another factory in this program";
    RegisterStatementCompiler();
    RegisterScriptControlStatements();
    call_.lineNo = 2;
  }
  void TearDown() override {
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    MapCheckTest::TearDown();
  }
  std::unique_ptr<TagTelBasic> Compile(const std::string& text) {
    ScriptCache().Clear();
    WriteFile("d.vts", text);
    auto script = std::make_unique<TagTelBasic>("d.vts", call_.lineNo, &call_, 1, nullptr);
    EXPECT_EQ(script->initResult, 0) << ReadFile(ErrorFileName(call_.lineNo)).value_or("");
    return script;
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  RecordingCall call_;
};

constexpr const char* kLoopScript =
    "n = 0\n"
    "while(n < 3)\n"
    "{\n"
    "n = n + 1\n"
    "if(n == 2)\n"
    "{\n"
    "continue;\n"
    "}\n"
    "break;\n"
    "}\n"
    "return(n)\n";

TEST_F(ScriptDebugTest, MainTreeShowsDepthIndexesOpenersAndPartners) {
  auto script = Compile(kLoopScript);
  EXPECT_EQ(MainTreeText(*script),
            "n = 0  [0:1 -1]\n"
            "while(n < 3)  [1:2 -1]\n"
            "\t{  [2:3 1:9]\n"
            "\tn = n + 1  [3:4 1]\n"
            "\tif(n == 2)  [4:5 1]\n"
            "\t\t{  [5:6 4:7]\n"
            "\t\tcontinue;  [6:7 4:1]\n"
            "\t\t}  [7:8 4:5]\n"
            "\tbreak;  [8:9 1:1]\n"
            "\t}  [9:10 1:2]\n"
            "return(n)  [10:11 -1]\n");
}

constexpr const char* kFunctionScript =
    "function inner(a)\n"
    "{\n"
    "DispInfo(0, 0)\n"
    "return(a)\n"
    "}\n"
    "function outer(b)\n"
    "{\n"
    "x = inner(b)\n"
    "return(x)\n"
    "}\n"
    "DispInfo(0, 0)\n"
    "r = outer(5)\n"
    "return(r)\n";

TEST_F(ScriptDebugTest, FunctionTreeCountsPositionsThroughEveryFunction) {
  auto script = Compile(kFunctionScript);
  const FunctionTree tree = BuildFunctionTree(*script);
  ASSERT_EQ(script->functionCount, 2);
  const TagTelBasic& f0 = *script->functions.at(0);
  const TagTelBasic& f1 = *script->functions.at(1);
  std::string expected = f0.headerText + " : (d.vts)\n";
  for (int32_t i = 0; i < f0.statementCount; ++i) {
    const TagOper& s = *f0.statements.at(i);
    expected += std::string(static_cast<size_t>(s.blockDepth), '\t') + s.sourceText + "  [" +
                std::to_string(i) + ":" + std::to_string(s.lineNumber) + "]\n";
  }
  EXPECT_EQ(tree.text.substr(0, expected.size()), expected);
  EXPECT_NE(tree.text.find(f1.headerText + " : (d.vts)\n"), std::string::npos);
  ASSERT_EQ(tree.base, (std::vector<int32_t>{1, 2 + f0.statementCount}));
  // Each function's edges: the header before, the first and last statement,
  // and the next header after.
  struct Case {
    int32_t index, function, statement;
  } cases[] = {
      {0, -1, 0},
      {1, 0, 0},
      {f0.statementCount, 0, f0.statementCount - 1},
      {1 + f0.statementCount, -1, 0},
      {tree.base[1], 1, 0},
      {tree.base[1] + f1.statementCount - 1, 1, f1.statementCount - 1},
      {tree.base[1] + f1.statementCount, -1, 0},
  };
  for (const Case& c : cases) {
    int32_t statement = 0;
    EXPECT_EQ(tree.FunctionAtTreeIndex(c.index, &statement), c.function) << c.index;
    if (c.function >= 0) {
      EXPECT_EQ(statement, c.statement) << c.index;
    }
  }
  // Breakpoints through tree positions reach the function's statement;
  // headers and positions past the end do nothing.
  SetBreakpointAt(*script, tree, tree.base[1] + 1, 1);
  EXPECT_EQ(HasBreakpoint(f1, 1), 1);
  EXPECT_EQ(HasBreakpointAt(*script, tree, tree.base[1] + 1), 1);
  SetBreakpointAt(*script, tree, 0, 1);
  SetBreakpointAt(*script, tree, 999, 1);
  SetBreakpoint(*script, -1, 1);
  SetBreakpoint(*script, script->statementCount, 1);
  EXPECT_EQ(HasBreakpoint(*script, script->statementCount), 0);
  SetBreakpoint(*script, 1, 1);
  ClearBreakpoints(*script);
  EXPECT_EQ(HasBreakpoint(*script, 1), 0);
  EXPECT_EQ(HasBreakpoint(f1, 1), 0);
  EXPECT_FALSE(script->attention.HasBreakpoints());
}

TEST_F(ScriptDebugTest, CallStackNamesEachFrameAndTheRunningFunction) {
  auto script = Compile(kFunctionScript);
  EXPECT_EQ(script->Run(), 5);
  // The last probe ran in inner, called by outer, called by the main flow.
  EXPECT_EQ(probe_stack_result, 0);
  EXPECT_EQ(probe_stack, (Names{"inner", "outer", "_main_"}));
  EXPECT_EQ(probe_running, "inner");
  EXPECT_EQ(script->runningFunction.load(), nullptr);  // the calls are over
  // The main flow has no caller.
  std::vector<const TagTelBasic*> frames{script.get()};
  EXPECT_EQ(CallStack(*script, &frames), -2);
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(CallStack(*script, nullptr), -1);
}

TEST_F(ScriptDebugTest, VariableRowsInEveryOrderWithoutTemporaries) {
  auto script = Compile("zeta = 1\nalpha = \"a\" + zeta\nmid = 2.5\nreturn(0)\n");
  ASSERT_EQ(script->Run(), 0);
  const std::vector<VarRow> rows = VariableRows(*script, VarOrder::kByNumber);
  // Constants: the named built-ins, with "true", "false" and "NULL" among them.
  std::vector<std::string> constants;
  for (const VarRow& r : rows) {
    if (r.number.back() == 'c') constants.push_back(r.name);
  }
  for (const char* name : {"true", "false", "NULL"}) {
    EXPECT_NE(std::find(constants.begin(), constants.end(), name), constants.end()) << name;
  }
  for (const VarRow& r : rows) {
    EXPECT_NE(r.name.substr(0, 2), "__") << r.name;
    const std::map<std::string, std::string> values{
        {"NULL", "NULL"}, {"alpha", "\"a1\""}, {"mid", "2.5"}};
    if (auto it = values.find(r.name); it != values.end()) {
      EXPECT_EQ(r.value, it->second) << r.name;
    }
  }
  auto writable = [&](VarOrder order) {
    std::vector<std::string> names;
    for (const VarRow& r : VariableRows(*script, order)) {
      if (r.number.back() != 'c' && (r.name == "zeta" || r.name == "alpha" || r.name == "mid")) {
        names.push_back(r.name);
      }
    }
    return names;
  };
  EXPECT_EQ(writable(VarOrder::kByNumber), (Names{"zeta", "alpha", "mid"}));
  EXPECT_EQ(writable(VarOrder::kByNumberDescending), (Names{"mid", "alpha", "zeta"}));
  EXPECT_EQ(writable(VarOrder::kByName), (Names{"alpha", "mid", "zeta"}));
  EXPECT_EQ(writable(VarOrder::kByNameDescending), (Names{"zeta", "mid", "alpha"}));
  // A writable row's number is its place in the variable list.
  for (const VarRow& r : rows) {
    if (r.number.back() == 'c') continue;
    EXPECT_EQ(script->variables.at(std::stoi(r.number))->name(), r.name);
  }
}

TEST_F(ScriptDebugTest, FunctionRowsStartWithParameters) {
  auto script = Compile(kFunctionScript);
  script->Run();
  const TagTelBasic& inner = *script->functions.at(script->FindFunctionIndex("inner"));
  const std::vector<VarRow> rows = VariableRows(inner, VarOrder::kByName);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].number, "0p");
  EXPECT_EQ(rows[0].name, "a");
  EXPECT_EQ(rows[0].note, "参数");
}

TEST_F(ScriptDebugTest, VariableInfoOfEachKind) {
  auto script = Compile(
      "function f(p)\n{\nreturn(p)\n}\n"
      "s = \"x\"\ni = 3\nd = 1.5\nm = 0\nv = f\nr = f(4)\nreturn(0)\n");
  ASSERT_EQ(script->Run(), 0);
  // The run gave its maps back: m becomes one again here.
  TagVar key;
  key.SetInt(1);
  for (TagVar* v : script->variables) {
    if (std::string_view(v->name()) == "m") v->Element(key)->SetInt(2);
  }
  struct Case {
    const char* name;
    int32_t result;
    const char* type;
    const char* note;
  } cases[] = {
      {"s", 0, "变量: 字符串", ""},   {"i", 0, "变量: 整型", ""},
      {"d", 0, "变量: 浮点型", ""},   {"m", 0, "变量: 字典(数组)型", ""},
      {"v", 0, "变量: 函数型", ""},   {"NULL", 0, "常量: 空", ""},
      {"true", 0, "常量: 整型", ""},  {"missing", -1, "", ""},
  };
  for (const Case& c : cases) {
    VarInfo info;
    EXPECT_EQ(VariableInfo(*script, c.name, &info), c.result) << c.name;
    EXPECT_EQ(info.type, c.type) << c.name;
    EXPECT_EQ(info.note, c.note) << c.name;
  }
  VarInfo info;
  VariableInfo(*script, "s", &info);
  EXPECT_EQ(info.value, "\"x\"");
  VariableInfo(*script, "missing", &info);
  EXPECT_EQ(info.value, "变量名不存在.");
  const TagTelBasic& f = *script->functions.at(0);
  EXPECT_EQ(VariableInfo(f, "p", &info), 0);
  EXPECT_EQ(info.type, "参数: 整型");
  EXPECT_EQ(info.note, "参数");
  for (TagVar* v : script->variables) {
    if (v->kind == kVarMap) v->ReleaseMap();
  }
}

TEST_F(ScriptDebugTest, StatementVarsListsVariablesNotKeywords) {
  auto script = Compile("file = \"hello.wav\"\nn = 2\nPlay(file)\nreturn(0)\n");
  ASSERT_EQ(script->Run(), 0);
  EXPECT_EQ(StatementVars(*script, 2), "file: \"hello.wav\"");
  EXPECT_EQ(StatementVars(*script, -1), "");
  EXPECT_EQ(StatementVars(*script, script->statementCount), "");
}

// The step wait, with the script run on a thread of its own.
class StepWaitTest : public ScriptDebugTest {
 protected:
  // Waits until the line sits in its step wait (false after 5 s).
  bool Paused(TagTelBasic& script) {
    for (int i = 0; i < 500; ++i) {
      if (PausedRead(script, [] {})) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

TEST_F(StepWaitTest, WaitEndsOnStepRunAndStop) {
  enum class End { kStep, kRun, kStop };
  for (End end : {End::kStep, End::kRun, End::kStop}) {
    auto script = Compile("n = 0\nn = n + 1\nn = n + 1\nreturn(n)\n");
    SetBreakpoint(*script, 1, 1);
    std::atomic<int32_t> result{-100};
    std::thread line([&] { result = script->Run(); });
    ASSERT_TRUE(Paused(*script));
    // Read while paused: the breakpoint's statement has not run.
    VarInfo info;
    EXPECT_TRUE(PausedRead(*script, [&] { VariableInfo(*script, "n", &info); }));
    EXPECT_EQ(info.value, "0");
    if (end == End::kStep) {
      StepOnce(*script);
      // One statement ran; the next waits again.
      ASSERT_TRUE(Paused(*script));
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      ASSERT_TRUE(Paused(*script));
      PausedRead(*script, [&] { VariableInfo(*script, "n", &info); });
      EXPECT_EQ(info.value, "1");
      EXPECT_TRUE(IsStepMode(*script));
      script->SetStepMode(0);
    } else if (end == End::kRun) {
      script->SetStepMode(0);
    } else {
      script->RequestStop();
    }
    line.join();
    if (end != End::kStop) {
      EXPECT_EQ(result.load(), 2);
    }
    EXPECT_FALSE(PausedRead(*script, [] {}));
  }
}

TEST_F(StepWaitTest, AssertWithAPageStopsForTheOperator) {
  std::atomic<bool> closing{false};
  DebugRunObserver observer(&closing, 8);
  SetRunObserver(&observer);
  auto script = Compile("a = 1\nAssert(0)\na = 2\nreturn(a)\n");
  // Without a page: only the error-log line.
  EXPECT_EQ(script->Run(), 2);
  EXPECT_EQ(call_.errors, (Names{"Assert Failed: line=2"}));
  EXPECT_TRUE(messages_.messages().empty());
  ASSERT_TRUE(observer.OpenPage(2));
  std::thread line([&] { script->Run(); });
  ASSERT_TRUE(Paused(*script));
  ASSERT_EQ(messages_.messages().size(), 1u);
  EXPECT_EQ(messages_.messages()[0].text, "Assert Failed: line=2, 'Assert(0)'");
  EXPECT_EQ(messages_.messages()[0].caption, "Stop for Assert");
  EXPECT_EQ(call_.errors.size(), 1u);
  StepOnce(*script);  // the Assert ends; the next statement waits
  ASSERT_TRUE(Paused(*script));
  script->SetStepMode(0);
  line.join();
  SetRunObserver(nullptr);
}

}  // namespace
}  // namespace engine
