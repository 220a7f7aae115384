// The statement compiler and the compile-time linking of control flow:
// real script files compiled by the main-script constructor, the links
// checked as data, the messages checked as bytes of the error file, and
// small runs of the linked list without the run loop.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/calculate.h"
#include "engine/complex_expre.h"
#include "engine/control_compile.h"
#include "engine/control_flow.h"
#include "engine/expression_hook.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/engine/link_dump.h"
#include "tests/engine/map_check.h"
#include "tests/frame/captured_log.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;
using testing_support::WriteFile;

// A statement that records what its factory was given.
class RecordedStatement : public TagOper {
 public:
  int32_t Execute() override { return 0; }
  int row = kNoKeyword;
  bool pcMode = false;
  std::vector<TagVar*> args;
  TagVar* function = nullptr;
};

TagOper* RecordingFactory(const StatementBuild& build, std::string*) {
  auto* s = new RecordedStatement;
  s->row = build.row;
  s->pcMode = build.pcMode;
  s->args = build.args;
  return s;
}

TagOper* RecordingCall(TagVar* function, TagTelBasic*, const std::vector<TagVar*>& args,
                       std::string*) {
  auto* s = new RecordedStatement;
  s->function = function;
  s->args = args;
  return s;
}

// "Type(" (2 arguments), "GetKeys(" and "PcGetKeys(" (3) and "PlayNumber("
// (2) build recorded statements in this test program.
void RegisterTestFactories() {
  static const bool registered = [] {
    Statements().Register("Type(", &RecordingFactory);
    Statements().RegisterRow(96, &RecordingFactory);
    Statements().RegisterRow(200, &RecordingFactory);
    Statements().RegisterRow(145, &RecordingFactory);
    return true;
  }();
  (void)registered;
}

// Runs the linked list from its first statement as the run loop would
// (arguments, Execute, Next), at most max_steps statements; the steps run.
int RunList(TagTelBasic& script, int max_steps = 10000) {
  TagOper* previous = nullptr;
  TagOper* current = script.statementCount > 0 ? script.statements.at(0) : nullptr;
  int steps = 0;
  for (; current != nullptr && steps < max_steps; ++steps) {
    current->previousExecuted = previous;
    current->RunArgs();
    current->Execute();
    previous = current;
    current = current->Next();
  }
  return steps;
}

class StatementCompilerTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    RegisterTestFactories();
    RegisterStatementCompiler();
    RegisterScriptControlStatements();
    saved_call_factory_ = GetCallFactory();
    SetCallFactory(&RecordingCall);
    ScriptCache().Clear();
    call_.lineNo = 0;
    call_.lineKind = kLineE1;
  }
  void TearDown() override {
    SetCallFactory(saved_call_factory_);
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    ScriptCache().Clear();
    MapCheckTest::TearDown();
  }

  // Compiles text as the file "s.vts"; run mode 0 writes warnings too.
  std::unique_ptr<TagTelBasic> Compile(const std::string& text, int32_t run_mode = 0) {
    ScriptCache().Clear();
    WriteFile("s.vts", text);
    return std::make_unique<TagTelBasic>("s.vts", call_.lineNo, &call_, run_mode, nullptr);
  }
  std::string ErrorFile() const { return ReadFile(ErrorFileName(call_.lineNo)).value_or(""); }
  static int32_t IntOf(TagTelBasic& script, const char* name) {
    TagVar* v = nullptr;
    script.FindVariable(name, &v);
    return v != nullptr ? v->GetInt() : -999;
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  LineCallBase call_;
  CallFactory saved_call_factory_ = nullptr;
};

// --- links as data ------------------------------------------------------------

struct LinkCase {
  const char* label;
  const char* script;
  const char* links;
};

TEST_F(StatementCompilerTest, LinksOfControlConstructs) {
  const LinkCase cases[] = {
      {"if/else blocks, both lead to z",
       "a = 1\nif(a)\n{\nx = 1\n}\nelse\n{\ny = 1\n}\nz = 1\n",
       "0 = d0 o- p- n1\n"
       "1 i d0 o- p- n9 then2 else6\n"
       "2 { d1 o1 p4 n3\n"
       "3 = d1 o1 p- n4\n"
       "4 } d1 o1 p2 n5\n"
       "5 e d0 o- p- n-\n"
       "6 { d1 o1 p8 n7\n"
       "7 = d1 o1 p- n8\n"
       "8 } d1 o1 p6 n9\n"
       "9 = d0 o- p- n-\n"},
      {"while with block",
       "c = 1\nwhile(c)\n{\nx = 1\n}\nz = 1\n",
       "0 = d0 o- p- n1\n"
       "1 w d0 o- p- n5 body2\n"
       "2 { d1 o1 p4 n3\n"
       "3 = d1 o1 p- n4\n"
       "4 } d1 o1 p2 n5\n"
       "5 = d0 o- p- n-\n"},
      {"while with single body",
       "c = 1\nwhile(c)\nx = 1\nz = 1\n",
       "0 = d0 o- p- n1\n"
       "1 w d0 o- p- n3 body2\n"
       "2 = d1 o1 p2 n1 single\n"
       "3 = d0 o- p- n-\n"},
      {"chain of if, two else-ifs and else with single bodies",
       "a = 1\nif(a == 1)\nx = 1\nelse if(a == 2)\nx = 2\nelse if(a == 3)\nx = 3\nelse\nx = 4\n"
       "z = 1\n",
       "0 = d0 o- p- n1\n"
       "1 i d0 o- p- n9 then2 else8\n"
       "2 = d1 o1 p2 n9 single\n"
       "3 E d0 o- p- n9 then4 else-\n"
       "4 = d1 o3 p4 n9 single\n"
       "5 E d0 o- p- n9 then6 else-\n"
       "6 = d1 o5 p6 n9 single\n"
       "7 e d0 o- p- n8\n"
       "8 = d1 o1 p8 n9 single\n"
       "9 = d0 o- p- n-\n"},
      {"switch with two cases sharing a block and a default",
       "v = 1\nswitch(v)\n{\ncase(1)\ncase(2)\n{\nx = 1\n}\ndefault()\n{\nx = 2\n}\n}\nz = 1\n",
       "0 = d0 o- p- n1\n"
       "1 s d0 o- p- n13 case2:5 case1:5 default9\n"
       "2 { d1 o1 p12 n3\n"
       "3 c d1 o1 p- n4\n"
       "4 c d1 o1 p- n-\n"
       "5 { d2 o1 p7 n6\n"
       "6 = d2 o1 p- n7\n"
       "7 } d2 o1 p5 n8\n"
       "8 d d1 o1 p- n-\n"
       "9 { d2 o1 p11 n10\n"
       "10 = d2 o1 p- n11\n"
       "11 } d2 o1 p9 n12\n"
       "12 } d1 o1 p2 n13\n"
       "13 = d0 o- p- n-\n"},
      {"break and continue in nested loops",
       "c = 1\nwhile(c)\n{\nwhile(c)\n{\nbreak;\n}\ncontinue;\n}\n",
       "0 = d0 o- p- n1\n"
       "1 w d0 o- p- n- body2\n"
       "2 { d1 o1 p8 n3\n"
       "3 w d1 o1 p- n7 body4\n"
       "4 { d2 o3 p6 n5\n"
       "5 b d2 o3 p3 n6\n"
       "6 } d2 o3 p4 n7\n"
       "7 o d1 o1 p1 n8\n"
       "8 } d1 o1 p2 n-\n"},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.label);
    auto script = Compile(c.script);
    EXPECT_EQ(script->compileState.errorCount, 0) << ErrorFile();
    EXPECT_EQ(DumpLinks(*script), c.links);
  }
}

TEST_F(StatementCompilerTest, FunctionBodyIsLinkedInItsOwnList) {
  auto script = Compile("function f(a)\n{\nb = a\nif(b)\nb = 2\n}\nf(1)\nx = 1\n");
  ASSERT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  ASSERT_EQ(script->functionCount, 1);
  TagTelBasic& f = *script->functions.at(0);
  EXPECT_EQ(DumpLinks(f),
            "0 { d1 o- p4 n1\n"
            "1 = d1 o- p- n2\n"
            "2 i d1 o- p- n4 then3 else-\n"
            "3 = d2 o2 p3 n4 single\n"
            "4 } d1 o- p0 n-\n");
  EXPECT_TRUE(script->compileState.functionStack.empty());
  EXPECT_EQ(f.writableCount, 3);  // _tempVal, _retVal, b
  EXPECT_EQ(f.paramCount, 1);
  EXPECT_EQ(f.callers.at("_main_"), 1);
  // The main flow: the call (kind 'R') with its argument, then x.
  EXPECT_EQ(DumpLinks(*script), "0 R d0 o- p- n1\n1 = d0 o- p- n-\n");
  auto* call = dynamic_cast<RecordedStatement*>(script->statements.at(0));
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->args.size(), 1u);
}

// A single-statement body at the end of the file is linked like any other.
TEST_F(StatementCompilerTest, LastSingleBodyIsLinked) {
  auto loop = Compile("c = 0\nwhile(c < 3)\nc++\n");
  ASSERT_EQ(loop->compileState.errorCount, 0) << ErrorFile();
  EXPECT_EQ(loop->statements.at(2)->next, loop->statements.at(1));
  RunList(*loop);
  EXPECT_EQ(IntOf(*loop, "c"), 3);

  auto chain = Compile("a = 1\ny = 0\nif(a)\nx = 1\nelse\ny = 1\n");
  ASSERT_EQ(chain->compileState.errorCount, 0) << ErrorFile();
  RunList(*chain);
  EXPECT_EQ(IntOf(*chain, "x"), 1);
  EXPECT_EQ(IntOf(*chain, "y"), 0);

  auto else_if = Compile("a = 1\ny = 0\nif(a)\nx = 1\nelse if(a)\ny = 1\n");
  RunList(*else_if);
  EXPECT_EQ(IntOf(*else_if, "y"), 0);

  // A lone if with its one-statement body at the end stays open.
  auto open = Compile("a = 1\nif(a)\nx = 1\n");
  EXPECT_EQ(open->compileState.errorCount, 1);
  EXPECT_NE(ErrorFile().find("if语句没有结束 (行数:2)"), std::string::npos) << ErrorFile();
}

// --- runs of the linked list ----------------------------------------------------

struct RunCase {
  const char* label;
  const char* script;
  const char* variable;
  int32_t value;
};

TEST_F(StatementCompilerTest, LinkedListRuns) {
  const RunCase cases[] = {
      {"counting for loop", "sum = 0\nfor(i = 1; i <= 10; i++)\n{\nsum = sum + i\n}\nend = 1\n",
       "sum", 55},
      {"counting for loop re-entered runs its initialisation again",
       "n = 0\nfor(k = 0; k < 2; k++)\n{\nfor(j = 0; j < 3; j++)\nn++\n}\n", "n", 6},
      {"while with break", "i = 0\nwhile(1)\n{\ni++\nif(i >= 5)\nbreak;\n}\nend = i\n", "end", 5},
      {"continue runs the step",
       "s = 0\nfor(i = 0; i < 3; i++)\n{\nfor(j = 0; j < 3; j++)\n{\nif(j == 1)\ncontinue;\n"
       "s = s + 1\n}\n}\n",
       "s", 6},
      {"switch inside a loop",
       "i = 0\nt = 0\nwhile(i < 4)\n{\ni++\nswitch(i)\n{\ncase(1)\ncase(3)\n{\nt = t + 1\n}\n"
       "case(2)\n{\nt = t + 10\n}\ndefault()\n{\nt = t + 100\n}\n}\n}\n",
       "t", 112},
      {"break inside a switch inside a loop leaves the loop",
       "i = 0\nwhile(i < 10)\n{\ni++\nswitch(i)\n{\ncase(3)\n{\nbreak;\n}\n}\n}\n", "i", 3},
      {"if chain: one branch, conditions in order",
       "a = 2\nr = 0\nif(a == 1)\nr = 1\nelse if(a == 2)\nr = 2\nelse\nr = 3\nz = r * 10\n", "z",
       20},
      {"if block followed directly by else", "a = 0\nif(a)\n{\nr = 1\n}\nelse\n{\nr = 2\n}\n",
       "r", 2},
      {"for over the bytes of a text",
       "t = \"abc\"\nn = 0\nfor(ch in t)\n{\nn++\n}\n", "n", 3},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.label);
    auto script = Compile(c.script);
    ASSERT_EQ(script->compileState.errorCount, 0) << ErrorFile();
    EXPECT_LT(RunList(*script), 10000) << DumpLinks(*script);
    EXPECT_EQ(IntOf(*script, c.variable), c.value) << DumpLinks(*script);
  }
}

// --- instruction kinds ----------------------------------------------------------

TEST_F(StatementCompilerTest, AssignmentsBuildTheRightInstructions) {
  auto script = Compile(
      "a = 1\nb = 2\nx = a + b\nx = a + b + b + a;\nx = a + b + a;\nx = -a\nx++\n"
      "m[a] = b\nx = Type(a, b)\nm[b] = Type(a, 1 + b)\n");
  ASSERT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  auto calc = [&](int i) { return dynamic_cast<TagCalculate*>(script->statements.at(i)); };
  ASSERT_NE(calc(2), nullptr);
  EXPECT_EQ(calc(2)->opcode, '+');
  auto* chain = dynamic_cast<TagMulPlus*>(script->statements.at(3));
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(chain->operandCount, 4);
  EXPECT_NE(dynamic_cast<TagExpre*>(script->statements.at(4)), nullptr);
  ASSERT_NE(calc(5), nullptr);
  EXPECT_EQ(calc(5)->opcode, '-');
  EXPECT_EQ(calc(5)->right, nullptr);
  ASSERT_NE(calc(6), nullptr);
  EXPECT_EQ(calc(6)->opcode, '+');
  EXPECT_EQ(calc(6)->right->GetInt(), 1);
  ASSERT_NE(calc(7), nullptr);
  EXPECT_NE(calc(7)->destIndex, nullptr);
  auto* type = dynamic_cast<RecordedStatement*>(script->statements.at(8));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->row, 24);
  EXPECT_EQ(type->args.size(), 2u);
  EXPECT_STREQ(type->resultTarget.variable()->name(), "x");
  auto* indexed = script->statements.at(9);
  EXPECT_STREQ(indexed->resultTarget.variable()->name(), "m");
  EXPECT_NE(indexed->resultTarget.index(), nullptr);
  EXPECT_EQ(indexed->argExpressions.size(), 1u);  // 1 + b
  for (int i = 0; i < script->statementCount; ++i) {
    EXPECT_EQ(script->statements.at(i)->kindLetter, i >= 8 ? 'g' : '=') << i;
  }
  // A map was made by nothing: no run here.
}

TEST_F(StatementCompilerTest, VirtualLineBuildsPcVariants) {
  call_.lineKind = kLineVirtual;
  auto script = Compile("a = 1\nGetKeys(a, a, a)\nPlayNumber(a, a)\n");
  ASSERT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  auto* keys = dynamic_cast<RecordedStatement*>(script->statements.at(1));
  auto* number = dynamic_cast<RecordedStatement*>(script->statements.at(2));
  ASSERT_TRUE(keys != nullptr && number != nullptr);
  EXPECT_EQ(keys->row, 200);
  EXPECT_TRUE(number->pcMode);

  call_.lineKind = kLineE1;
  auto board = Compile("a = 1\nGetKeys(a, a, a)\nPlayNumber(a, a)\n");
  EXPECT_EQ(dynamic_cast<RecordedStatement*>(board->statements.at(1))->row, 96);
  EXPECT_FALSE(dynamic_cast<RecordedStatement*>(board->statements.at(2))->pcMode);
}

TEST_F(StatementCompilerTest, ConstantsAndComments) {
  auto script = Compile(
      "/* a block\ncomment */ x = 1 // note\n// only a comment\n   \nconst k = 5\n"
      "const k = 5\ny = k\n");
  EXPECT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  EXPECT_EQ(script->statementCount, 2);
  TagVar* k = nullptr;
  script->FindVariable("k", &k);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->readOnly, 1);
  EXPECT_EQ(k->GetInt(), 5);
}

// --- messages ---------------------------------------------------------------------

struct MessageCase {
  const char* script;
  const char* entry;  // expected bytes of the error file
};

TEST_F(StatementCompilerTest, CompileMessages) {
  std::string many_args = "Type(1";
  for (int i = 0; i < 41; ++i) many_args += ",1";
  many_args += ")\n";
  const MessageCase cases[] = {
      // statement compiler
      {"*/\n", "[Error]s.vts(1): 找不到匹配的起始注释/*"},
      {"5 = x\n", "[Error]s.vts(1): 常量不可以赋值或者是非法的变量名"},
      {"m[zz] = 1\n", "[Error]s.vts(1): 表达式中的变量没有预先赋值:, zz"},
      {"true = 1\n", "[Error]s.vts(1): 常量不可以赋值, true = 1"},
      {"x = a b\n", "[Error]s.vts(1): 语法错, x = a b"},
      {"a = 1\nx = a + a * a\n", "[Error]s.vts(2): 缺少结束的分号"},
      {"a = 1\nx = a + a * a; a * a;\n", "[Error]s.vts(2): 语法错误, x = a"},
      {"a = 1\nx = a + a * {a};\n", "[Error]s.vts(2): 语法错误: '{'或'}'必需单独一行"},
      {"const x = 1 + 2\n", "[Error]s.vts(1): 常量定义错误，不能运算"},
      {"a = 1\nconst x = a\n", "[Error]s.vts(2): 常量定义错误，=号右边必须为常量"},
      {"const x = 1\nconst x = 2\n", "[Error]s.vts(2): 常量重复定义"},
      {"const x = 1\nconst x = 1\n", "[Warning]s.vts(2): 常量重复定义"},
      {"const x\n", "[Error]s.vts(1): 不可辨识的关键字"},
      {"Type(1)\n", "[Error]s.vts(1): 操作参数不够"},
      {"Type(1,2,3)\n", "[Error]s.vts(1): 操作参数太多"},
      {"Type(1,,2)\n", "[Error]s.vts(1): 参数不可以为空"},
      {"Type(\"a,2)\n", "[Error]s.vts(1): 语法错误: 字符串没有结束"},
      {many_args.c_str(), "[Error]s.vts(1): 语法错误: 太多的参数"},
      {"Type(zz,1)\n", "[Error]s.vts(1): 表达式中的变量没有预先赋值, zz"},
      {"Hangup()\n", "[Error]s.vts(1): 语句未实现: Hangup("},
      {"Close()\n", "[Warning]s.vts(1): 最好不要使用将来可能不支持的Close()函数, 请使用OnDisconn()函数\r\n\r\n"},
      {"IsSysQuit(1)\n",
       "[Warning]s.vts(1): 最好不要使用将来可能不支持的IsSysQuit()函数, 请使用OnSysQuit()函数\r\n\r\n"},
      {"foo(1)\n", "[Error]s.vts(1): 不可辨识的关键字, foo(1)"},
      {"#include <x.vts\n", "[Error]s.vts(1): 语法错：得不到有效的文件名"},
      {"function f()\n{\n#include \"a.vts\"\n}\nf()\n",
       "[Error]s.vts(3): 在函数里不可以使用包含文件语句"},
      {"function f(a)\n{\n}\nf(1, 2)\n", "[Error]s.vts(4): 操作参数太多"},
      {"function f(a)\n{\n}\nf()\n", "[Error]s.vts(4): 操作参数不够"},
      {"x[1]++\n", "[Error]s.vts(1): 自加或自减的变量名不合法"},
      // control flow
      {"else\n", "[Error]s.vts(1): 找不到匹配的if语句"},
      {"else if(1)\n", "[Error]s.vts(1): 找不到匹配的if语句"},
      {"a = 1\nif(a)\n{\n}\n}\n", "[Error]s.vts(5): 找不到匹配的'{'语句"},
      {"{\n", "[Error]s.vts(1): '{'前面一行必须有相应的流程控制语句"},
      {"a = 1\nswitch(a)\n{\nx = 1\n}\n", "[Error]s.vts(4): 在一个switch块里只能有case和default语句"},
      {"a = 1\nif(a)\nwhile(a)\n", "[Error]s.vts(3): 前面缺少'{'语句"},
      {"a = 1\nswitch(a)\nx = 1\n", "[Error]s.vts(3): 前面缺少'{'语句"},
      {"break;\n", "[Error]s.vts(1): 找不到匹配的while语句, break;"},
      {"continue;\n", "[Error]s.vts(1): 找不到匹配的while语句或for语句"},
      {"a = 1\nswitch(a)\n{\n}\ncase(1)\n", "[Error]s.vts(5): 找不到匹配的switch语句"},
      {"default()\n", "[Error]s.vts(1): 找不到匹配的switch语句"},
      {"a = 1\nswitch(a)\n{\ndefault()\n{\n}\ndefault()\n{\n}\n}\n",
       "[Error]s.vts(8): 在一个switch块里不允许有多个default语句"},
      {"a = 1\nswitch(zz)\n", "[Error]s.vts(2): 表达式中的变量没有预先赋值, zz"},
      {"for(i = 0; i < 3)\n", "[Error]s.vts(1): 操作参数不够"},
      {"for(; i < 3; i++)\n", "[Error]s.vts(1): 参数不可以为空"},
      {"for(i = 0; i < 3; i = i + 1 + 2)\n", "[Error]s.vts(1): 操作符错误: 出现多个操作符"},
      {"m = 1\nfor(i of m)\n", "[Error]s.vts(2): for语句语法错误"},
      {"if(zz)\n", "[Error]s.vts(1): 表达式中的变量没有预先赋值:zz"},
      {"a = 1\nif(a)\n{ x = 1\n}\n", "[Error]s.vts(3): 语法错误: '{'必需单独一行"},
      {"a = 1\nif(a)\n{\n} else\n", "[Error]s.vts(4): 语法错误: '}'必需单独一行"},
      {"function f\n", "[Error]s.vts(1): 函数定义错误: 语法错"},
      {"function f()\n{\n}\nfunction f()\n", "[Error]s.vts(4): 函数定义错误: 重复定义"},
      {"function Play(a)\n", "[Error]s.vts(1): 函数定义错误: 和系统函数重名"},
      {"function f(a,,b)\n", "[Error]s.vts(1): 参数不可以为空"},
      {"function f(1a)\n{\n}\n", "[Error]s.vts(1): 函数定义错误: 参数名不合法"},
      {"x = 1\nfunction x()\n{\n}\n", "[Error]s.vts(2): 函数定义错误: 函数名已经被定义为变量或常量"},
      {"function f()\n", "函数定义没有结束 (行数:1)"},
      // refused in a function body
      {"function f()\n{\nOnDisconn()\n}\nf()\n", "[Error]s.vts(3): 在函数里不可以使用OnDisconn()语句"},
      {"function f()\n{\nClose()\n}\nf()\n", "[Error]s.vts(3): 在函数里不可以使用Close()语句"},
      {"function f()\n{\nfunction g()\n", "[Error]s.vts(3): 在函数里不可以定义函数"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.script);
    auto script = Compile(c.script);
    EXPECT_NE(ErrorFile().find(c.entry), std::string::npos) << ErrorFile();
  }
}

// Lines that compile but do something else than they seem to say: a hint
// in the log, no warning counted and, when only compiling, no error file.
TEST_F(StatementCompilerTest, HintsGoToTheLogUncounted) {
  const MessageCase cases[] = {
      {"a = 1\nswitch(a + 1)\n{\n}\n",
       "[Hint]s.vts(2): 值中的运算符和第二个操作数不起作用, 只用了第一个操作数"},
      {"a = 1\nswitch(a)\n{\ncase(a | 2)\n{\n}\n}\n",
       "[Hint]s.vts(4): 值中的运算符和第二个操作数不起作用"},
      {"a = 1\nm[a&a] = 1\n", "[Hint]s.vts(2): 下标值中的运算符和第二个操作数不起作用"},
      {"else x = 1\n", "[Hint]s.vts(1): 等号前面的两个词被连成了一个变量名: elsex"},
      {"x = 1\nx + 1;\n", "[Hint]s.vts(2): 该行语句没有任何作用"},
      {"function Exit(a)\n{\n}\ng = Exit\n", "[Hint]s.vts(1): 函数名和系统关键字重名"},
  };
  for (const MessageCase& c : cases) {
    SCOPED_TRACE(c.script);
    frame_test::CapturedLog log;
    auto script = Compile(c.script, /*run_mode=*/0);
    EXPECT_EQ(script->initResult, 0);
    EXPECT_EQ(script->compileState.warningCount, 0);
    EXPECT_EQ(ErrorFile(), "");
    EXPECT_NE(log.Text().find(c.entry), std::string::npos) << log.Text();
  }
}

// The two texts behind a brace are written as errors but fail no line; the
// linking goes on.
TEST_F(StatementCompilerTest, TextBehindBraceFailsNoLine) {
  auto script = Compile("a = 1\nif(a)\n{ // fine\nx = 1\n}   \nwhile(a)\n{ y = 1\nbreak;\n}\n");
  EXPECT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  EXPECT_NE(ErrorFile().find("'{'必需单独一行"), std::string::npos);
  EXPECT_EQ(ErrorFile().find("(3)"), std::string::npos);
}

TEST_F(StatementCompilerTest, HandlerIndexesAndCloseInMain) {
  auto script = Compile("a = 1\nClose()\nOnSysQuit()\nreturn(0)\n");
  EXPECT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  EXPECT_EQ(script->onDisconnIndex, 1);
  EXPECT_EQ(script->onSysQuitIndex, 2);
  EXPECT_NE(ErrorFile().find("最好不要使用将来可能不支持的Close()函数"), std::string::npos);
}

TEST_F(StatementCompilerTest, DefaultWithEmptyParenthesesAndNestedParentheses) {
  auto script = Compile("v = 1\nswitch(v)\n{\ndefault()\n{\n}\n}\nType((2+3)*4, v)\n");
  EXPECT_EQ(script->compileState.errorCount, 0) << ErrorFile();
  ASSERT_EQ(script->statementCount, 8);
  TagOper* type = script->statements.at(7);
  ASSERT_EQ(type->argExpressions.size(), 1u);
  type->RunArgs();
  EXPECT_EQ(dynamic_cast<RecordedStatement*>(type)->args[0]->GetInt(), 20);
}

// After a failed line of the main script nothing more is linked, and the
// script does not run.
TEST_F(StatementCompilerTest, FailedLineStopsLinking) {
  auto script = Compile("zz(\nc = 1\nwhile(c)\nx = 1\n", 1);
  EXPECT_EQ(script->initResult, -2);
  EXPECT_EQ(script->statements.at(2)->singleBody, 0);
}

// Random mutations of sample scripts compile without memory faults.
TEST_F(StatementCompilerTest, MutatedScriptsCompile) {
  const std::string samples[] = {
      "a = 1\nif(a)\n{\nx = 1\n}\nelse\n{\ny = 1\n}\nz = 1\n",
      "v = 1\nswitch(v)\n{\ncase(1)\ncase(2)\n{\nx = 1\n}\ndefault()\n{\nx = 2\n}\n}\n",
      "function f(a)\n{\nb = a\nif(b)\nb = 2\n}\nf(1)\nfor(i = 0; i < 3; i++)\nc = c + 1\n",
      "c = 0\nwhile(c < 3)\n{\nc++\nif(c)\ncontinue;\nbreak;\n}\nm[c] = Type(c, \"x\")\n",
  };
  const char pieces[] = "{}();=+-*/\"[]\n ,ab#";
  std::mt19937 random(12345);
  const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < stop && rounds < 400) {
    std::string text = samples[random() % std::size(samples)];
    for (int k = 0, n = 1 + static_cast<int>(random() % 6); k < n; ++k) {
      const size_t at = random() % (text.size() + 1);
      switch (random() % 3) {
        case 0:
          text.insert(at, 1, pieces[random() % (sizeof pieces - 1)]);
          break;
        case 1:
          if (at < text.size()) text.erase(at, 1);
          break;
        default:
          text.insert(at, text.substr(random() % text.size(), 1 + random() % 12));
          break;
      }
    }
    auto script = Compile(text, 1);
    if (script->compileState.errorCount == 0) RunList(*script, 2000);
    for (TagVar* v : script->allVariables) {
      if (v != nullptr) v->ReleaseMap();
    }
    ++rounds;
  }
  EXPECT_GT(rounds, 20);
}

}  // namespace
}  // namespace engine
