// Replace and split: the reference syntax, the continued search with its
// empty-match rule, bytes with zeros, the 64-bit length check and searches
// stopped by the limits or the line's stop request.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "regex/builder.h"
#include "regex/limits.h"
#include "regex/regexp.h"
#include "regex/replace.h"
#include "regex/split.h"
#include "tests/regex/regex_test_util.h"

namespace {

using regex::ReplaceStatus;

std::string Replaced(std::string_view pattern, std::string_view text, std::string_view with,
                     int count = -1, int start = -1, int flags = 0) {
  regex::CRegexpA re(pattern, flags);
  regex::CContext ctx;
  const regex::ReplaceOutcome r = regex::Replace(re, text, with, start, count, &ctx);
  EXPECT_EQ(r.status, ReplaceStatus::kDone) << pattern;
  return r.output;
}

// The pieces joined by "|".
std::string SplitText(std::string_view pattern, std::string_view text, int flags = 0) {
  regex::CRegexpA re(pattern, flags);
  regex::CContext ctx;
  std::vector<std::string_view> pieces;
  EXPECT_TRUE(regex::Split(re, text, &ctx, &pieces)) << pattern;
  std::string out;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) out += '|';
    out += std::string(pieces[i]);
  }
  return out;
}

struct ReplaceCase {
  const char* pattern;
  const char* text;
  const char* with;
  const char* expected;
};

TEST(RegexReplace, References) {
  const ReplaceCase cases[] = {
      {"b", "abc", "[$&]", "a[b]c"},
      {"b", "abc", "$`", "aac"},
      {"b", "abc", "$'", "acc"},
      {"b", "abc", "$_", "aabcc"},
      {"b", "abc", "$$", "a$c"},
      {"b", "abc", "$$1", "a$1c"},
      {"b", "abc", "$0$0", "abbc"},
      {"(a)(b)", "ab", "$12", "a2"},
      {"(a)(b)", "ab", "$2$1", "ba"},
      {"(a)(b)", "ab", "$9", "$9"},
      {"(a)(b)", "ab", "$05", "$05"},  // dropped to 0: literal
      {"(a)(b)", "ab", "$002", "b"},  // three digits read
      {"(a)(b)", "ab", "${x}", "${x}"},
      {"(a)(b)", "ab", "${1}", "${1}"},  // a name of digits stays literal
      {"(a)(?<word>b)", "ab", "<${word}|${WORD}>", "<b|b>"},
      {"(a)(b)", "ab", "${a\nb}", "${a\nb}"},  // a brace text ends on its line
      {"(a)(b)", "ab", "$", "$"},
      {"(a)(b)", "ab", "x$y", "x$y"},
      {"(a)(b)", "ab", "${", "${"},
      {"(a)|(b)", "b", "[$1]", "[]"},  // a group that took no part is empty
      {"(a)|(b)", "b", "[$+]", "[b]"},
      {"(a)(x)?", "a", "[$+]", "[a]"},
      {"a", "a", "[$+]", "[a]"},  // no numbered group: the whole match
      {"((((((((((((a))))))))))))", "a", "$12$123", "aa3"},
      {"-", "a-b-c", "+", "a+b+c"},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(Replaced(c.pattern, c.text, c.with), c.expected)
        << c.pattern << " / " << c.with;
  }
}

TEST(RegexReplace, CountStartAndEmptyMatches) {
  EXPECT_EQ(Replaced("-", "a-b-c", "+", 1), "a+b-c");
  EXPECT_EQ(Replaced("-", "a-b-c", "+", 0), "a-b-c");
  EXPECT_EQ(Replaced("-", "a-b-c", "+", 5), "a+b+c");
  // The text before the first match is counted from position 0.
  EXPECT_EQ(Replaced("-", "a-b-c", "+", -1, 2), "a-b+c");
  EXPECT_EQ(Replaced("-", "a-b-c", "$`", -1, 2), "a-ba-bc");
  // An empty match is taken once at a place, also right after a match (as
  // python3's re.sub does).
  EXPECT_EQ(Replaced("x*", "abc", "-"), "-a-b-c-");
  EXPECT_EQ(Replaced("x*", "axxb", "-"), "-a--b-");
  EXPECT_EQ(Replaced("", "ab", "."), ".a.b.");
  EXPECT_EQ(Replaced("\\b", "ab cd", "|"), "|ab| |cd|");
  // A pattern compiled right to left gives its matches in text order.
  EXPECT_EQ(Replaced("\\d+", "a12b345c", "<$&>", -1, -1, regex::kRightToLeft),
            "a<12>b<345>c");
}

TEST(RegexReplace, BytesWithZerosPassUnchanged) {
  const std::string text("a\0b\0\xB0\xA1\0c", 8);
  EXPECT_EQ(Replaced("x", text, "y"), text);
  EXPECT_EQ(Replaced("b", text, std::string_view("\0\0", 2)), std::string("a\0\0\0\0\xB0\xA1\0c", 9));
  EXPECT_EQ(Replaced(std::string_view("\0", 1), text, "-"), "a-b-\xB0\xA1-c");
  // An empty text may come without any bytes (a null view).
  EXPECT_EQ(Replaced("(a?)\\1", std::string_view(), "<$1>"), "<>");
  EXPECT_EQ(SplitText("(a?)\\1", std::string_view()), "|");
}

TEST(RegexReplace, ResultsAboveTheValueLimitFailBeforeAssembling) {
  // "$_" over 1 MB grows by 1 MB a match: the count passes 2^31 - 2 bytes
  // after about 2,000 matches and the replace stops there.
  const std::string text(1 << 20, 'a');
  regex::CRegexpA re("a");
  regex::CContext ctx;
  const regex::ReplaceOutcome r = regex::Replace(re, text, "$_", 0, -1, &ctx);
  EXPECT_EQ(r.status, ReplaceStatus::kTooLong);
  EXPECT_GT(r.length, regex::kMaxReplaceBytes);
  EXPECT_LT(r.length, regex::kMaxReplaceBytes + 2 * static_cast<int64_t>(text.size()));
  EXPECT_TRUE(r.output.empty());
  // A count that keeps the result small replaces.
  EXPECT_EQ(regex::Replace(re, text, "$_", 0, 2, &ctx).output.size(), 3 * text.size() - 2);
}

TEST(RegexReplace, StoppedSearchesGiveNothing) {
  regex_test::LimitLog log;
  regex::CRegexpA re("(x+x+)+y");
  const std::string text = "xy" + std::string(40, 'x');
  regex::CContext ctx;
  ctx.limits.max_steps = 100000;
  regex::ReplaceOutcome r = regex::Replace(re, text, "-", 0, -1, &ctx);
  EXPECT_EQ(r.status, ReplaceStatus::kLimit);
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kSteps);
  EXPECT_TRUE(r.output.empty());
  std::vector<std::string_view> pieces;
  EXPECT_FALSE(regex::Split(re, text, &ctx, &pieces));
  EXPECT_TRUE(pieces.empty());
  const std::string line = "regex: step limit reached, pattern \"(x+x+)+y\"\n";
  EXPECT_EQ(log.text(), line + line);

  std::atomic<uint8_t> stop{1};
  regex::CContext stopped;
  stopped.stop = &stop;
  r = regex::Replace(re, text, "-", 0, -1, &stopped);
  EXPECT_EQ(r.status, ReplaceStatus::kLimit);
  EXPECT_EQ(stopped.limit_hit, regex::LimitKind::kStopped);
  EXPECT_FALSE(regex::Split(re, text, &stopped, &pieces));
  EXPECT_EQ(stopped.limit_hit, regex::LimitKind::kStopped);
}

TEST(RegexSplit, PiecesBetweenMatches) {
  const struct {
    const char* pattern;
    const char* text;
    const char* pieces;
  } cases[] = {
      {",", "a,b,,c", "a|b||c"},
      {",", "abc", "abc"},
      {",", ",a,", "|a|"},
      {",", "", ""},
      // Patterns that match the empty text move on (python3's re.split).
      {"x*", "abc", "|a|b|c|"},
      {"x*", "axxb", "|a||b|"},
      {"\\s*", "a b  c", "|a||b||c|"},
      {"", "ab", "|a|b|"},
      {"\\s*,\\s*", "a , b,c ,", "a|b|c|"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.pattern, c.text), c.pieces) << c.pattern;
  EXPECT_EQ(SplitText("\\d+", "a12b345c", regex::kRightToLeft), "a|b|c");
  EXPECT_EQ(SplitText(std::string_view("\0", 1), std::string_view("a\0b", 3)), "a|b");
}

TEST(RegexReplace, TemplatePairs) {
  regex::CRegexpA re("(a)(b)");
  regex::CContext ctx;
  std::vector<regex::TemplatePair> pairs;
  ASSERT_TRUE(regex::BuildReplaceTemplate(re, "x$1$&${q}$$y", &ctx, &pairs));
  const std::vector<std::pair<int, int>> expected = {
      {0, 1}, {regex::kGroupReference, 1}, {regex::kByteReference, '&'}, {5, 5}, {11, 1}};
  ASSERT_EQ(pairs.size(), expected.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(std::make_pair(pairs[i].offset, pairs[i].value), expected[i]) << i;
  }
}

}  // namespace
