#include "engine/keyword_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/line_text.h"

namespace engine {
namespace {

TEST(KeywordTable, Integrity) {
  const TagKeyword& k = Keywords();
  ASSERT_EQ(k.count(), 282);
  std::set<std::string> names;
  const std::string kinds = "iEewscdbo{}xrvR=gfn";
  for (int i = 0; i < k.count(); ++i) {
    const RecKeyword& r = k.row(i);
    SCOPED_TRACE(r.name);
    EXPECT_EQ(r.index, i);
    EXPECT_EQ(r.length, static_cast<int32_t>(std::strlen(r.name)));
    EXPECT_GT(r.length, 0);
    EXPECT_LE(r.length, 23);
    EXPECT_TRUE(names.insert(r.name).second) << "duplicate";
    EXPECT_GE(r.argCount, -1);
    EXPECT_LE(r.argCount, 40);
    EXPECT_NE(kinds.find(static_cast<char>(r.kind)), std::string::npos);
    EXPECT_GE(r.category, 0);
    EXPECT_LE(r.category, 9);
    EXPECT_LT(static_cast<int>(r.family), static_cast<int>(StatementFamily::kCount));
    if (i >= kFirstStatementRow) {
      EXPECT_NE(r.family, StatementFamily::kControl);
      EXPECT_STRNE(r.className, "");
    }
  }
  EXPECT_STREQ(k.row(90).name, "Play(");
  EXPECT_STREQ(k.row(281).name, "RecvFskMsg(");
}

struct MatchCase {
  const char* line;
  int row;
  size_t offset;
};

class MatchKeywordTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchKeywordTest, Matches) {
  size_t offset = 99;
  EXPECT_EQ(Keywords().MatchKeyword(GetParam().line, &offset), GetParam().row) << GetParam().line;
  if (GetParam().row != kNoKeyword) {
    EXPECT_EQ(offset, GetParam().offset) << GetParam().line;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MatchKeywordTest,
    ::testing::Values(MatchCase{"else if ( x > 1 )", 0, 9},
                      MatchCase{"else if(x>1)", 0, 8},
                      MatchCase{"else", 2, 4},
                      MatchCase{"else {", 3, 6},
                      MatchCase{"if (x)", 1, 4},
                      MatchCase{"break ;", 9, 7},
                      MatchCase{"break;", 9, 6},
                      MatchCase{"Play (\"a.wav\", 1);", 90, 6},
                      MatchCase{"play(\"a.wav\")", kNoKeyword, 0},  // case-sensitive
                      MatchCase{"} else", 4, 1},
                      MatchCase{"{", 3, 1},
                      MatchCase{"#include \"lib.vts\"", 14, 9},
                      MatchCase{"#include\"lib.vts\"", kNoKeyword, 0},
                      MatchCase{"const PI = 3", 16, 6},
                      MatchCase{"function Add(a, b)", 12, 9},
                      MatchCase{"x = Play(\"a\")", kNoKeyword, 0},  // an assignment
                      MatchCase{"Exit(0);", 18, 5},
                      MatchCase{"\xb2\xa5\xb7\xc5(", kNoKeyword, 0},  // GBK is no name
                      MatchCase{"", kNoKeyword, 0},
                      MatchCase{"while\t(i < 3)", 5, 7},
                      MatchCase{"Unknown(1)", kNoKeyword, 0}));

TEST(FindKeyword, StatementsOnly) {
  EXPECT_EQ(Keywords().FindKeyword("Play("), 90);
  EXPECT_EQ(Keywords().FindKeyword("Exit("), kNoKeyword);  // row 18 is a control word
  EXPECT_EQ(Keywords().FindKeyword("Type("), 24);
  EXPECT_EQ(Keywords().FindKeyword("Play"), kNoKeyword);
  EXPECT_EQ(Keywords().FindKeyword("play("), kNoKeyword);
  EXPECT_EQ(Keywords().FindKeyword(""), kNoKeyword);
}

TEST(LineText, Helpers) {
  EXPECT_EQ(SkipLeadingBlanks(" \t= x"), 4u);
  EXPECT_EQ(SkipLeadingBlanks(""), 0u);
  std::string t = "a b \t\n\r\n \n";
  TrimRight(t);
  EXPECT_EQ(t, "a b \t\n\r");  // the carriage return stays
  std::string r = " a\tb c\nd e";
  RemoveBlanks(r);
  EXPECT_EQ(r, "abc");
  struct {
    const char* rest;
    bool empty;
  } cases[] = {{"", true},       {"  ", true},       {" // note", true}, {"\r\n", true},
               {"x", false},     {"  x", false},     {"x/", false},      {"xy\n", true},
               {" x", false},    {"\t\tx y", false}, {"/", true}};
  for (const auto& c : cases) EXPECT_EQ(IsLineRestEmpty(c.rest), c.empty) << c.rest;
}

}  // namespace
}  // namespace engine
