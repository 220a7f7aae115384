// The pattern syntax: tokenizer, parser and the leniency for malformed
// patterns, checked through what the compiled pattern matches.
#include <gtest/gtest.h>

#include <string>

#include "regex/builder.h"
#include "regex/regexp.h"
#include "tests/regex/regex_test_util.h"

namespace {

using regex_test::Run;
using regex_test::Spans;

struct Case {
  const char* pattern;
  std::string text;
  const char* expected;  // regex_test::Spans form
  int flags = 0;
};

void RunTable(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(regex_test::Run(c.pattern, c.text, c.flags), c.expected)
        << "pattern " << c.pattern << " text " << c.text << " flags " << c.flags;
  }
}

TEST(RegexSyntax, LiteralRunsAndQuantifiers) {
  RunTable({
      {"", "abc", "0-0"},
      {"abc*", "abccc", "0-5"},
      {"abc*", "xab", "1-3"},
      {"(abc)*", "abcabc", "0-6 3-6"},
      {"a{3}?", "aaaa", "0-3"},
      {"a{3}+a", "aaaa", "0-4"},         // the suffix is skipped, not possessive
      {"a{2,3}", "aaaa", "0-3"},
      {"a{2,}", "aaaaa", "0-5"},
      {"a{ 2 , 3 }", "aaaa", "0-3"},     // blanks around the numbers
      {"a{3,1}", "aaaa", "0-3"},         // a maximum below the minimum is raised
      {"x{1000}", std::string(100, 'x'), "0-100"},  // three digits: 100
      {"x{1000}", std::string(99, 'x'), "-"},
      {"ba{,3}", "b", "0-1"},            // no number: the atom is dropped
      {"ba{x}c", "bc", "0-2"},
      {"ba{", "b", "0-1"},
      {"a**", "aa*", "0-3"},             // the second "*" is a literal
      {"a{0}b", "ab", "1-2"},
      {"*a", "*a", "0-2"},               // nothing to repeat: literal
      {"}]", "}]", "0-2"},
      {"a|", "b", "0-0"},
  });
}

TEST(RegexSyntax, EscapesAndQuoting) {
  RunTable({
      {"\\x41\\x4a", "AJ", "0-2"},
      {"\\xZ", "xZ", "0-2"},                  // no hex digit: "x"
      {"\\x{4E2D}", "-", "0-1"},              // the low byte of the value
      {"\\u0041", "A", "0-1"},
      {"\\u{42}", "B", "0-1"},
      {"\\uq", "uq", "0-2"},
      {"\\t\\n\\r\\f\\v\\a\\e", "\t\n\r\f\v\a\x1b", "0-7"},
      {"\\Qa.b*\\E+", "a.b**", "0-5"},        // quoted bytes are literals
      {"\\Qa.b", "a.b", "0-3"},               // \Q without \E runs to the end
      {"\\LAbC\\E", "abc", "0-3"},
      {"\\UaBc\\Ed", "ABCd", "0-4"},
      {"a\\E", "a", "0-1"},                   // a stray \E is dropped
      {"\\y\\%", "y%", "0-2"},                // meaningless escapes stand for themselves
      {"a\\", "a\\", "0-2"},                  // a final backslash is literal
      {"a(?#comment)b", "ab", "0-2"},
      {"a(?#unterminated", "a", "0-1"},
      {std::string("a\0b", 3).c_str(), "a", "0-1"},
  });
  EXPECT_EQ(regex_test::Run(std::string_view("a\0b", 3), std::string_view("xa\0b", 4)), "1-4");
}

TEST(RegexSyntax, FreeSpacing) {
  RunTable({
      {"a b # comment\n c", "abc", "0-3", regex::kFreeSpacing},
      {"a\\ b", "a b", "0-3", regex::kFreeSpacing},
      {"a b", "a b", "0-3"},
  });
}

TEST(RegexSyntax, Classes) {
  RunTable({
      {"[a-z-]+", "ab-c!", "0-4"},
      {"[\\d.]+", "1.5x", "0-3"},
      {"[[:digit:]x]+", "1x2y", "0-3"},
      {"[[:^digit:]]+", "ab1", "0-2"},
      {"[:alpha:]+", "ab1", "0-2"},        // a POSIX class outside brackets
      {"[^\\n]", "\r", "0-1"},
      {"[^\\n]", "\n", "-"},
      {".", "\r", "0-1"},
      {".", "\n", "-"},
      {"(?s).", "\n", "0-1"},
      {"[\\[]x", "[x", "0-2"},
      {"[]a]", "a]", "-"},                 // "[]" is an empty class
      {"[^]a]", "xa]", "0-3"},
      {"[\\b]", "\b", "0-1"},
      {"[\\1]", "\\", "0-1"},              // "\" before a digit is a member
      {"[a\\Gb]+", "ab", "0-2"},           // \G inside a class is dropped
      {"[\\w-]+", "a_-1", "0-4"},
      {"[--/]+", "-./", "0-3"},
      {"(?i)[a-c]", "B", "-"},             // classes ignore the ignore-case flag
      {"[[:blank:]]+", " \tx", "0-2"},
      {"[[:punct:]]+", "!,a", "0-2"},
      {"[[:xdigit:]]+", "09afAFg", "0-6"},
      {"\\s+", " \t\r\nx", "0-4"},
      {"\\s", "\f", "-"},                   // left to right: no FF, no VT
      {"\\s", "\v", "-"},
      {"\\S+", "\f\v", "0-2"},
      {"\\w+", "a_9\xB0", "0-3"},
      {"\\W", "\xB0", "0-1"},
      {"\\D\\d", "x7", "0-2"},
      {"[\\x80-\\xFF]+", "a\xB0\xA1", "1-3"},
  });
}

TEST(RegexSyntax, AnchorsAndBoundaries) {
  RunTable({
      {"^a", "ba", "-"},
      {"\\Aa", "a", "0-1"},
      {"a\\z", "a\n", "-"},
      {"a\\Z", "a\n", "0-1"},
      {"a\\Z", "a\r\n", "0-1"},
      {"a$", "a\n", "-"},                 // "$" only at the very end without "m"
      {"(?m)a$", "a\n", "0-1"},
      {"\\bab\\b", "ab c", "0-2"},
      {"\\Bb", "ab", "1-2"},
      {"\\Gab", "xxab", "2-4"},           // without the continue flag \G is empty
  });
  EXPECT_EQ(regex_test::Run("\\Gab", "xxab", regex::kContinue, 2), "2-4");
  EXPECT_EQ(regex_test::Run("(?g)\\Gab", "xxab", 0, 2), "2-4");
  EXPECT_EQ(regex_test::Run("(?g)\\Gab", "xxab", 0, 0), "-");
}

TEST(RegexSyntax, InlineFlagsHoldForTheRestOfTheGroup) {
  RunTable({
      {"(?i)ab|cd", "CD", "0-2"},
      {"(?i)ab|cd", "AB", "0-2"},
      {"ab|(?i)cd|ef", "EF", "0-2"},       // alternatives after the change share it
      {"(x(?i)y)z", "xYz", "0-3 0-2"},
      {"(x(?i)y)z", "xYZ", "-"},
      {"(?i:a)b", "Ab", "0-2"},
      {"(?i:a)b", "AB", "-"},
      {"(?i)a(?-i)b", "Ab", "0-2"},
      {"(?i)a(?-i)b", "AB", "-"},
      {"(?m)^b", "a\nb", "2-3"},
      {"(?s:.)", "\n", "0-1"},
      {"(?i(a))", "A", "0-1 0-1"},          // a "(" ends the letters
      {"(?x)a b", "ab", "-"},               // free spacing is not an inline flag
  });
}

TEST(RegexSyntax, GroupsAndNumbering) {
  RunTable({
      {"(a)(?<n>b)(c)", "abc", "0-3 0-1 2-3 1-2"},
      {"(?<n>a)|(?<n>b)", "b", "0-1 0-1"},
      {"(?'n'a)(?P<m>b)(?P'o'c)", "abc", "0-3 0-1 1-2 2-3"},
      {"(?<n>a)\\k<n>\\k'n'", "aaa", "0-3 0-1"},
      {"(?<n>a)\\k<N>", "aa", "0-2 0-1"},   // names compare without ASCII case
      {"(a)\\k<x>", "aa", "-"},            // no such name: never matches
      {"(?<2>a)(b)", "ab", "0-2 1-2 0-1"},  // (b) is 1, the named one keeps 2
      {"(a)\\2", "aa", "-"},               // a group that never captured
      {"(a)\\1234", "aa4", "-"},           // \123 then "4"
      {"(a)\\k", "xaa", "1-3 1-2"},       // \k alone refers to group 0 so far
      {"(?:a)(b)", "ab", "0-2 1-2"},
      {"(?>a+)b", "aab", "0-3"},
      {"a)bc", "a", "0-1"},                // a ")" that closes nothing ends the pattern
      {"(ab", "ab", "0-2 0-2"},            // a group without ")" ends at the end
  });
}

TEST(RegexSyntax, NamedGroupZeroDoesNotReplaceTheWholeMatch) {
  regex::CRegexpA re("x(?<0>a)b");
  regex::MatchResult m = re.Match("xab");
  EXPECT_EQ(regex_test::Spans(m), "0-3 1-2");
  EXPECT_EQ(re.GetNamedGroupNumber("0"), 1);
}

TEST(RegexSyntax, Conditions) {
  RunTable({
      {"(?(1)a|b)", "ab", "1-2"},             // no group 1: the no branch
      {"(a)?(?(1)b|c)", "ab", "0-2 0-1"},
      {"(a)?(?(1)b|c)", "c", "0-1 ?"},
      {"(?(ab)a|b)", "ab", "0-1"},            // a text condition is a look-ahead
      {"(?(ab)a|b)", "b", "0-1"},
      {"(?<n>a)?(?(n)b|c)", "ab", "0-2 0-1"},
      {"(?(?=a)ab|cd)", "cdab", "0-2"},
      {"(?(?<=a)b|c)", "ab", "1-2"},
      {"(?(1)a)", "x", "0-0"},                // no no-branch: matches empty
      {"(a)?(?(1)b|c|d)", "d", "0-1 ?"},   // further bars belong to the no branch
  });
}

TEST(RegexSyntax, Recursion) {
  RunTable({
      {"\\((?:[^()]|(?R))*\\)", "x(a(b)c)", "1-8"},
      {"^(a(?1)?b)$", "aaabbb", "0-6 0-6"},
      {"(?<p>a(?R<p>)?b)", "aabb", "0-4 0-4"},
      {"(?R)", "a", "-"},                 // left recursion fails
      {"a|(?R)", "xa", "1-2"},
      {"a(?5)b", "ab", "0-2"},            // no such group: matches empty
      {"a(?R<zz>)b", "ab", "0-2"},
  });
}

TEST(RegexSyntax, RightToLeftCompile) {
  RunTable({
      {"abc", "xabcabc", "4-7", regex::kRightToLeft},
      {"(a)(b)", "abab", "2-4 2-3 3-4", regex::kRightToLeft},
      {"a+", "baab", "1-3", regex::kRightToLeft},
      {"\\s", "\f", "0-1", regex::kRightToLeft},  // right to left: FF and VT too
      {"\\1(a)", "xaa", "1-3 2-3", regex::kRightToLeft},  // the group is matched first
  });
}

TEST(RegexSyntax, NumberRule) {
  std::string_view rest;
  EXPECT_EQ(regex::ReadSyntaxNumber(" 12 ,3", &rest), 12);
  EXPECT_EQ(rest, ",3");
  EXPECT_EQ(regex::ReadSyntaxNumber("1234", &rest), 123);
  EXPECT_EQ(rest, "4");
  EXPECT_EQ(regex::ReadSyntaxNumber("x1", &rest), -1);
  EXPECT_EQ(regex::NameNumber("7"), 7);
  EXPECT_EQ(regex::NameNumber("7a"), -1);
}

TEST(RegexSyntax, NullPatternNeverMatches) {
  regex::CRegexpA re;
  re.Compile(nullptr, 0, 0);
  EXPECT_FALSE(re.Match("abc").IsMatched());
  EXPECT_EQ(re.builder().root(), nullptr);
}

TEST(RegexSyntax, SharedPredefinedElementsExistOnce) {
  regex::CBuilderT one;
  one.Compile("\\d", 2, 0);
  regex::CBuilderT many;
  many.Compile("\\d\\d\\d\\d", 8, 0);
  EXPECT_EQ(many.node_count(), one.node_count() + 1);  // only the list is new
}

}  // namespace
