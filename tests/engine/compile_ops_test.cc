// The compile operations of a script: comments, line shapes, argument
// lists, operands and the constant pool, assignments and increments,
// variable lookup across functions and their owner, callers, temporaries.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/expression_hook.h"
#include "engine/keyword_table.h"
#include "engine/tel_basic.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"
#include "tests/frame/captured_log.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

// Every test runs in a folder of its own, where "errmsg0.txt" lands: the
// scripts here have line number 0 (a function-built script without owner
// stands for a main script that compiles no file).
class CompileOpsTest : public MapCheckTest {
 protected:
  CompileOpsTest()
      : chdir_(dir_.path()), main_(std::make_unique<TagTelBasic>("main.vts", "_main_", nullptr)) {}

  // A function of the main script (the main script owns it).
  TagTelBasic* AddFunction(const std::string& name) {
    auto* f = new TagTelBasic("main.vts", name, main_.get());
    main_->functions.push_back(f);
    main_->functionCount = main_->functions.count();
    auto* var = new TagVar;
    var->InitFunction(name, nullptr, f, 1);
    main_->AddVariable(var);
    return f;
  }

  TagVar* Declare(TagTelBasic& script, const std::string& name) {
    TagVar* v = nullptr;
    EXPECT_GE(script.DeclareVariable(name, &v, "note"), 0);
    return v;
  }

  std::string ErrorFile() const { return ReadFile(dir_.File("errmsg0.txt")).value_or(""); }

  TempDir dir_;
  ScopedChdir chdir_;
  std::unique_ptr<TagTelBasic> main_;
};

// --- comments ---------------------------------------------------------------

TEST_F(CompileOpsTest, ExtractNoteCutsCommentsOutsideStrings) {
  struct Case {
    const char* line;
    const char* cut_line;
    const char* note;
    size_t open_comments;
  } cases[] = {
      {"x=1 // hi", "x=1 ", " hi", 0},
      {"x=\"a//b\" // c", "x=\"a//b\" ", " c", 0},
      {"x=\"a\\\"//b\"", "x=\"a\\\"//b\"", "", 0},
      {"x=\"open // not a note", "x=\"open // not a note", "", 0},
      {"/* abc */ x=1", "", " abc ", 0},
      {"x=1 /* open", "x=1 ", " open", 1},
      {"x=1 // a // b", "x=1 ", " b", 0},
      {"x=1 /* a */ // b", "x=1 ", " b", 0},
      {"x=1 // a /* b */", "x=1 ", " b ", 0},
      {"a\nb // c", "a", "", 0},
      {"", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string line = c.line, note = "stale";
    const int32_t n = main_->ExtractNote(line, &note, 7, true);
    EXPECT_EQ(line, c.cut_line);
    EXPECT_EQ(note, c.note);
    EXPECT_EQ(n, static_cast<int32_t>(note.size()));
    EXPECT_EQ(main_->compileState.commentStack.size(), c.open_comments);
    main_->compileState.commentStack.clear();
    std::string kept = c.line;
    main_->ExtractNote(kept, &note, 7, false);
    EXPECT_EQ(kept, c.line);
    main_->compileState.commentStack.clear();
  }
  EXPECT_EQ(main_->compileState.warningCount, 0);
  EXPECT_EQ(ErrorFile(), "");
}

TEST_F(CompileOpsTest, CloseWithoutOpenIsReportedNotCounted) {
  std::string line = "x=1 */ y", note;
  EXPECT_EQ(main_->ExtractNote(line, &note, 4, true), 0);
  EXPECT_EQ(note, "");
  EXPECT_EQ(main_->compileState.errorCount, 0);
  EXPECT_EQ(ErrorFile(), "[Error]main.vts(4): 找不到匹配的起始注释/*, x=1 */ y\r\n");
}

// A "/*" inside a "//" comment opens a block comment: the next lines are
// comment until "*/". The line that opened it gets a hint in the log; the
// counts and the error file are as without it.
TEST_F(CompileOpsTest, BlockCommentOpenedInsideLineCommentHintsInTheLog) {
  frame_test::CapturedLog log;
  std::string line = "x = 1 // see /* here", note;
  main_->ExtractNote(line, &note, 3, true);
  EXPECT_EQ(line, "x = 1 ");
  EXPECT_EQ(note, " here");
  ASSERT_EQ(main_->compileState.commentStack, std::vector<int32_t>{3});
  EXPECT_EQ(main_->compileState.warningCount, 0);
  EXPECT_EQ(main_->compileState.errorCount, 0);
  EXPECT_EQ(ErrorFile(), "");
  EXPECT_NE(log.Text().find("[Hint]main.vts(3): //注释中的/*开始了块注释, x = 1 // see /* here"),
            std::string::npos)
      << log.Text();
  std::string next = "still comment */ y = 2";
  main_->ExtractNote(next, &note, 4, true);
  EXPECT_TRUE(main_->compileState.commentStack.empty());
  EXPECT_EQ(main_->compileState.warningCount, 0);
}

// --- line shapes ------------------------------------------------------------

TEST_F(CompileOpsTest, ClassifyLineShapes) {
  struct Case {
    const char* line;
    int32_t shape;
    const char* name;
    const char* index;
    size_t call_offset;
  } cases[] = {
      {"Play(\"a.wav\")", 1, "Play", "", 0},
      {"x = Play(1)", 2, "x", "", 3},
      {"x[k]=Dial(1)", 2, "x", "k", 5},
      {"x = 5", -1, "x", "", 0},
      {"x == 5", -1, "x", "", 0},
      {"x[\"k\"] = 5", -1, "x", "\"k\"", 0},
      {"const x = 5", -2, "x", "", 0},
      {"x++", -3, "x", "", 0},
      {"x - 1", -3, "x", "", 0},
      {"--x", -3, "", "", 0},
      {"x", 0, "", "", 0},
      {"x y", 0, "", "", 0},
      {"\"abc\"", 0, "", "", 0},
      {"   ", 0, "", "", 0},
      {"x[a+1] = 5", 0, "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    size_t offset = 99;
    std::string name = "stale", index = "stale";
    EXPECT_EQ(main_->ClassifyLine(c.line, &offset, &name, &index), c.shape);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(offset, c.call_offset);
  }
}

// --- argument lists -----------------------------------------------------------

TEST_F(CompileOpsTest, SplitArgsTable) {
  struct Case {
    const char* text;
    char separator;
    char terminator;
    int32_t result;
    std::vector<std::string> slots;
  } cases[] = {
      {"a, b)", ',', ')', 2, {"a", " b"}},
      {")", ',', ')', 0, {}},
      {"", ',', ')', 0, {}},
      {"x);", ',', ')', 1, {"x"}},
      {"=x, 1)", ',', ')', 2, {"x", " 1"}},
      {"\"a)b,c\", d)", ',', ')', 2, {"\"a)b,c\"", " d"}},
      {"\"a\\\",b\", d)", ',', ')', 2, {"\"a\\\",b\"", " d"}},
      {"a*(b+c))", ',', ')', 1, {"a*(b+c)"}},
      {"a,,b)", ',', ')', TagTelBasic::kArgsEmpty, {}},
      {"a, ,b)", ',', ')', TagTelBasic::kArgsEmpty, {}},
      {"\"a,b)", ',', ')', TagTelBasic::kArgsOpenString, {}},
      {"a, \"b\\\")", ',', ')', TagTelBasic::kArgsOpenString, {}},
      {"{a)", ',', ')', TagTelBasic::kArgsBrace, {}},
      {"a, \"{\")", ',', ')', 2, {"a", " \"{\""}},
      {"a + b;", ';', ';', 1, {"a + b"}},
      {"a + b; rest", ';', ';', 1, {"a + b"}},
      {"a + b", ';', ';', TagTelBasic::kArgsNoTerminator, {}},
      {"a; b;", ';', ';', 2, {"a", "b"}},
      {"x=0; x<3; x++)", ';', ')', 3, {"x=0", "x<3", " x++"}},
      {"a > 1)", ';', '\0', 1, {"a > 1"}},
      {"a+{b}+c;", '+', ';', 3, {"a", "{b}", "c"}},
      {"a+b+c", '+', ';', TagTelBasic::kArgsNoTerminator, {}},
      {"  i=0  i<3\ti++ ", ' ', '\0', 3, {"i=0", "i<3", "i++"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> slots{"stale"};
    const int32_t r = TagTelBasic::SplitArgs(c.text, &slots, c.separator, c.terminator);
    EXPECT_EQ(r, c.result);
    if (r >= 0) {
      EXPECT_EQ(slots, c.slots);
    }
  }
}

TEST_F(CompileOpsTest, SplitArgsBoundsCountAndSize) {
  auto list = [](int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += (i ? "," : "") + std::to_string(i);
    return text + ")";
  };
  std::vector<std::string> slots;
  EXPECT_EQ(TagTelBasic::SplitArgs(list(40), &slots, ',', ')'), 40);
  EXPECT_EQ(slots.back(), "39");
  EXPECT_EQ(TagTelBasic::SplitArgs(list(41), &slots, ',', ')'), TagTelBasic::kArgsTooMany);
  EXPECT_LE(slots.size(), 40u);
  const std::string fits(TagTelBasic::kArgBytes, 'a');
  EXPECT_EQ(TagTelBasic::SplitArgs(fits + ",b)", &slots, ',', ')'), 2);
  EXPECT_EQ(slots[0].size(), TagTelBasic::kArgBytes);
  const std::string too_long(TagTelBasic::kArgBytes + 1, 'a');
  EXPECT_EQ(TagTelBasic::SplitArgs(too_long + ",b)", &slots, ',', ')'), TagTelBasic::kArgsTooLong);
  EXPECT_EQ(TagTelBasic::SplitArgs("b," + too_long + ")", &slots, ',', ')'),
            TagTelBasic::kArgsTooLong);
}

// --- operands and the constant pool ----------------------------------------------

TEST_F(CompileOpsTest, LiteralsArePooledPerKindAndValue) {
  struct Use {
    int32_t kind;
    const char* text;
    int pool;  // which of the distinct constants it must give
  } uses[] = {
      {kOperandInteger, "5", 0},   {kOperandInteger, "5", 0},  {kOperandInteger, "05", 0},
      {kOperandDecimal, "5.0", 1}, {kOperandDecimal, "5.", 1}, {kOperandString, "5", 2},
      {kOperandString, "5", 2},    {kOperandString, "", 3},    {kOperandInteger, "-5", 4},
  };
  const int32_t before = main_->variableCount;
  std::vector<TagVar*> pool(5, nullptr);
  for (const Use& u : uses) {
    SCOPED_TRACE(u.text);
    TagVar* v = nullptr;
    const int32_t i = main_->ResolveOperand(ExprOperand{u.kind, u.text}, &v);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(main_->allVariables.at(i), v);
    EXPECT_EQ(main_->FindConstant(u.kind, u.text), i);
    if (pool[u.pool] == nullptr) pool[u.pool] = v;
    EXPECT_EQ(v, pool[u.pool]);
    EXPECT_EQ(v->readOnly, 1);
    EXPECT_STREQ(v->name(), "");
    EXPECT_EQ(v->kind, u.kind);
  }
  EXPECT_EQ(main_->variableCount, before + 5);
  EXPECT_EQ(pool[0]->intValue, 5);
  EXPECT_EQ(pool[1]->floatValue, 5.0);
  EXPECT_EQ(pool[2]->Bytes(), "5");
  EXPECT_EQ(pool[4]->intValue, -5);
  // A function keeps a pool of its own.
  TagTelBasic* f = AddFunction("f");
  TagVar* v = nullptr;
  EXPECT_EQ(f->FindConstant(kOperandInteger, "5"), kNotFound);
  f->ResolveOperand(ExprOperand{kOperandInteger, "5"}, &v);
  EXPECT_NE(v, pool[0]);
  // Names are looked up, never created; an absent operand resolves to nothing.
  EXPECT_EQ(main_->ResolveOperand(ExprOperand{kOperandName, "nope"}, &v), kNotFound);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(main_->ResolveOperand(ExprOperand{}, &v), kNotFound);
  EXPECT_EQ(main_->FindOwnVariable("nope"), kNotFound);
}

TEST_F(CompileOpsTest, FunctionSeesParamsThenOwnThenMain) {
  TagVar* main_x = Declare(*main_, "x");
  TagVar* main_y = Declare(*main_, "y");
  TagTelBasic* f = AddFunction("f");
  EXPECT_EQ(f->AddParam("x"), 1);
  TagVar* v = nullptr;
  EXPECT_EQ(f->FindVariable("x", &v), TagTelBasic::kParamIndexBase + 0);
  EXPECT_EQ(v, &f->params[0]);
  EXPECT_NE(v, main_x);
  EXPECT_EQ(f->FindVariable("y", &v), TagTelBasic::kOwnerIndexBase + main_->FindOwnVariable("y"));
  EXPECT_EQ(v, main_y);
  EXPECT_EQ(f->FindVariable("_retVal", &v), kRetValIndex);
  EXPECT_EQ(v, f->allVariables.at(kRetValIndex));
  EXPECT_NE(v, main_->allVariables.at(kRetValIndex));
  EXPECT_EQ(f->FindVariable("", &v), kNotFound);
  EXPECT_EQ(v, nullptr);
  // The main script never sees a function's parameters or variables.
  Declare(*f, "local");
  EXPECT_EQ(main_->FindVariable("local", &v), kNotFound);
  EXPECT_EQ(main_->FindParam("x"), kNotFound);
  // A pooled constant (empty name) is never found by name.
  main_->ResolveOperand(ExprOperand{kOperandInteger, "1"}, &v);
  EXPECT_EQ(main_->FindOwnVariable(""), kNotFound);
}

TEST_F(CompileOpsTest, ParamsStopAtForty) {
  TagTelBasic* f = AddFunction("f");
  for (int i = 0; i < kMaxParams; ++i) EXPECT_EQ(f->AddParam("p" + std::to_string(i)), i + 1);
  EXPECT_EQ(f->AddParam("extra"), -1);
  EXPECT_EQ(f->paramCount, kMaxParams);
  EXPECT_EQ(f->FindParam("p39"), 39);
  EXPECT_EQ(f->FindParam("extra"), kNotFound);
}

// --- assignments and increments ---------------------------------------------

// Lines compile in file order: a function body writes the main script's
// variable when the main script has it already, else makes its own.
TEST_F(CompileOpsTest, FunctionBodyAssignsMainVariableThatExists) {
  TagVar* total = Declare(*main_, "total");
  TagTelBasic* f = AddFunction("f");
  TagVar *dest, *left, *right;
  char op;
  bool created = true;
  ASSERT_EQ(f->ParseAssign(2, "total = 5", &dest, &left, &op, &right, "n", &created), 0);
  EXPECT_EQ(dest, total);
  EXPECT_FALSE(created);
  ASSERT_EQ(f->ParseAssign(3, "later = 1", &dest, &left, &op, &right, "n", &created), 0);
  EXPECT_TRUE(created);
  EXPECT_GE(f->FindOwnVariable("later"), 0);
  EXPECT_EQ(main_->FindOwnVariable("later"), kNotFound);
  TagVar* main_later = Declare(*main_, "later");
  EXPECT_NE(main_later, dest);
  // A parameter shadows the main script's variable of that name.
  f->AddParam("total");
  ASSERT_EQ(f->ParseAssign(4, "total = 6", &dest, &left, &op, &right, "n", &created), 0);
  EXPECT_EQ(dest, &f->params[0]);
}

TEST_F(CompileOpsTest, ParseAssignResults) {
  TagVar* a = Declare(*main_, "a");
  TagVar* b = Declare(*main_, "b");
  struct Case {
    const char* text;
    int32_t result;
    char op;
    TagVar* left;  // null: a constant or nothing (checked separately)
    TagVar* right;
    const char* message;  // what the error file must then hold
  } cases[] = {
      {"x = a", 0, 0, a, nullptr, nullptr},
      {"x = a + b", 0, '+', a, b, nullptr},
      {"x[k] = a >= b", 0, 'g', a, b, nullptr},
      {"x = -b", 0, '-', nullptr, b, nullptr},
      {"x = !b", 0, '!', nullptr, b, nullptr},
      {"x = a + b + a", -2, 0, nullptr, nullptr, nullptr},
      {"x = \"a", -3, 0, nullptr, nullptr, nullptr},
      {"x = a b", -3, 0, nullptr, nullptr, nullptr},
      {"x = nope", -1, 0, nullptr, nullptr, "): 表达式中的变量没有预先赋值, nope\r\n"},
      {"x = a * nope2", -1, 0, nullptr, nullptr, "): 表达式中的变量没有预先赋值, nope2\r\n"},
      {"x = ", -1, 0, nullptr, nullptr, "): 语法错误, x = \r\n"},
      {"x = a +", -1, 0, nullptr, nullptr, "): 语法错误, x = a +\r\n"},
      {"5 = a", -1, 0, nullptr, nullptr, "): 语法错误, 5 = a\r\n"},
      {"x a", -1, 0, nullptr, nullptr, "): 语法错误, x a\r\n"},
      {"x(1) = a", -1, 0, nullptr, nullptr, "): 语法错误, x(1) = a\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TagVar *dest = nullptr, *left = nullptr, *right = nullptr;
    char op = 'z';
    bool created = false;
    EXPECT_EQ(main_->ParseAssign(1, c.text, &dest, &left, &op, &right, "", &created), c.result);
    if (c.result == 0) {
      EXPECT_EQ(dest, main_->allVariables.at(main_->FindOwnVariable("x")));
      EXPECT_EQ(op, c.op);
      EXPECT_EQ(left, c.left);
      EXPECT_EQ(right, c.right);
    }
    if (c.message != nullptr) {
      EXPECT_NE(ErrorFile().find(c.message), std::string::npos) << ErrorFile();
    }
  }
  TagVar *dest, *left, *right;
  char op;
  bool created;
  ASSERT_EQ(main_->ParseAssign(1, "y = 7", &dest, &left, &op, &right, "", &created), 0);
  EXPECT_TRUE(created);
  EXPECT_EQ(left->readOnly, 1);
  EXPECT_EQ(left->intValue, 7);
  EXPECT_EQ(right, nullptr);
  EXPECT_EQ(main_->compileState.errorCount, 0) << "errors are counted by the caller";
}

TEST_F(CompileOpsTest, IncrementsAddTheConstantOne) {
  struct Case {
    const char* text;
    char op;
  } cases[] = {{"n++", '+'}, {"--n", '-'}, {" n -- ;", '-'}, {"++ n)", '+'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TagVar *dest, *left, *right;
    char op;
    bool created;
    ASSERT_EQ(main_->ParseAssign(1, c.text, &dest, &left, &op, &right, "", &created), 0);
    EXPECT_EQ(dest, main_->allVariables.at(main_->FindOwnVariable("n")));
    EXPECT_EQ(left, dest);
    EXPECT_EQ(op, c.op);
    EXPECT_EQ(right, main_->allVariables.at(main_->FindConstant(kOperandInteger, "1")));
  }
  TagVar *dest, *left, *right;
  char op;
  bool created;
  EXPECT_EQ(main_->ParseAssign(9, "x[1]++", &dest, &left, &op, &right, "", &created), -1);
  EXPECT_EQ(ErrorFile(), "[Error]main.vts(9): 自加或自减的变量名不合法, x[1]++\r\n");
}

TEST_F(CompileOpsTest, IsIncDecTable) {
  struct Case {
    const char* text;
    bool result;
    char op;
    const char* name;
  } cases[] = {
      {"x++", true, '+', "x"},      {"x--;", true, '-', "x"},
      {"++ _a1", true, '+', "_a1"}, {"x++)", true, '+', "x"},
      {"x+1", false, 0, ""},        {"x++ + 1", false, 0, ""},
      {"\"x\"++", false, 0, ""},    {"1++", false, 0, ""},
      {"f(x)++", false, 0, ""},     {"x = y++", false, 0, ""},
      {"x*y++", false, 0, ""},      {"", false, 0, ""},
      {"x[1]++", true, 0, "x[1]"},  {"++", true, 0, ""},
      {"a+b++", true, 0, "a+b"},    {"\xb1\xe4++", true, '+', "\xb1\xe4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string name = "stale";
    char op = 'z';
    EXPECT_EQ(main_->IsIncDec(-1, c.text, &name, &op), c.result);
    EXPECT_EQ(op, c.op);
    EXPECT_EQ(name, c.name);
  }
  EXPECT_EQ(ErrorFile(), "") << "a negative line number only looks";
}

TEST_F(CompileOpsTest, SplitAssignTable) {
  struct Case {
    const char* text;
    int32_t result;
    const char* name;
    const char* index;
  } cases[] = {
      {"x = 1", 1, "x", ""},
      {"my var = 1", 5, "myvar", ""},
      {"x [ i + 1 ]  = 2", 1, "x", " i + 1 ]"},
      {"x[\"a=b\"] = 2", 1, "x", "\"a=b\"]"},
      {"x == 1", 1, "x", ""},
      {"x", 0, "", ""},
      {"= 1", 0, "", ""},
      {"\"s\" = 1", -1, "\"s\"", ""},
      {"1x = 1", -1, "1x", ""},
      {"f(x) = 1", -2, "f(x)", ""},
      {"x! = 1", -2, "x!", ""},
      {"\xb1\xe4 = 1", 2, "\xb1\xe4", ""},  // a GBK name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string name, index;
    EXPECT_EQ(TagTelBasic::SplitAssign(c.text, &name, &index), c.result);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(index, c.index);
  }
}

TEST_F(CompileOpsTest, NameTextTables) {
  struct Valid {
    const char* text;
    bool valid;
  } valid[] = {{"x", true},   {"_a1", true},  {"a.b", true}, {"", false},
               {"1a", false}, {"\"a", false}, {"a!", false}, {"a'", false},
               {"a(", false}, {"a)", false},  {"a;", false}, {"a[", false},
               {"a]", false}, {"a{", false},  {"a}", false},
               // GBK names are names, byte by byte: a trail byte that is a
               // bracket makes one invalid.
               {"a\xb0\xa1", true}, {"\xd6\xd0\xce\xc4", true}, {"\x81\x5d", false}};
  for (const Valid& c : valid) EXPECT_EQ(TagTelBasic::IsValidName(c.text), c.valid) << c.text;
  EXPECT_FALSE(TagTelBasic::IsValidName(std::string_view("a\0b", 3)));

  struct Split {
    const char* text;
    int32_t result;
    const char* name;
    const char* rest;
  } split[] = {{"my f (a, b)", 0, "myf", "a, b)"}, {"\tf(", 0, "f", ""}, {"f", -1, "", ""}};
  for (const Split& c : split) {
    std::string name, rest;
    EXPECT_EQ(TagTelBasic::SplitName(c.text, &name, &rest), c.result) << c.text;
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(rest, c.rest);
  }

  struct Quoted {
    const char* text;
    int32_t result;
    const char* name;
  } quoted[] = {{" \"lib.vts\"", 0, "lib.vts"},
                {"<lib.vts>", 0, "lib.vts"},
                {"<a\"", 0, "a"},
                {"\"a>b\"", 0, "a"},
                {"lib.vts", -1, ""},
                {"", -1, ""},
                {"\"lib.vts", -2, ""},
                {"<", -2, ""}};
  for (const Quoted& c : quoted) {
    std::string name;
    EXPECT_EQ(TagTelBasic::QuotedName(c.text, &name), c.result) << c.text;
    EXPECT_EQ(name, c.name);
  }
}

// --- arguments through the expression compiler ----------------------------------

class FakeExpression : public TagOper {
 public:
  int32_t Execute() override { return 0; }
};

// Compiles any text into a fake instruction list and a new temporary; a
// text holding "bad" fails, one holding "warn" warns.
TagOper* TestExpressionCompiler(TagTelBasic& script, int32_t, std::string_view text,
                                std::string_view temp_name, TagVar** result, std::string* error,
                                std::string* warning) {
  if (text.find("bad") != std::string_view::npos) {
    *error = "表达式错误";
    return nullptr;
  }
  if (text.find("warn") != std::string_view::npos) *warning = "表达式警告";
  script.DeclareVariable(temp_name, result, "");
  return new FakeExpression;
}

class ScopedExpressionCompiler {
 public:
  explicit ScopedExpressionCompiler(ExpressionCompiler c) : old_(GetExpressionCompiler()) {
    SetExpressionCompiler(c);
  }
  ~ScopedExpressionCompiler() { SetExpressionCompiler(old_); }

 private:
  ExpressionCompiler old_;
};

TEST_F(CompileOpsTest, ParseArgsResolvesNamesAndLiterals) {
  ScopedExpressionCompiler none(nullptr);
  TagVar* x = Declare(*main_, "x");
  std::vector<std::string> slots;
  ASSERT_EQ(TagTelBasic::SplitArgs("=x, \"a\", 5)", &slots, ',', ')'), 3);
  std::vector<TagVar*> args;
  ASSERT_EQ(main_->ParseArgs(1, "Play(=x, \"a\", 5)", 3, slots, &args), 0);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[0], x);
  EXPECT_EQ(args[1]->Bytes(), "a");
  EXPECT_EQ(args[2]->intValue, 5);
  EXPECT_TRUE(main_->compileState.pendingExpressions.empty());

  EXPECT_EQ(main_->ParseArgs(2, "Play(nope)", 1, {"nope"}, &args), -1);
  EXPECT_EQ(main_->ParseArgs(3, "Play(\"a)", 1, {"\"a"}, &args), -1);
  // Without an expression compiler an expression argument cannot compile.
  EXPECT_EQ(main_->ParseArgs(4, "Play(x+1)", 1, {"x+1"}, &args), -1);
  EXPECT_EQ(ErrorFile(),
            "[Error]main.vts(2): 表达式中的变量没有预先赋值, nope\r\n"
            "[Error]main.vts(3): 语法错误: 字符串没有结束, Play(\"a)\r\n"
            "[Error]main.vts(4): 语法错误, Play(x+1)\r\n");
  EXPECT_EQ(main_->compileState.errorCount, 0);
}

TEST_F(CompileOpsTest, ParseArgsCompilesExpressionsIntoTemporaries) {
  ScopedExpressionCompiler installed(TestExpressionCompiler);
  TagVar* x = Declare(*main_, "x");
  TagTelBasic* f = AddFunction("f");
  main_->NewTempName();  // the counter is the main script's: the function takes the next
  std::vector<TagVar*> args;
  ASSERT_EQ(f->ParseArgs(1, "Play(x * 2, x, a+b+c)", 3, {" x * 2", "x", "a+b+c"}, &args), 0);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_STREQ(args[0]->name(), "__m1");
  EXPECT_EQ(args[1], x);
  EXPECT_STREQ(args[2]->name(), "__m2");
  EXPECT_EQ(f->FindOwnVariable("__m1"), f->FindVariable("__m1", nullptr));
  EXPECT_EQ(f->compileState.pendingExpressions.size(), 2u);
  EXPECT_EQ(main_->compileState.tempCounter, 3);
  // Expressions of a line that never became a statement are dropped by the next one.
  ASSERT_EQ(f->ParseArgs(2, "Play(x+1)", 1, {"x+1"}, &args), 0);
  EXPECT_EQ(f->compileState.pendingExpressions.size(), 1u);
  EXPECT_EQ(main_->compileState.warningCount, 0);

  ASSERT_EQ(f->ParseArgs(3, "Play(x+warn)", 1, {"x+warn"}, &args), 0);
  EXPECT_EQ(main_->compileState.warningCount, 1);
  EXPECT_EQ(f->ParseArgs(4, "Play(x+bad)", 1, {"x+bad"}, &args), -1);
  EXPECT_EQ(main_->compileState.errorCount, 0);
  EXPECT_EQ(ErrorFile(),
            "[Warning]main.vts(3): 表达式警告, Play(x+warn)\r\n"
            "[Error]main.vts(4): 表达式错误, Play(x+bad)\r\n");
}

// --- functions, callers, temporaries ------------------------------------------

TEST_F(CompileOpsTest, CallersAreRecordedAndRemoved) {
  TagTelBasic* f = AddFunction("f");
  TagTelBasic* g = AddFunction("g");
  TagVar* v = nullptr;
  main_->ResolveOperand(ExprOperand{kOperandName, "f"}, &v);
  main_->ResolveOperand(ExprOperand{kOperandName, "f"}, &v);
  g->ResolveOperand(ExprOperand{kOperandName, "f"}, &v);
  f->ResolveOperand(ExprOperand{kOperandName, "f"}, &v);  // a self-call is no caller
  ASSERT_EQ(v->function, f);
  EXPECT_EQ(f->callers, (std::map<std::string, int32_t>{{"_main_", 2}, {"g", 1}}));
  EXPECT_EQ(f->AddCaller("g"), 2);
  EXPECT_EQ(f->AddCaller("f"), 0);
  f->ResolveOperand(ExprOperand{kOperandName, "g"}, &v);
  EXPECT_EQ(g->callers, (std::map<std::string, int32_t>{{"f", 1}}));

  g->RemoveCaller("g");  // through the main script's list, from any script
  EXPECT_EQ(f->callers, (std::map<std::string, int32_t>{{"_main_", 2}}));
  EXPECT_EQ(g->callers.size(), 1u);

  TagTelBasic* found = nullptr;
  EXPECT_EQ(g->FindFunction("f", &found), 0);
  EXPECT_EQ(found, f);
  EXPECT_EQ(main_->FindFunction("h", &found), kNotFound);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(main_->FindFunctionIndex("g"), 1);
  EXPECT_EQ(f->FindFunctionIndex("g"), kNotFound);
}

TEST_F(CompileOpsTest, TemporariesShareTheMainCounter) {
  TagTelBasic* f = AddFunction("f");
  EXPECT_EQ(main_->NewTempName(), "__m0");
  EXPECT_EQ(f->NewTempName(), "__m1");
  EXPECT_EQ(main_->NewTempName(), "__m2");
  EXPECT_EQ(f->compileState.tempCounter, 0);
}

TEST_F(CompileOpsTest, RetValAndKeywordMatch) {
  EXPECT_EQ(main_->SetRetVal(Int(42)), 42);
  EXPECT_EQ(main_->allVariables.at(kRetValIndex)->intValue, 42);
  EXPECT_EQ(main_->SetRetVal(Str("abc")), 4);
  EXPECT_EQ(main_->allVariables.at(kRetValIndex)->Bytes(), "abc");

  std::string keyword = "stale";
  size_t length = 99;
  EXPECT_EQ(main_->MatchLineKeyword("Play (\"a\")", &keyword, &length), 90);
  EXPECT_EQ(keyword, "Play(");
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(main_->MatchLineKeyword("x = 1", &keyword, &length), kNoKeyword);
  EXPECT_EQ(keyword, "");
  EXPECT_EQ(length, 0u);
}

// --- any input --------------------------------------------------------------

TEST_F(CompileOpsTest, FuzzLinesThroughEveryTextOperation) {
  static const char kAlphabet[] = " \t\r\n\"\\;(){}<>=!~+-*/%[],.'_#0159axyPlay\xb0\xa1";
  // Messages are lost quickly: the error file cannot be opened.
  std::filesystem::create_directory(dir_.File("errmsg0.txt"));
  std::mt19937 rng(20240611);
  std::unique_ptr<TagTelBasic> script;
  std::string line, text, note, name, index, rest;
  std::vector<std::string> slots;
  for (int i = 0; i < 100000; ++i) {
    // A fresh script now and then keeps the variable lists short.
    if (i % 2000 == 0) script = std::make_unique<TagTelBasic>("fuzz.vts", "_main_", nullptr);
    line.clear();
    const size_t n = rng() % (i % 500 == 0 ? 1100 : 24);
    for (size_t k = 0; k < n; ++k) line.push_back(kAlphabet[rng() % (sizeof kAlphabet - 1)]);
    text = line;
    script->ExtractNote(text, &note, i, (i & 1) != 0);
    if (script->compileState.commentStack.size() > 8) script->compileState.commentStack.clear();
    size_t offset = 0;
    script->ClassifyLine(line, &offset, &name, &index);
    ASSERT_LE(offset, line.size());
    static const char kSeparators[] = {',', ';', '+', ' '};
    static const char kTerminators[] = {')', ';', '\0'};
    const int32_t count =
        TagTelBasic::SplitArgs(line, &slots, kSeparators[rng() % 4], kTerminators[rng() % 3]);
    ASSERT_LE(count, kMaxArgs);
    for (const std::string& s : slots) ASSERT_LE(s.size(), TagTelBasic::kArgBytes);
    char op = 0;
    script->IsIncDec(-1, line, &name, &op);
    TagTelBasic::SplitAssign(line, &name, &index);
    TagTelBasic::SplitName(line, &name, &rest);
    TagTelBasic::QuotedName(line, &name);
    TagTelBasic::IsValidName(line);
    TagVar *dest, *left, *right;
    bool created;
    script->ParseAssign(i, line, &dest, &left, &op, &right, "", &created);
    if (count > 0) {
      std::vector<TagVar*> args;
      script->ParseArgs(i, line, count, slots, &args);
    }
  }
}

}  // namespace
}  // namespace engine
