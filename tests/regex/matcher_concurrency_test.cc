// One compiled pattern matched by several threads at once, each with its
// own context, while limit reports go to one logger.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "regex/regexp.h"

namespace {

TEST(RegexConcurrency, SharedPatternSeparateContexts) {
  std::mutex mu;
  int reports = 0;
  regex::LimitLogger old = regex::SetLimitLogger([&](std::string_view) {
    std::lock_guard<std::mutex> lock(mu);
    ++reports;
  });
  const regex::CRegexpA re("(\\d+)-(\\w+)|(x+x+)+y");
  std::atomic<int> matched{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      regex::CContext ctx;
      ctx.limits.max_steps = 20000;
      for (int i = 0; i < 200; ++i) {
        std::string text = "call " + std::to_string(t * 1000 + i) + "-line" + std::to_string(i);
        if (re.Match(text, -1, &ctx).IsMatched()) matched.fetch_add(1);
        if (i % 50 == 0) re.Match(std::string(30, 'x'), -1, &ctx);  // reaches the budget
      }
    });
  }
  for (std::thread& th : threads) th.join();
  regex::SetLimitLogger(old);
  EXPECT_EQ(matched.load(), 800);
  EXPECT_EQ(reports, 16);
}

TEST(RegexConcurrency, StopRequestFromAnotherThread) {
  std::atomic<uint8_t> stop{0};
  regex::CRegexpA re("(x+x+)+y");
  regex::CContext ctx;
  ctx.stop = &stop;
  ctx.limits.max_steps = int64_t{1} << 40;  // only the stop request ends it
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.store(1, std::memory_order_relaxed);
  });
  EXPECT_FALSE(re.Match("y" + std::string(60, 'x'), -1, &ctx).IsMatched());
  stopper.join();
  EXPECT_EQ(ctx.limit_hit, regex::LimitKind::kStopped);
}

}  // namespace
