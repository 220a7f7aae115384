#include "engine/complex_expre.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/expression_hook.h"
#include "engine/tel_basic.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"
#include "tests/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime calls these hooks on every allocation (malloc and
// operator new alike); g++ ships no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t), void (*free_hook)(const volatile void*));
#define VTTEL_COUNTS_ALLOCATIONS 1
#endif

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

constexpr char kPath[] = "test.vts";

class ComplexExpreTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    script_ = std::make_unique<TagTelBasic>(kPath, "expr_test", nullptr);
  }
  void TearDown() override {
    for (TagVar* v : script_->allVariables) {
      if (v != nullptr) v->ReleaseMap();
    }
    script_.reset();
    MapCheckTest::TearDown();
  }

  // The script variable name, holding value.
  TagVar* Set(std::string_view name, const TagVar& value) {
    TagVar* v = nullptr;
    script_->DeclareVariable(name, &v, "");
    v->Assign(value);
    return v;
  }
  TagVar* Find(std::string_view name) {
    TagVar* v = nullptr;
    script_->FindVariable(name, &v);
    return v;
  }

  // Compiles text into x (or x[index]); null when it failed.
  std::unique_ptr<TagExpre> Compile(std::string_view text, TagVar* index = nullptr) {
    error_.clear();
    warning_.clear();
    return std::unique_ptr<TagExpre>(
        CompileExpression(*script_, text, "x", index, "", &error_, &warning_));
  }

  std::unique_ptr<TagTelBasic> script_;
  std::string error_, warning_;
};

struct ValueCase {
  const char* text;
  int32_t value;
  int32_t instructions;  // TagExpre's result
};

TEST_F(ComplexExpreTest, PrecedenceAndAssociativity) {
  Set("a", Int(2));
  Set("b", Int(3));
  const ValueCase cases[] = {
      {"1 || 0 && 0", 0, 2},      // one level, left to right: (1 || 0) && 0
      {"0 && 1 || 1", 1, 2},
      {"5 & 4 == 4", 1, 2},       // 5 & (4 == 4)
      {"1 | 2 ^ 3", 0, 2},        // (1 | 2) ^ 3
      {"6 & 3 | 8", 10, 2},
      {"2 + 3 * 4", 14, 2},
      {"(2 + 3) * 4", 20, 2},
      {"1 << 2 + 1", 8, 2},       // 1 << (2 + 1)
      {"1 + 2 == 3", 1, 2},
      {"1 < 2 && 3 > 2 || 0", 1, 4},
      {"10 - 4 - 3", 3, 2},
      {"100 / 10 / 5", 2, 2},
      {"2 * 3 % 4", 2, 2},
      {"-a + b", 1, 2},           // (-a) + b
      {"-a * b", -6, 2},
      {"2 + -3", -1, 2},
      {"!0 + 1", 2, 2},
      {"~0 & 7", 7, 2},
      {"-(a + b) * 2", -10, 3},
      {"((a))", 2, 1},            // a copy
      {"a >= 2 != 0", 1, 2},
      {"7 / 2", 3, 1},
      {"-7 % 2", -1, 2},
      {"256 >> 4", 16, 1},
      {"-16 >> 2", -4, 2},
      {"a; b", 2, 1},             // ";" ends the expression
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    auto expre = Compile(c.text);
    ASSERT_NE(expre, nullptr) << error_;
    EXPECT_EQ(error_, "");
    EXPECT_EQ(expre->InstructionCount(), c.instructions);
    EXPECT_EQ(expre->Execute(), c.instructions);
    TagVar* x = expre->ResultVariable();
    ASSERT_EQ(x, Find("x"));
    EXPECT_EQ(x->kind, kVarInt);
    EXPECT_EQ(x->intValue, c.value);
  }
}

TEST_F(ComplexExpreTest, OperandKindsThroughWholeExpressions) {
  Set("y", Flt(2.5));
  Set("s", Str("ab"));
  TagVar* m = Set("m", TagVar());
  m->Element(Int(1))->Element(Int(2))->SetString("deep");

  auto expre = Compile("-y");  // a float is negated as a float
  ASSERT_NE(expre, nullptr) << error_;
  expre->Execute();
  EXPECT_EQ(Find("x")->kind, kVarFloat);
  EXPECT_DOUBLE_EQ(Find("x")->floatValue, -2.5);

  expre = Compile("s * 3 + \"a+b*c\"");  // a literal with operators is one operand
  ASSERT_NE(expre, nullptr) << error_;
  expre->Execute();
  EXPECT_EQ(Find("x")->Bytes(), "abababa+b*c");

  expre = Compile("7.0 / 2 + 1");
  ASSERT_NE(expre, nullptr) << error_;
  expre->Execute();
  EXPECT_DOUBLE_EQ(Find("x")->floatValue, 4.5);

  // m[i][j] reads two levels through two instructions.
  expre = Compile("m[1][2]");
  ASSERT_NE(expre, nullptr) << error_;
  EXPECT_EQ(expre->Execute(), 2);
  EXPECT_EQ(Find("x")->Bytes(), "deep");

  // An absent key reads NULL and creates nothing.
  expre = Compile("m[5 + 1]");
  ASSERT_NE(expre, nullptr) << error_;
  expre->Execute();
  EXPECT_EQ(Find("x")->kind, kVarNull);
  EXPECT_EQ(m->Length(), 1);

  // A string of letters equals 0.
  expre = Compile("s == 0");
  ASSERT_NE(expre, nullptr) << error_;
  expre->Execute();
  EXPECT_EQ(Find("x")->intValue, 1);

  // Both sides of "&&" are computed: the temporary of the right side holds
  // its value although the left side is 0.
  expre = Compile("0 && (40 + 2)");
  ASSERT_NE(expre, nullptr) << error_;
  EXPECT_EQ(expre->Execute(), 2);
  EXPECT_EQ(Find("x")->intValue, 0);
  EXPECT_EQ(expre->instructions()[0].dest->intValue, 42);
}

TEST_F(ComplexExpreTest, SingleEqualsComparesWithAWarning) {
  Set("a", Int(4));
  Set("b", Int(4));
  auto expre = Compile("(a = b) + 1");
  ASSERT_NE(expre, nullptr) << error_;
  EXPECT_EQ(warning_, "'='比较将来可能不再支持, 在表达式中最好使用'=='表示等于比较");
  expre->Execute();
  EXPECT_EQ(Find("x")->intValue, 2);

  expre = Compile("a == b");
  ASSERT_NE(expre, nullptr);
  EXPECT_EQ(warning_, "");
}

TEST_F(ComplexExpreTest, IndexedDestinationAndTemporaries) {
  Set("a", Int(1));
  Set("b", Int(2));
  Set("c", Int(3));
  TagVar* k = Set("k", Str("key"));
  const int32_t counter = script_->compileState.tempCounter;

  auto expre = Compile("a + b * c", k);
  ASSERT_NE(expre, nullptr) << error_;
  // Two temporaries were named; the one the last instruction would have
  // written is gone again, the other is a script variable.
  EXPECT_EQ(script_->compileState.tempCounter, counter + 2);
  const std::string kept = "__m" + std::to_string(counter);
  const std::string dropped = "__m" + std::to_string(counter + 1);
  EXPECT_GE(script_->FindOwnVariable(kept), 0);
  EXPECT_LT(script_->FindOwnVariable(dropped), 0);
  EXPECT_EQ(expre->instructions().back().destIndex, k);

  const int32_t variables = script_->allVariables.count();
  expre->Execute();
  expre->Execute();
  EXPECT_EQ(script_->allVariables.count(), variables);  // no temporary per run
  TagVar* x = Find("x");
  ASSERT_EQ(x->kind, kVarMap);
  EXPECT_EQ(x->GetElement(*k)->intValue, 7);

  // A single operand compiles to one copy.
  expre = Compile("(c)", k);
  ASSERT_NE(expre, nullptr) << error_;
  EXPECT_EQ(expre->InstructionCount(), 1);
  EXPECT_EQ(expre->instructions()[0].opcode, kOpCopy);
  expre->Execute();
  EXPECT_EQ(x->GetElement(*k)->intValue, 3);
}

TEST_F(ComplexExpreTest, TokenizerCountsOnlyPlusChains) {
  const struct {
    const char* text;
    int32_t tokens;
    bool only_plus;
  } cases[] = {
      {"a + b + c + d", 7, true},
      {"a+b+c+d", 7, true},
      {"a + b + c", 5, false},          // two "+" only
      {"a + b - c + d + e", 9, false},
      {"\"x+y+z\" + a + b", 5, false},  // "+" inside a string does not count
      {"a + b + c + (d)", 9, false},
      {"a >= b", 3, false},
      {"a = b", 3, false},
      {"", 0, false},
      {"1 + 12ab", -1, false},
      {"1.5.5 + x", 3, false},
      {"\"a\"b", -1, false},
      {"a\"b\"", -1, false},
      {"\"a\\\"b\" + c", 3, false},     // an escaped quote stays in the string
  };
  for (const auto& c : cases) {
    TagComplexExpre tokens(c.text);
    EXPECT_EQ(tokens.TokenCount(), c.tokens) << c.text;
    EXPECT_EQ(tokens.OnlyPlus(), c.only_plus) << c.text;
  }
  TagComplexExpre pairs("a<=b<<c!=d||e&&f>>g>=h==i");
  std::vector<std::string> ops;
  for (const TagToken& t : pairs.tokens()) {
    if (t.kind == kTokenOperator) ops.push_back(t.text);
  }
  EXPECT_EQ(ops, (std::vector<std::string>{"<=", "<<", "!=", "||", "&&", ">>", ">=", "=="}));
}

// The error file entry of a rejected expression, reported as the compile
// operations report it: the whole error text once, the line as detail.
class ComplexExpreErrorTest : public ComplexExpreTest {
 protected:
  void SetUp() override {
    ComplexExpreTest::SetUp();
    chdir_ = std::make_unique<ScopedChdir>(dir_.path());
  }
  void TearDown() override {
    chdir_.reset();
    ComplexExpreTest::TearDown();
  }

  // Compiles text; reports a failure the way the caller does; returns the
  // error file's contents.
  std::string ReportedText(std::string_view text) {
    std::remove(ErrorFileName(script_->lineNo).c_str());
    auto expre = Compile(text);
    if (!error_.empty()) script_->ReportError(7, error_, text, false);
    EXPECT_EQ(expre == nullptr, !error_.empty());
    return ReadFile(dir_.File(ErrorFileName(script_->lineNo))).value_or("");
  }

  TempDir dir_;
  std::unique_ptr<ScopedChdir> chdir_;
};

TEST_F(ComplexExpreErrorTest, RejectedExpressionsReportTheirTexts) {
  Set("a", Int(1));
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "语法错误, 表达式为空！"},
      {"  ", "语法错误, 表达式为空！"},
      {"1 + 12ab", "语法错误, 缺少操作符!"},
      {"1 + 0x10", "语法错误, 缺少操作符!"},
      {"1 + 中", "语法错误, 缺少操作符!"},  // a byte above 128 outside quotes
      {"\"ab\"c + 1", "语法错误, 缺少操作符!"},
      {"a\"b\" + 1", "语法错误, 缺少操作符!"},
      {"a 1 + 2", "语法错误, 缺少操作符:a 1"},
      {"1 + f(a)", "复杂表达式内暂不支持函数调用 "},
      {"1 + nope * 2", "表达式中的变量没有预先赋值:nope"},
      {"nope1 + nope2", "表达式中的变量没有预先赋值:nope1表达式中的变量没有预先赋值:nope2"},
      {"nope", "表达式中的变量没有预先赋值:nope"},
      {"+a", "表达式中的变量没有预先赋值:+a"},
      {"1 + 2 )", ")没有匹配的括号 "},
      {"a[1] ]", "]没有匹配的括号 "},
      {"(1 + 2", "(没有匹配的括号 "},
      {"a[1", "[没有匹配的括号 "},
      {"(1 + 2]", "]没有匹配的括号 (没有匹配的括号 "},
      {"1 +", "语法错误:1+"},
      {"a.b + 1", "语法错误"},
      {"a ! 1", "语法错误:!"},
  };
  for (const auto& c : cases) {
    // An entry without detail ends with an empty line.
    const std::string detail = *c.text != '\0' ? std::string(", ") + c.text + "\r\n" : "\r\n\r\n";
    const std::string expected = std::string("[Error]") + kPath + "(7): " + c.message + detail;
    EXPECT_EQ(ReportedText(c.text), expected) << c.text;
  }
}

// The compile operations compile an argument expression through the hook.
TEST_F(ComplexExpreErrorTest, ArgumentsCompileThroughTheCompileOperations) {
  const ExpressionCompiler previous = GetExpressionCompiler();
  RegisterExpressionCompiler();
  Set("a", Int(5));
  Set("b", Int(6));
  std::vector<TagVar*> args;
  ASSERT_EQ(script_->ParseArgs(3, "Foo(a, a + b * 2)", 2, {"a", "a + b * 2"}, &args), 0);
  ASSERT_EQ(args.size(), 2u);
  ASSERT_EQ(script_->compileState.pendingExpressions.size(), 1u);
  EXPECT_EQ(script_->compileState.pendingExpressions[0]->Execute(), 2);
  EXPECT_EQ(args[1]->intValue, 17);
  EXPECT_EQ(std::string(args[1]->name()).rfind("__m", 0), 0u);

  EXPECT_EQ(script_->ParseArgs(4, "Foo(1 + f(a))", 1, {"1 + f(a)"}, &args), -1);
  EXPECT_EQ(ReadFile(dir_.File(ErrorFileName(script_->lineNo))).value_or(""),
            std::string("[Error]") + kPath + "(4): 复杂表达式内暂不支持函数调用 , Foo(1 + f(a))\r\n");
  SetExpressionCompiler(previous);
}

#if defined(VTTEL_COUNTS_ALLOCATIONS)
thread_local bool counting_allocations = false;
std::atomic<long> allocations{0};

void CountMalloc(const volatile void*, size_t) {
  if (counting_allocations) allocations.fetch_add(1, std::memory_order_relaxed);
}
void IgnoreFree(const volatile void*) {}

bool InstallAllocationCounter() {
  static const bool installed =
      __sanitizer_install_malloc_and_free_hooks(&CountMalloc, &IgnoreFree) != 0;
  return installed;
}
#endif

// Evaluating a compiled expression over integers and floats allocates
// nothing and creates no variable: its temporaries are reused.
TEST_F(ComplexExpreTest, EvaluationOfNumbersDoesNotAllocate) {
#if defined(VTTEL_COUNTS_ALLOCATIONS)
  ASSERT_TRUE(InstallAllocationCounter());
  Set("a", Int(7));
  Set("b", Int(3));
  Set("c", Flt(1.5));
  Set("d", Int(-9));
  TagVar* k = Set("k", Int(4));
  const char* texts[] = {
      "a * b + c - (d << 2) / 3 >= a && b || !d",
      "(a + b) * (a - b) % 5 ^ ~d | a & 3",
      "-c * 2.5 / (b + 0.25) - -a",
      "a / 0 + d % 0",
  };
  for (const char* text : texts) {
    for (TagVar* index : {static_cast<TagVar*>(nullptr), k}) {
      auto expre = Compile(text, index);
      ASSERT_NE(expre, nullptr) << text << ": " << error_;
      expre->Execute();  // an indexed target gets its element once
      const int32_t variables = script_->allVariables.count();
      allocations.store(0);
      counting_allocations = true;
      for (int i = 0; i < 1000; ++i) expre->Execute();
      counting_allocations = false;
      EXPECT_EQ(allocations.load(), 0) << text;
      EXPECT_EQ(script_->allVariables.count(), variables) << text;
    }
  }
#else
  GTEST_SKIP() << "allocation hooks need the sanitizer build";
#endif
}

}  // namespace
}  // namespace engine
