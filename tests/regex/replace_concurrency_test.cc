// Lines replacing for the first time at the same moment: the shared
// reference pattern is compiled once and only read afterwards, each line
// with its own pattern or a pattern shared by all, each with its context.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "regex/regexp.h"
#include "regex/replace.h"
#include "regex/split.h"

namespace {

constexpr int kLines = 4;

TEST(RegexReplaceConcurrency, FirstReplacesAtOnce) {
  const regex::CRegexpA shared("(\\w+)=(\\w*)");
  std::latch start(kLines);
  std::vector<std::string> results(kLines);
  std::vector<size_t> pieces(kLines);
  std::vector<std::thread> lines;
  for (int t = 0; t < kLines; ++t) {
    lines.emplace_back([&, t] {
      const regex::CRegexpA own("-");
      regex::CContext ctx;
      const std::string text = "a=" + std::to_string(t) + "&b=x-y";
      start.arrive_and_wait();
      std::string out = regex::Replace(shared, text, "$2:$1${none}$$", 0, -1, &ctx).output;
      out = regex::Replace(own, out, "[$&]", 0, -1, &ctx).output;
      std::vector<std::string_view> split;
      regex::Split(own, text, &ctx, &split);
      results[t] = out;
      pieces[t] = split.size();
    });
  }
  for (std::thread& line : lines) line.join();
  for (int t = 0; t < kLines; ++t) {
    EXPECT_EQ(results[t], std::to_string(t) + ":a${none}$&x:b${none}$[-]y") << t;
    EXPECT_EQ(pieces[t], 2u) << t;
  }
}

}  // namespace
