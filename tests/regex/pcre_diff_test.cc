// Differential tests against PCRE2: thousands of generated patterns and
// texts must give the same match and groups in both engines, and every
// difference by design is a listed category with both engines' results.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "regex/regexp.h"
#include "tests/regex/pattern_generator.h"
#include "tests/regex/pcre_peer.h"
#include "tests/regex/perl_peer.h"
#include "tests/regex/regex_test_util.h"

namespace {

TEST(RegexPcreDiff, GeneratedPatternsMatchAlike) {
  // REGEX_DIFF_SEED picks another series of cases for a longer hunt.
  const char* seed = std::getenv("REGEX_DIFF_SEED");
  regex_test::PatternGenerator gen(seed != nullptr ? static_cast<uint32_t>(std::atoi(seed)) : 20140305);
  static const int kFlags[] = {0, regex::kIgnoreCase, regex::kMultiLine, regex::kDotAll,
                               regex::kMultiLine | regex::kDotAll};
  int compared = 0;
  int skipped = 0;
  int pcre_faults = 0;
  std::vector<std::string> mismatches;
  for (int i = 0; i < 4000; ++i) {
    const int flags = kFlags[gen.Pick(5)];
    const std::string pattern = gen.Pattern((flags & regex::kIgnoreCase) != 0);
    regex::CRegexpA ours(pattern, flags);
    regex_test::PcrePeer pcre(pattern, flags);
    if (!pcre.ok()) {
      ++skipped;  // PCRE2 refuses it (e.g. a quantified look-around)
      continue;
    }
    for (int t = 0; t < 4; ++t) {
      const std::string text = gen.Text();
      std::string expected = pcre.Spans(text);
      std::string got = regex_test::Spans(ours.Match(text));
      std::string expected_all = pcre.All(text);
      std::string got_all = regex_test::All(pattern, text, flags);
      if (pcre.limit_hit()) {
        ++skipped;
        break;
      }
      ++compared;
      if (got == expected && got_all == expected_all) continue;
      if (regex_test::PerlSpansAndAll(pattern, text, flags) == got + "|" + got_all) {
        ++pcre_faults;  // Perl agrees with the engine: a PCRE2 fault
        continue;
      }
      if (mismatches.size() < 20) {
        mismatches.push_back("/" + pattern + "/ flags " + std::to_string(flags) + " on \"" +
                             text + "\": ours " + got + " [" + got_all + "], pcre " + expected +
                             " [" + expected_all + "]");
      }
    }
  }
  for (const std::string& m : mismatches) ADD_FAILURE() << m;
  EXPECT_GT(compared, 10000);
  EXPECT_LT(skipped, compared / 10);
  EXPECT_LT(pcre_faults, compared / 100);
  std::printf("compared %d cases with PCRE2: %d skipped, %d PCRE2 faults (Perl agrees with us)\n",
              compared, skipped, pcre_faults);
}

// The differences by design, each with what both engines give.
struct Difference {
  const char* category;
  const char* pattern;
  const char* text;
  int flags;
  const char* ours;
  const char* pcre;
};

const Difference kDifferences[] = {
    // An extra repetition that matches empty is not taken; the element's
    // next way is tried instead, and a group in it keeps no empty capture.
    {"empty repetition", "(?:|a)*", "aa", 0, "0-2", "0-0"},
    {"empty repetition", "(a*)*", "b", 0, "0-0 ?", "0-0 0-0"},
    {"empty repetition", "(a|)+b", "ab", 0, "0-2 0-1", "0-2 1-1"},
    // \Z stops before a final LF or CR LF, not a lone CR.
    {"final CR", "a\\Z", "a\r", 0, "-", "0-1"},
    // "." excludes LF only; PCRE2 with CR line ends excludes CR too.
    {"dot and CR", ".", "\r", 0, "0-1", "-"},
    // \s left to right is space, tab, CR and LF.
    {"space class", "\\s", "\v", 0, "-", "0-1"},
    {"space class", "\\s", "\f", 0, "-", "0-1"},
    // Classes ignore the ignore-case flag.
    {"class case", "[a-c]", "B", regex::kIgnoreCase, "-", "0-1"},
    // Named groups are numbered after all numbered groups.
    {"named numbering", "(a)(?<n>b)(c)", "abc", 0, "0-3 0-1 2-3 1-2", "0-3 0-1 1-2 2-3"},
    // A recursion captures into the group it enters.
    {"recursion captures", "(a)(?1)", "aa", 0, "0-2 1-2", "0-2 0-1"},
    // A reference inside its own open group refers to what it holds so far.
    {"open group reference", "(a\\1)", "aa", 0, "0-2 0-2", "-"},
    // A condition on a group holds while the group is open.
    {"open group condition", "(a(?(1)b|c))", "ab", 0, "0-2 0-2", "-"},
    // Look-behind of any length.
    {"look-behind length", "(?<=a+)b", "aab", 0, "2-3", "error"},
    // Lenient syntax: malformed patterns compile to something.
    {"lenient syntax", "ba{,3}", "b", 0, "0-1", "-"},
    {"lenient syntax", "a**", "a*", 0, "0-2", "error"},
    {"lenient syntax", "[]a]", "]", 0, "-", "0-1"},
    {"lenient syntax", "a{3,1}", "aaa", 0, "0-3", "error"},
    {"lenient syntax", "x{1000}", "x", 0, "-", "-"},
    {"lenient syntax", "[:alpha:]", "a", 0, "0-1", "error"},
    {"lenient syntax", "(?(<n>)a|b)", "b", 0, "0-1", "error"},
    {"lenient syntax", "a)b", "a", 0, "0-1", "error"},
    // \0 and \1 to \9 are always references; "\" before a digit in a class
    // is a member.
    {"digit escapes", "a\\0", "aa", 0, "0-2", "-"},
    {"digit escapes", "[\\1]", "\\", 0, "0-1", "-"},
    {"digit escapes", "(a)\\12", "aa2", 0, "-", "-"},
    // Left recursion fails instead of being refused.
    {"left recursion", "b|(?R)", "a", 0, "-", "-"},
    // An optional element that matches empty is not taken.
    {"empty repetition", "(a?)?b", "b", 0, "0-1 ?", "0-1 0-0"},
};

TEST(RegexPcreDiff, DifferencesByDesignAreListed) {
  for (const Difference& d : kDifferences) {
    regex::CRegexpA ours(d.pattern, d.flags);
    regex_test::PcrePeer pcre(d.pattern, d.flags);
    EXPECT_EQ(regex_test::Spans(ours.Match(std::string_view(d.text))), d.ours)
        << d.category << ": " << d.pattern;
    EXPECT_EQ(pcre.Spans(d.text), d.pcre) << d.category << ": " << d.pattern;
  }
}

}  // namespace
