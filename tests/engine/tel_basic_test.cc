#include "engine/tel_basic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/script_cache.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

// What the test line compiler saw: the script, the line number and text.
struct SeenLine {
  std::string script;
  int32_t line;
  std::string text;
};
std::vector<SeenLine>* seen_lines = nullptr;

class NullStatement : public TagOper {
 public:
  int32_t Execute() override { return 0; }
};

// Appends a statement of a kind to the script as the compiler would.
TagOper* AppendTest(TagTelBasic& script, int32_t line_no, const std::string& text, char kind) {
  AppendContext c;
  c.statements = &script.statements.items();
  c.retVal = script.allVariables.at(kRetValIndex);
  c.depth = script.compileState.blockDepth;
  c.source = text;
  c.line = line_no;
  auto* s = new NullStatement;
  AppendStatement(s, kind, c);
  script.statementCount = script.statements.count();
  return s;
}

// A small stand-in for the statement compiler, enough to drive loading:
//   #include <path>      loads the file
//   function <name>      opens a function (a new TagTelBasic)
//   end                  closes it
//   call <name>          records a call of the function
//   bad                  fails the line
//   if / {               pushes the if / brace stacks (for the end checks)
int32_t TestCompiler(TagTelBasic& script, int32_t line_no, std::string& text) {
  if (seen_lines != nullptr) seen_lines->push_back({script.name, line_no, text});
  TagTelBasic* main = script.MainScript();
  if (text.rfind("#include ", 0) == 0) {
    script.LoadFile(line_no, text.substr(9));
    return 0;
  }
  if (text.rfind("function ", 0) == 0) {
    auto* f = new TagTelBasic(main->sourcePath, text.substr(9), main);
    f->SetHeaderText(text);
    auto* var = new TagVar;
    var->InitFunction(f->name, nullptr, f, 1);
    main->AddVariable(var);
    main->functions.push_back(f);
    main->functionCount = main->functions.count();
    main->compileState.functionStack.push_back(line_no);
    return 0;
  }
  if (text == "end") {
    main->compileState.functionStack.pop_back();
    return 0;
  }
  if (text.rfind("call ", 0) == 0) {
    TagTelBasic* f = nullptr;
    if (main->FindFunction(text.substr(5), &f) >= 0 && f != nullptr) f->AddCaller(script.name);
    return 0;
  }
  if (text == "bad") {
    script.ReportError(line_no, "语法错误", text, false);
    return -1;
  }
  if (text == "/*") {
    main->compileState.commentStack.push_back(line_no);
    return 0;
  }
  const struct {
    const char* word;
    char kind;
    std::vector<int32_t> CompileState::*stack;
  } kOpeners[] = {{"if(x)", kKindIf, &CompileState::ifStack},
                  {"while(x)", kKindLoop, &CompileState::loopStack},
                  {"switch(x)", kKindSwitch, &CompileState::switchStack},
                  {"{", kKindBlockStart, &CompileState::braceStack}};
  for (const auto& o : kOpeners) {
    if (text == o.word) {
      TagOper* s = AppendTest(script, line_no, text, o.kind);
      (script.compileState.*(o.stack)).push_back(s->statementIndex);
      return 0;
    }
  }
  return 0;
}

class TelBasicTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    SetLineCompiler(TestCompiler);
    seen_lines = &seen_;
    ScriptCache().Clear();
    call_.lineNo = 0;
  }
  void TearDown() override {
    seen_lines = nullptr;
    SetLineCompiler(nullptr);
    ScriptCache().Clear();
    MapCheckTest::TearDown();
  }

  std::unique_ptr<TagTelBasic> Compile(const std::string& file, int32_t run_mode = 1) {
    return std::make_unique<TagTelBasic>(file, call_.lineNo, &call_, run_mode, nullptr);
  }
  std::string ErrorFile() const { return ReadFile(ErrorFileName(call_.lineNo)).value_or(""); }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  LineCallBase call_;
  std::vector<SeenLine> seen_;
};

TEST_F(TelBasicTest, PvectorGrowsWithNulls) {
  pvector<int> v;
  int a = 1, b = 2, c = 3;
  v.push_back(&a);
  v.push_back(&b);
  v[5] = &c;
  EXPECT_EQ(v.count(), 6);
  EXPECT_EQ(v.at(3), nullptr);
  EXPECT_EQ(v.at(5), &c);
  EXPECT_EQ(v.at(9), nullptr);
}

TEST_F(TelBasicTest, BuiltInVariables) {
  WriteFile("main.vts", "x\n");
  call_.lineNo = 3;
  call_.lineKind = kLineE1;
  auto s = std::make_unique<TagTelBasic>("scripts\\main.vts", 0, &call_, 0, nullptr);
  const char* names[] = {"_tempVal", "_retVal", "_lineNo", "_lineType", "_linesCount",
                         "_vtsFile", "_vtsDir",  "true",    "false",     "NULL"};
  ASSERT_GE(s->variableCount, 10);
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(s->allVariables.at(i)->name(), names[i]);
  EXPECT_EQ(s->allVariables.at(kRetValIndex)->intValue, -1);
  EXPECT_EQ(s->allVariables.at(3)->intValue, kLineE1);
  EXPECT_EQ(s->allVariables.at(5)->ToText(), "main.vts");
  EXPECT_EQ(s->allVariables.at(6)->ToText(), "scripts\\");
  EXPECT_EQ(s->allVariables.at(9)->kind, kVarNull);
  EXPECT_TRUE(s->allVariables.at(9)->readOnly);
  EXPECT_EQ(s->initResult, -2);  // the file is missing
  auto plain = std::make_unique<TagTelBasic>("main.vts", 0, &call_, 0, nullptr);
  EXPECT_EQ(plain->allVariables.at(6)->ToText(), "");
  EXPECT_EQ(plain->allVariables.at(5)->ToText(), "main.vts");
  EXPECT_EQ(plain->initResult, 0);
  // Writable variables and constants are split in order.
  EXPECT_EQ(plain->writableCount, 2);
  EXPECT_EQ(plain->constantCount, 8);
  EXPECT_EQ(plain->namedConstantCount, 8);
}

TEST_F(TelBasicTest, NoCallObjectCompilesNothing) {
  WriteFile("main.vts", "x\n");
  TagTelBasic none("main.vts", 0, nullptr, 1, nullptr);
  EXPECT_EQ(none.initResult, -2);
  EXPECT_EQ(none.variableCount, 0);
  LineCallBase negative;
  negative.lineNo = -1;
  TagTelBasic bad("main.vts", 0, &negative, 1, nullptr);
  EXPECT_EQ(bad.initResult, -2);
  EXPECT_TRUE(seen_.empty());
}

TEST_F(TelBasicTest, LineEndsContinuationsAndNumbers) {
  WriteFile("main.vts", "a\r\nb\rc\nd \\  \ne\n\\\nlast");
  auto s = Compile("main.vts");
  ASSERT_EQ(s->initResult, 0);
  std::vector<std::pair<int32_t, std::string>> got;
  for (const SeenLine& l : seen_) got.emplace_back(l.line, l.text);
  std::vector<std::pair<int32_t, std::string>> expected = {
      {1, "a"}, {2, "b"}, {3, "c"}, {5, "d e"}, {6, "\\"}, {7, "last"}};
  EXPECT_EQ(got, expected);
}

TEST_F(TelBasicTest, IncludesRestoreTheSourcePathAndCountOnce) {
  std::filesystem::create_directory("Lib");
  WriteFile("Lib/common.vts", "c1\nbad\n");
  WriteFile("main.vts", "#include lib\\COMMON.vts\nm2\nbad\n#include lib\\COMMON.vts\n#include main.vts\n");
  auto s = Compile("main.vts", /*run_mode=*/0);
  EXPECT_EQ(s->includeCount, 2);
  EXPECT_EQ(s->compileState.errorCount, 2);
  EXPECT_EQ(s->compileState.warningCount, 2);
  EXPECT_EQ(s->sourcePath, "main.vts");
  EXPECT_EQ(ErrorFile(),
            "[Error]lib\\COMMON.vts(2): 语法错误, bad\r\n"
            "[Error]main.vts(3): 语法错误, bad\r\n"
            "[Warning]main.vts(4): 重复包含文件, lib\\COMMON.vts\r\n"
            "[Warning]main.vts(5): 重复包含文件, main.vts\r\n"
            "\r\nmain.vts: 总错误数: 2; 总警告数: 2; 编译时间: 0.000秒, 编译结束\r\n");
  EXPECT_EQ(s->initResult, -2);
  auto shown = messages_.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "出错了");
  EXPECT_EQ(shown[0].text,
            "总错误数: 2; 总警告数: 2; 编译时间: 0.000秒,\r编译结束, 请参看错误日志errmsg0.txt");
  EXPECT_EQ(messages_.documents(), std::vector<std::string>{"errmsg0.txt"});
}

TEST_F(TelBasicTest, RunModeDropsWarningsAndTheSummary) {
  WriteFile("main.vts", "#include main.vts\n");
  auto s = Compile("main.vts", /*run_mode=*/1);
  EXPECT_EQ(s->compileState.warningCount, 1);
  EXPECT_EQ(s->initResult, 0);
  EXPECT_FALSE(FileExists("errmsg0.txt"));  // deleted at start, nothing written
  auto warn_only = Compile("main.vts", /*run_mode=*/0);
  EXPECT_EQ(warn_only->initResult, 0);
  EXPECT_EQ(ErrorFile(),
            "[Warning]main.vts(1): 重复包含文件, main.vts\r\n"
            "\r\nmain.vts: 总错误数: 0; 总警告数: 1; 编译时间: 0.000秒, 编译结束\r\n");
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(TelBasicTest, MissingInclude) {
  WriteFile("main.vts", "a\n#include nothere.vts\nb\n");
  const int32_t level = frame::GetSettings().log_level.exchange(1);
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>("msg_log.txt", 0, true, true));
  testing::internal::CaptureStdout();
  auto s = Compile("main.vts");
  std::string out = testing::internal::GetCapturedStdout();
  frame::CloseProcessLog();
  frame::GetSettings().log_level = level;
  EXPECT_EQ(out, "");  // the program writes no debug text to stdout: it goes to the log
  const std::string log = ReadFile("msg_log.txt").value_or("");
  EXPECT_NE(log.find("[fBuff==NULL, 打不开文件错误]"), std::string::npos) << log;
  EXPECT_EQ(s->initResult, -2);
  EXPECT_EQ(ErrorFile(),
            "[Error]main.vts(2): 打不开文件错误, nothere.vts\r\n"
            "\r\nmain.vts: 总错误数: 1; 总警告数: 0; 编译时间: 0.000秒, 编译结束\r\n");
  auto shown = messages_.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "   2: 打不开文件错误,\rnothere.vts");
  EXPECT_EQ(seen_.back().text, "b");  // loading goes on
}

TEST_F(TelBasicTest, OverLongLineIsOneErrorOnItsOwnLine) {
  WriteFile("main.vts", "a\n" + std::string(3000, 'x') + "\nb\n");
  auto s = Compile("main.vts");
  EXPECT_EQ(s->compileState.errorCount, 1);
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[1].line, 3);  // later line numbers do not shift
  EXPECT_EQ(ErrorFile().rfind("[Error]main.vts(2): 语法错误: 行太长, xxxx", 0), 0u);
}

TEST_F(TelBasicTest, OpenConstructsAtTheEnd) {
  // F calls only itself: it is pruned too (its warning is counted, not
  // written in run mode).
  WriteFile("main.vts", "function F\ncall F\n/*\nx\n");
  auto s = Compile("main.vts");
  EXPECT_EQ(s->compileState.errorCount, 2);
  EXPECT_EQ(s->functionCount, 0);
  EXPECT_EQ(ErrorFile(),
            "[Error]main.vts(3): 注释没有结束\r\n\r\n"
            "[Error]main.vts(4): 函数定义没有结束 (行数:1), function F\r\n"
            "\r\nmain.vts: 总错误数: 2; 总警告数: 1; 编译时间: 0.000秒, 编译结束\r\n");
}

TEST_F(TelBasicTest, OpenBlocksAtTheEnd) {
  WriteFile("main.vts", "x\nif(x)\nwhile(x)\nswitch(x)\n{\ny\n");
  auto s = Compile("main.vts");
  EXPECT_EQ(s->compileState.errorCount, 4);
  EXPECT_EQ(ErrorFile(),
            "[Error]main.vts(6): if语句没有结束 (行数:2), if(x)\r\n"
            "[Error]main.vts(6): while语句没有结束 (行数:3), while(x)\r\n"
            "[Error]main.vts(6): switch语句没有结束 (行数:4), switch(x)\r\n"
            "[Error]main.vts(6): {语句没有相应的} (行数:5)\r\n\r\n"
            "\r\nmain.vts: 总错误数: 4; 总警告数: 0; 编译时间: 0.000秒, 编译结束\r\n");
}

TEST_F(TelBasicTest, PruningRemovesChainsOfUncalledFunctions) {
  // A calls B, B calls A, C is called from the main flow, D only from A.
  WriteFile("main.vts",
            "function A\ncall B\ncall D\nend\nfunction B\ncall A\nend\n"
            "function C\nend\nfunction D\nend\ncall C\n");
  auto s = Compile("main.vts", /*run_mode=*/0);
  ASSERT_EQ(s->functionCount, 1);
  EXPECT_EQ(s->functions.at(0)->name, "C");
  EXPECT_EQ(s->compileState.warningCount, 3);
  const std::string errors = ErrorFile();
  for (const char* f : {"function A", "function B", "function D"}) {
    EXPECT_NE(errors.find(std::string("该函数从来没有被调用过, 已被优化, ") + f), std::string::npos)
        << f;
  }
  // The variables of the removed functions read as NULL.
  for (TagVar* v : s->allVariables) {
    if (std::string(v->name()) == "A") {
      EXPECT_EQ(v->kind, kVarNull);
    }
    if (std::string(v->name()) == "C") {
      EXPECT_EQ(v->kind, kVarFunction);
    }
  }
}

TEST_F(TelBasicTest, ReloadIsPendingOnlyOutsideAConnectedCall) {
  WriteFile("main.vts", "x\n");
  auto s = Compile("main.vts");
  s->SetReload(1);
  EXPECT_FALSE(s->IsReloadPending());  // no target yet
  EXPECT_EQ(call_.stopFlag.load(), 0);
  int target = 0;
  s->reloadTarget = &target;
  call_.callState = kCallConnected;
  s->SetReload(1);
  EXPECT_FALSE(s->IsReloadPending());
  EXPECT_EQ(call_.stopFlag.load(), 0);  // the call is not cut
  call_.callState = kCallReleased;
  EXPECT_TRUE(s->IsReloadPending());
  s->SetReload(1);
  EXPECT_EQ(call_.stopFlag.load(), 1);  // what the line waits in ends
}

// The stores of a script hear of its child runs and of its leaving the
// line: each child run is a start and an end, also when the child did not
// compile, and only the line's own script (not a child, not one without a
// call object) tells its stores that it leaves the line.
class HookLog : public ScriptStore {
 public:
  explicit HookLog(TagTelBasic&) {}
  void OnChildRunStart() override { Note("start"); }
  void OnChildRunEnd() override { Note("end"); }
  void OnLeaveLine() override { Note("leave"); }
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }

 private:
  static void Note(const char* what) { Log().push_back(what); }
};

class StoreHooksTest : public TelBasicTest {
 protected:
  void SetUp() override {
    TelBasicTest::SetUp();
    HookLog::Log().clear();
    RegisterStoreFactory(StoreSlot::kLineSettings,
                         [](TagTelBasic& s) -> std::unique_ptr<ScriptStore> {
                           return std::make_unique<HookLog>(s);
                         });
  }
  void TearDown() override {
    RegisterStoreFactory(StoreSlot::kLineSettings, nullptr);
    TelBasicTest::TearDown();
  }
};

TEST_F(StoreHooksTest, OnlyTheLinesOwnScriptTellsItsStoresItLeavesTheLine) {
  WriteFile("main.vts", "x\n");
  auto script = Compile("main.vts");
  {
    TagTelBasic child("main.vts", 0, &call_, 1, script.get());
    child.LeaveLine();
  }
  TagTelBasic alone("main.vts", 0, nullptr, 1, nullptr);
  alone.LeaveLine();
  EXPECT_TRUE(HookLog::Log().empty());
  script->LeaveLine();
  EXPECT_EQ(HookLog::Log(), std::vector<std::string>{"leave"});
}

TEST_F(TelBasicTest, ChildImportsExportedVariables) {
  WriteFile("main.vts", "x\n");
  auto parent = Compile("main.vts");
  parent->exportVariables = 1;
  parent->allVariables.at(kTempValIndex)->SetInt(42);
  auto* mine = new TagVar;
  mine->InitInt("mine", nullptr, 7, 0);
  parent->AddVariable(mine);
  TagTelBasic child("main.vts", 0, &call_, 1, parent.get());
  EXPECT_TRUE(child.isChild);
  EXPECT_EQ(child.allVariables.at(kTempValIndex)->intValue, 42);
  EXPECT_EQ(child.GetRunContext(), parent.get());
  bool found = false;
  for (TagVar* v : child.allVariables) found |= std::string(v->name()) == "mine" && v->intValue == 7;
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace engine
