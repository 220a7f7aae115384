// The matcher: every element kind in both directions, captures, the search
// loop over a continued context, and the faults of the first engine that
// this one mends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regexp.h"
#include "tests/regex/regex_test_util.h"

namespace {

struct Case {
  const char* pattern;
  std::string text;
  const char* expected;
  int flags = 0;
};

void RunTable(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(regex_test::Run(c.pattern, c.text, c.flags), c.expected)
        << "pattern " << c.pattern << " flags " << c.flags;
  }
}

TEST(RegexMatcher, Repetitions) {
  RunTable({
      {"a+?", "aaa", "0-1"},
      {"a*?b", "aab", "0-3"},
      {"a++a", "aaa", "-"},
      {"(?>a+)a", "aaa", "-"},
      {"a{2,3}?", "aaaa", "0-2"},
      {"(ab)+?c", "ababc", "0-5 2-4"},
      {"(a|ab)+?c", "ababc", "0-5 2-4"},
      {"(a|ab)*+b", "abab", "0-2 0-1"},    // first alternatives, kept
      {"(?:a|)*b", "aab", "0-3"},          // an empty repetition never loops
      {"(a*)*b", "aab", "0-3 0-2"},
      {"(a*)+b", "b", "0-1 0-0"},
      {"(?:a|b)*?c", "abc", "0-3"},
      {"(ab){2}", "ababab", "0-4 2-4"},
      {"(a|ab){2}c", "aabc", "0-4 1-3"},   // the count backtracks into repetitions
      {"x(a|ab)(c|bcd)(d*)", "xabcd", "0-5 1-2 2-5 5-5"},
  });
}

TEST(RegexMatcher, CapturesAndBackReferences) {
  RunTable({
      {"(a)|b", "b", "0-1 ?"},
      {"(a\\1)", "aa", "0-2 0-2"},            // inside its own open group
      {"(a)(b)?\\2", "a", "-"},
      {"(a+)\\1", "aaaa", "0-4 0-2"},
      {"(?i)(a)\\1", "aA", "0-2 0-1"},
      {"(a)*", "aa", "0-2 1-2"},
      {"(?:(a)|b)*", "ab", "0-2 0-1"},        // a capture survives later repetitions
      {"(a)(?=(b))", "ab", "0-1 0-1 1-2"},    // a look-ahead keeps its captures
      {"(a)(?!(b))", "ac", "0-1 0-1 ?"},
      {"(?<=(a))b", "ab", "1-2 0-1"},
      {"(?<=\\1(a))b", "aab", "2-3 1-2"},     // right to left: the group first
  });
}

TEST(RegexMatcher, Boundaries) {
  EXPECT_EQ(regex_test::All("$", "ab\n"), "3-3");
  EXPECT_EQ(regex_test::All("\\Z", "ab\n"), "2-2 3-3");
  EXPECT_EQ(regex_test::All("^", "a\r\nb", regex::kMultiLine), "0-0 3-3");
  EXPECT_EQ(regex_test::All("$", "a\r\nb", regex::kMultiLine), "1-1 4-4");
  EXPECT_EQ(regex_test::All("^", "a\rb", regex::kMultiLine), "0-0 2-2");
  EXPECT_EQ(regex_test::All("$", "a\n", regex::kMultiLine), "1-1 2-2");
  // \b: bytes 0x80-0xFF are not word bytes, an ASCII trail byte is.
  EXPECT_EQ(regex_test::Run("\\bx", "\xB0\xA1x"), "2-3");
  EXPECT_EQ(regex_test::Run("\\bx", "\x81\x41x"), "-");
  EXPECT_EQ(regex_test::Run("\\Bx", "\x81\x41x"), "2-3");
}

TEST(RegexMatcher, IgnoreCaseIsAsciiOnly) {
  RunTable({
      {"abc", "ABC", "0-3", regex::kIgnoreCase},
      {"[a-c]", "B", "-", regex::kIgnoreCase},
      {"\x81\x41", "\x81\x61", "0-2", regex::kIgnoreCase},  // trail byte letters fold
      {"\xC4", "\xE4", "-", regex::kIgnoreCase},            // no folding above 0x7F
  });
}

TEST(RegexMatcher, LookBehindOfAnyLength) {
  RunTable({
      {"(?<=a)b", "ab", "1-2"},
      {"(?<=\\s)x", "\fx", "1-2"},        // look-behind's \s has FF and VT
      {"\\sx", "\fx", "-"},
      {"(?<=a+|bcd)x", "bcdx aax", "3-4"},
      {"(?<=^a.*)x", "abbbx", "4-5"},
      {"(?<!a)b", "abcb", "3-4"},
      {"(?<=(?<!x)y)z", "xyzyz", "4-5"},
      {"(?<=\\bfoo)bar", "foobar", "3-6"},
      {"(?<=(a|bc)+)d", "abcbcd", "5-6 0-1"},
  });
}

TEST(RegexMatcher, ByteRangesAreUnsigned) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(regex_test::Run("[\\x00-\\xFF]+", all), "0-255");
  EXPECT_EQ(regex_test::Run("[\\x80-\\xFF]+", "ab\xB0\xA1" "c"), "2-4");
  EXPECT_EQ(regex_test::Run("[a-\\xFF]", "z"), "0-1");
  EXPECT_EQ(regex_test::Run("[a-\\xFF]", "\xB0"), "0-1");
  EXPECT_EQ(regex_test::Run("[a-\\xFF]", "A"), "-");
  EXPECT_EQ(regex_test::Run("[^\\x00-\\x7F]", "a\xA1"), "1-2");
}

TEST(RegexMatcher, EmptyMatchIsNeverFoundTwice) {
  EXPECT_EQ(regex_test::All("a*", "baaac"), "0-0 1-4 4-4 5-5");
  EXPECT_EQ(regex_test::All("a|", "ab"), "0-1 1-1 2-2");
  EXPECT_EQ(regex_test::All("\\b", "ab cd"), "0-0 2-2 3-3 5-5");
  EXPECT_EQ(regex_test::All("x*", ""), "0-0");
  // After an empty match a non-empty one at the same place comes first.
  EXPECT_EQ(regex_test::All("|a", "aa"), "0-0 0-1 1-1 1-2 2-2");
  EXPECT_EQ(regex_test::All("a*?", "aa"), "0-0 0-1 1-1 1-2 2-2");
}

TEST(RegexMatcher, GreedyRepetitionTakesMoreAfterBacktracking) {
  EXPECT_EQ(regex_test::Run("^(?:a|ab)*$", "abab"), "0-4");
  EXPECT_EQ(regex_test::Run("^(a|ab)*c$", "ababc"), "0-5 2-4");
  EXPECT_EQ(regex_test::Run("^(?:a|ab){0,3}$", "aabab"), "0-5");
}

TEST(RegexMatcher, CuttingCapturesRestoresTheIndex) {
  EXPECT_EQ(regex_test::Run("(?:(?!(a)z)|(a)z)\\1", "aza"), "-");
  EXPECT_EQ(regex_test::Run("(?>(a)x|a)\\1", "aa"), "-");
  EXPECT_EQ(regex_test::Run("(?:(?(?=(a)b)x|a))\\1", "aa"), "-");
  EXPECT_EQ(regex_test::Run("(?=(a)z)?a\\1", "aa"), "-");
}

// A "[" inside a class that opens no "[:name:]" is a member and leaves
// the class depth alone: the syntax after the class stays syntax.
TEST(RegexMatcher, BracketInsideAClassOnlyNestsForPosix) {
  RunTable({
      {"[[]x(y)", "[xy", "0-3 2-3"},
      {"[a[]|b", "b", "0-1"},
      {"[:,]", ",", "0-1"},
      {"[:,]", ":", "0-1"},
      {"[[:alpha:][:digit:]]+", "a1!", "0-2"},
  });
}

// "[:name:]" with a name the engine does not know never matches, whichever
// way it is turned; inside a class it adds no member.
TEST(RegexMatcher, UnknownPosixNameNeverMatches) {
  RunTable({
      {"[[:foo:]]", "f:]o[", "-"},
      {"[:foo:]", "foo:", "-"},
      {"[:^foo:]", "foo:x", "-"},
      {"a|[:foo:]", "xa", "1-2"},
      {"[[:foo:]x]", "fox", "2-3"},
      {"[^[:foo:]]", "f", "0-1"},
      {"[[:ALPHA:]]", "A", "-"},  // names are written in lower case
  });
}

TEST(RegexMatcher, RecursionKeepsTheOuterCapture) {
  EXPECT_EQ(regex_test::Run("(a(?1)?b)", "xaabb"), "1-5 1-5");
  EXPECT_EQ(regex_test::Run("^(\\((?:[^()]|(?1))*\\))$", "(a(b)(c(d)))"), "0-12 0-12");
  EXPECT_EQ(regex_test::Run("(?R)?a", "aa"), "0-2");
  EXPECT_EQ(regex_test::Run("(?:(?R)|a)b", "abb"), "0-3");
}

TEST(RegexMatcher, ContinuedSearchUsesTheEndOfTheMatchBefore) {
  regex::CRegexpA re("\\d+", regex::kContinue);
  regex::CContext ctx;
  re.PrepareMatch(&ctx, "12ab34");
  EXPECT_EQ(regex_test::Spans(re.Match(&ctx)), "0-2");
  EXPECT_EQ(regex_test::Spans(re.Match(&ctx)), "4-6");
  EXPECT_FALSE(re.Match(&ctx).IsMatched());
  regex::CRegexpA anchored("\\G\\d", regex::kContinue);
  re.PrepareMatch(&ctx, "12a3");
  EXPECT_EQ(regex_test::All("\\G\\d", "12a3", regex::kContinue), "0-1 1-2");
}

TEST(RegexMatcher, StartPositions) {
  EXPECT_EQ(regex_test::Run("a", "aba", 0, 1), "2-3");
  EXPECT_EQ(regex_test::Run("a", "aba", 0, 4), "-");   // beyond the end
  EXPECT_EQ(regex_test::Run("", "ab", 0, 2), "2-2");
  EXPECT_EQ(regex_test::Run("a", "aba", regex::kRightToLeft, 2), "0-1");
  EXPECT_EQ(regex_test::Run("^a", "aa", 0, 1), "-");
}

TEST(RegexMatcher, ResultDefaultsPastTheEnd) {
  regex::CRegexpA re("(a)(b)?");
  regex::MatchResult m = re.Match("a");
  EXPECT_EQ(m.MaxGroupNumber(), 2);
  EXPECT_EQ(m.GetEnd(2), -1);
  EXPECT_EQ(m.GetStart(9), -1);
  regex::MatchResult none = re.Match("x");
  EXPECT_TRUE(none.values().empty());
  EXPECT_EQ(none.Get(0), 0);
  EXPECT_EQ(none.Get(1), 0);
  EXPECT_EQ(none.GetStart(), -1);
  EXPECT_EQ(m.Group("a", 1), "a");
}

TEST(RegexMatcher, TextIsCountedToTheFirstNul) {
  regex::CRegexpA re("b");
  EXPECT_FALSE(re.Match("a\0b").IsMatched());
  EXPECT_TRUE(re.Match(std::string_view("a\0b", 3)).IsMatched());
}

}  // namespace
