// The budget every search runs under and the reports of reached limits.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "regex/limits.h"
#include "regex/regexp.h"
#include "tests/regex/regex_test_util.h"

namespace {

TEST(RegexLimits, StepBudgetFailsTheMatchAndReportsThePattern) {
  regex_test::LimitLog log;
  regex::CRegexpA re("^(a+)+$");
  regex::CContext ctx;
  ctx.limits.max_steps = 100000;
  std::string text(40, 'a');
  text += 'b';
  EXPECT_FALSE(re.Match(text, -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kSteps);
  EXPECT_EQ(log.text(), "regex: step limit reached, pattern \"^(a+)+$\"\n");
  // The same context decides a small search afterwards.
  EXPECT_TRUE(re.Match("aaa", -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kNone);
}

TEST(RegexLimits, ReportCutsLongPatterns) {
  regex_test::LimitLog log;
  std::string pattern = "(x+x+)+y" + std::string(100, 'z');
  regex::CRegexpA re(pattern);
  regex::CContext ctx;
  ctx.limits.max_steps = 1000;
  EXPECT_FALSE(re.Match("z" + std::string(30, 'x'), -1, &ctx).IsMatched());
  EXPECT_EQ(log.text(), "regex: step limit reached, pattern \"" +
                            pattern.substr(0, regex::kReportedPatternBytes) + "...\"\n");
}

TEST(RegexLimits, BacktrackAndCaptureMemory) {
  regex_test::LimitLog log;
  regex::CContext ctx;
  ctx.limits.max_backtrack_entries = 1000;
  regex::CRegexpA re("(?:a|b)*c");
  EXPECT_FALSE(re.Match(std::string(5000, 'a') + "c", -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kBacktrack);

  regex::CContext small;
  small.limits.max_capture_records = 100;
  regex::CRegexpA captures("(?:(a)|b)*c");
  EXPECT_FALSE(captures.Match(std::string(500, 'a') + "c", -1, &small).IsMatched());
  EXPECT_EQ(small.limit_hit, regex::LimitKind::kCaptures);
  EXPECT_NE(log.text().find("capture memory limit"), std::string::npos);
}

TEST(RegexLimits, RecursionDepthIsBounded) {
  regex_test::LimitLog log;
  regex::CRegexpA re("\\((?:[^()]|(?R))*\\)");
  std::string text(100000, '(');
  text += std::string(100000, ')');
  regex::CContext ctx;
  EXPECT_FALSE(re.Match(text, -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kStack);
  EXPECT_NE(log.text().find("nesting depth limit"), std::string::npos);
}

TEST(RegexLimits, StopRequestEndsTheSearchWithoutReport) {
  regex_test::LimitLog log;
  std::atomic<uint8_t> stop{1};
  regex::CContext ctx;
  ctx.stop = &stop;
  regex::CRegexpA re("(x+x+)+y");
  EXPECT_FALSE(re.Match("y" + std::string(40, 'x'), -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kStopped);
  EXPECT_EQ(log.text(), "");
  stop = 0;
  EXPECT_TRUE(re.Match("xxy", -1, &ctx).IsMatched());
}

TEST(RegexLimits, GroupsNestedTooDeepNeverMatchButCompile) {
  regex_test::LimitLog log;
  const int deep = regex::kMaxGroupNesting + 5;
  std::string nested = std::string(deep, '(') + "a" + std::string(deep, ')');
  regex::CRegexpA re("b|" + nested + "|c");
  EXPECT_EQ(regex_test::Spans(re.Match("a")), "-");
  EXPECT_TRUE(re.Match("c").IsMatched());  // the rest of the pattern still counts
  EXPECT_NE(log.text().find("group nesting limit"), std::string::npos);

  std::string fits = std::string(regex::kMaxGroupNesting, '(') + "a" +
                     std::string(regex::kMaxGroupNesting, ')');
  regex_test::LimitLog quiet;
  regex::CRegexpA ok(fits);
  EXPECT_TRUE(ok.Match("a").IsMatched());
  EXPECT_EQ(quiet.text(), "");
}

TEST(RegexLimits, MissingRequiredByteEndsTheSearchAtOnce) {
  regex::CRegexpA re("(x+x+)+y");
  regex::CContext ctx;
  ctx.limits.max_steps = 10;
  EXPECT_FALSE(re.Match(std::string(1000, 'x'), -1, &ctx).IsMatched());
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kNone);
}

TEST(RegexLimits, LoggerCanBeRemoved) {
  regex::LimitLogger old = regex::SetLimitLogger(nullptr);
  regex::ReportLimit("step", "x");  // no logger: nothing happens
  regex::SetLimitLogger(old);
}

}  // namespace
