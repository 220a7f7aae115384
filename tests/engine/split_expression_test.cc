#include "engine/split_expression.h"

#include <gtest/gtest.h>

#include <string>

namespace engine {
namespace {

struct SplitCase {
  std::string text;
  int result = 0;
  int left_kind = kOperandNone;
  std::string left = {};
  char op = 0;
  int right_kind = kOperandNone;
  std::string right = {};
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.text; }

class SplitExpressionTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitExpressionTest, Splits) {
  const SplitCase& c = GetParam();
  ExprOperand left, right;
  char op = 'X';
  std::string message;
  int r = SplitExpression(&left, &op, &right, c.text, &message);
  ASSERT_EQ(r, c.result) << message;
  if (r != 0) {
    EXPECT_FALSE(message.empty());
    return;
  }
  EXPECT_TRUE(message.empty());
  EXPECT_EQ(left.kind, c.left_kind);
  EXPECT_EQ(left.text, c.left);
  EXPECT_EQ(op, c.op);
  EXPECT_EQ(right.kind, c.right_kind);
  EXPECT_EQ(right.text, c.right);
}

constexpr int N = kOperandNone, V = kOperandName, S = kOperandString, I = kOperandInteger,
              D = kOperandDecimal;

INSTANTIATE_TEST_SUITE_P(
    Operators, SplitExpressionTest,
    ::testing::Values(
        SplitCase{"x >= 10", 0, V, "x", 'g', I, "10"},
        SplitCase{"a==b", 0, V, "a", '=', V, "b"},
        SplitCase{"a=b", 0, V, "a", '=', V, "b"},
        SplitCase{"a!=b", 0, V, "a", '#', V, "b"},
        SplitCase{"a!b", 0, V, "a", '#', V, "b"},
        SplitCase{"!a", 0, N, "", '!', V, "a"},
        SplitCase{"~a", 0, N, "", '~', V, "a"},
        SplitCase{"a<=b", 0, V, "a", 'l', V, "b"},
        SplitCase{"a&&b", 0, V, "a", 'a', V, "b"},
        SplitCase{"a||b", 0, V, "a", 'o', V, "b"},
        SplitCase{"a>>2", 0, V, "a", 'R', I, "2"},
        SplitCase{"a<<2", 0, V, "a", 'L', I, "2"},
        SplitCase{"a<b", 0, V, "a", '<', V, "b"},
        SplitCase{"a>b", 0, V, "a", '>', V, "b"},
        SplitCase{"a+b", 0, V, "a", '+', V, "b"},
        SplitCase{"a-b", 0, V, "a", '-', V, "b"},
        SplitCase{"a*b", 0, V, "a", '*', V, "b"},
        SplitCase{"a/b", 0, V, "a", '/', V, "b"},
        SplitCase{"a%b", 0, V, "a", '%', V, "b"},
        SplitCase{"a^b", 0, V, "a", '^', V, "b"},
        SplitCase{"a&b", 0, V, "a", '&', V, "b"},
        SplitCase{"a|b", 0, V, "a", '|', V, "b"},
        SplitCase{"m[k", 0, V, "m", '[', V, "k"},
        SplitCase{"-12", 0, I, "-12", 0, N, ""},
        SplitCase{"-x", 0, N, "", '-', V, "x"},
        SplitCase{"+5", 0, V, "+5", 0, N, ""},
        SplitCase{"3.25", 0, D, "3.25", 0, N, ""},
        SplitCase{".5", 0, D, ".5", 0, N, ""},
        SplitCase{"x - .5", 0, V, "x", '-', D, ".5"},
        SplitCase{"_ab1", 0, V, "_ab1", 0, N, ""},
        SplitCase{"", 0, N, "", 0, N, ""},
        SplitCase{"  x  ", 0, V, "x", 0, N, ""},
        SplitCase{"x;  ", 0, V, "x", 0, N, ""}));

INSTANTIATE_TEST_SUITE_P(
    Literals, SplitExpressionTest,
    ::testing::Values(SplitCase{"\"x\\ny\"", 0, S, "x\ny", 0, N, ""},
                      SplitCase{"\"a\\\\b\\\"c\\r\\t\"", 0, S, "a\\b\"c\r\t", 0, N, ""},
                      SplitCase{"\"a\\qb\"", 0, S, "a\\qb", 0, N, ""},
                      SplitCase{"s == \"\xd6\xd0\"", 0, V, "s", '=', S, "\xd6\xd0"},
                      SplitCase{"\"\" + x", 0, S, "", '+', V, "x"},
                      SplitCase{"\"a+b\"", 0, S, "a+b", 0, N, ""}));

INSTANTIATE_TEST_SUITE_P(
    Errors, SplitExpressionTest,
    ::testing::Values(SplitCase{"a+b+c", kSplitManyOperators},
                      SplitCase{"\"abc", kSplitOpenString},
                      SplitCase{"a ? b", kSplitBadOperator},
                      SplitCase{"a, b", kSplitBadOperator},
                      SplitCase{"'a'", kSplitBadOperator},
                      SplitCase{"a:b", kSplitBadOperator},
                      SplitCase{"a b", kSplitNoOperator},
                      SplitCase{"a\"b\"", kSplitSyntax},
                      SplitCase{"x; y", kSplitSyntax},
                      SplitCase{"12ab", kSplitSyntax},
                      SplitCase{"a.b", kSplitSyntax},  // a name never takes '.'
                      SplitCase{"a.", kSplitSyntax},
                      SplitCase{"x = 1 2", kSplitSyntax},
                      SplitCase{"x = \"a\"b", kSplitSyntax},
                      SplitCase{std::string(512, 'a'), kSplitSyntax},
                      SplitCase{"\"" + std::string(600, 'z') + "\"", kSplitSyntax}));

TEST(SplitExpression, OperandLimitIs511Bytes) {
  ExprOperand left, right;
  char op;
  std::string message;
  EXPECT_EQ(SplitExpression(&left, &op, &right, std::string(511, 'a') + "+1", &message), 0);
  EXPECT_EQ(left.text.size(), 511u);
}

TEST(SplitExpression, NulEndsTheText) {
  ExprOperand left, right;
  char op;
  std::string message;
  EXPECT_EQ(SplitExpression(&left, &op, &right, std::string("a+b\0+c", 6), &message), 0);
  EXPECT_EQ(right.text, "b");
}

}  // namespace
}  // namespace engine
