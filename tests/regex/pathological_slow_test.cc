// Patterns that make backtracking engines explode, run on a line thread's
// 512 KiB stack: each must end within about a second with a result or a
// reported limit, and never overflow the stack.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/thread.h"
#include "regex/regexp.h"
#include "tests/regex/regex_test_util.h"

namespace {

struct Pathological {
  const char* name;
  std::string pattern;
  std::string text;
};

std::vector<Pathological> Cases() {
  const int kDeep = 100000;
  std::string nested = std::string(kDeep, '(') + "a" + std::string(kDeep, ')');
  std::string mb_ab;
  for (int i = 0; i < (1 << 20); ++i) mb_ab.push_back("ab"[i & 1]);
  return {
      {"^(a+)+$", "^(a+)+$", std::string(40, 'a') + "!"},
      {"(a|aa)+$", "(a|aa)+$", std::string(60, 'a') + "!"},
      // The byte a match needs comes first, so the search cannot skip.
      {"(a*)*b", "(a*)*b", std::string(5000, 'a') + "cb"},
      {"(x+x+)+y", "(x+x+)+y", "y" + std::string(40, 'x')},
      {"nested pattern", nested, "a"},
      {"nested text", "\\((?:[^()]|(?R))*\\)", std::string(kDeep, '(') + std::string(kDeep, ')')},
      {"(a|b)*c on 1 MB", "(a|b)*c", mb_ab},
      {"(a|b)*c on 1 MB + xc", "(a|b)*c", mb_ab + "xc"},
      {"(a|b)*c on 1 MB with c", "(a|b)*c", mb_ab + "c"},
      {".*.*=.*; on 1 MB", ".*.*=.*;", ";" + std::string(1 << 20, 'x')},
  };
}

// About a second in an optimised build; sanitizers slow the matcher down
// three to four times.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kSecondsPerCase = 4.0;
#else
constexpr double kSecondsPerCase = 1.2;
#endif

TEST(RegexPathological, EachEndsWithinASecondOnALineThread) {
  regex_test::LimitLog log;
  for (const Pathological& c : Cases()) {
    std::string result;
    regex::LimitKind limit = regex::LimitKind::kNone;
    double seconds = 0;
    platform::Thread line;
    ASSERT_TRUE(line.Start("regex-line", platform::kLineThreadStackBytes, [&] {
      auto t0 = std::chrono::steady_clock::now();
      regex::CRegexpA re(c.pattern);
      regex::CContext ctx;
      result = regex_test::Spans(re.Match(c.text, -1, &ctx));
      limit = ctx.limit_hit;
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }));
    line.Join();
    EXPECT_LT(seconds, kSecondsPerCase) << c.name;
    std::printf("%-24s %-12s limit %-16s %.3f s\n", c.name, result.substr(0, 12).c_str(),
                std::string(regex::LimitName(limit)).c_str(), seconds);
  }
  EXPECT_NE(log.text().find("group nesting"), std::string::npos);
}

TEST(RegexPathological, OneMegabyteMatchesWithinTheBudget) {
  std::string text(1 << 20, 'a');
  text += 'c';
  regex::CRegexpA re("(a|b)*c");
  regex::CContext ctx;
  regex::MatchResult m = re.Match(text, -1, &ctx);
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kNone);
  EXPECT_EQ(m.GetEnd(), (1 << 20) + 1);
}

}  // namespace
