#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(AddMillis, CarriesThroughTheCalendar) {
  struct {
    WallTime start;
    uint64_t ms;
    WallTime end;
  } cases[] = {
      {{2014, 3, 5, 8, 15, 0, 123, 3}, 0, {2014, 3, 5, 8, 15, 0, 123, 3}},
      {{2014, 3, 5, 8, 15, 0, 123, 3}, 877, {2014, 3, 5, 8, 15, 1, 0, 3}},
      {{2014, 12, 31, 23, 59, 59, 999, 3}, 1, {2015, 1, 1, 0, 0, 0, 0, 4}},
      {{2016, 2, 28, 12, 0, 0, 0, 0}, 86400000, {2016, 2, 29, 12, 0, 0, 0, 1}},  // leap
      {{2015, 2, 28, 12, 0, 0, 0, 6}, 86400000, {2015, 3, 1, 12, 0, 0, 0, 0}},
      {{2000, 1, 1, 0, 0, 0, 0, 6}, 366ull * 86400000, {2001, 1, 1, 0, 0, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    WallTime r = AddMillis(c.start, c.ms);
    EXPECT_EQ(std::tie(r.year, r.month, r.day, r.hour, r.minute, r.second, r.millis, r.weekday),
              std::tie(c.end.year, c.end.month, c.end.day, c.end.hour, c.end.minute, c.end.second,
                       c.end.millis, c.end.weekday))
        << c.ms;
  }
}

TEST(FakeClock, TickWrapsAndSleepAdvances) {
  FakeClock clock(0xFFFFFFF0u);
  EXPECT_TRUE(clock.Sleep(0x20));
  EXPECT_EQ(clock.TickCount(), 0x10u);
  EXPECT_EQ(clock.Now().second, 0);
  clock.Advance(1000);
  EXPECT_EQ(clock.Now().second, 1);
  EXPECT_EQ(clock.SleepCalls(), 1u);
  std::atomic<bool> stop{true};
  EXPECT_FALSE(clock.Sleep(100, &stop));
  EXPECT_EQ(clock.SleptMillis(), 0x20u);
}

TEST(FakeClock, SleepUntilMovesToTheTick) {
  struct {
    uint32_t start;
    uint32_t until;
    uint32_t end;
    uint64_t slept;
  } cases[] = {
      {1000, 1180, 1180, 180},
      {1000, 1000, 1000, 0},                      // reached
      {1000, 900, 1000, 0},                       // behind: no sleep
      {0xFFFFFFF0u, 0x10, 0x10, 0x20},            // across the wrap
      {0x10, 0xFFFFFFF0u, 0x10, 0},               // just before the wrap: behind
  };
  for (const auto& c : cases) {
    FakeClock clock(c.start);
    clock.SleepUntil(c.until);
    EXPECT_EQ(clock.TickCount(), c.end) << c.start << " -> " << c.until;
    EXPECT_EQ(clock.SleptMillis(), c.slept) << c.start << " -> " << c.until;
    EXPECT_EQ(clock.SleepCalls(), 1u);
  }
}

TEST(ScopedClock, InstallsAndRestores) {
  Clock* real = &GetClock();
  {
    FakeClock fake(42);
    ScopedClock scoped(&fake);
    EXPECT_EQ(GetClock().TickCount(), 42u);
  }
  EXPECT_EQ(&GetClock(), real);
}

// The bell ends the sleeps whose flag is set; the others sleep on.
TEST(RealClock, StopBellEndsOnlyTheStoppedSleeps) {
  RealClock clock;
  constexpr int kSleepers = 16;
  std::atomic<bool> flags[kSleepers] = {};
  std::atomic<int> ended_early{0};
  std::vector<std::thread> sleepers;
  const uint32_t start = clock.TickCount();
  for (int i = 0; i < kSleepers; ++i) {
    sleepers.emplace_back([&, i] {
      if (!clock.Sleep(i % 2 == 0 ? 400u : 10000u, &flags[i])) ++ended_early;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (int i = 1; i < kSleepers; i += 2) flags[i] = true;
  WakeStopSleepers();
  for (auto& t : sleepers) t.join();
  const uint32_t took = clock.TickCount() - start;
  EXPECT_EQ(ended_early.load(), kSleepers / 2);
  EXPECT_GE(took, 400u);   // the unstopped ones slept their time
  EXPECT_LT(took, 3000u);  // the stopped ones did not sleep their 10 s
}

TEST(RealClock, SleepEndsEarlyOnStop) {
  RealClock clock;
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop = true;
  });
  uint32_t start = clock.TickCount();
  EXPECT_FALSE(clock.Sleep(5000, &stop));
  stopper.join();
  EXPECT_LT(clock.TickCount() - start, 1000u);
  EXPECT_TRUE(clock.Sleep(10, &stop) == false);  // already stopped
  std::atomic<bool> never{false};
  start = clock.TickCount();
  EXPECT_TRUE(clock.Sleep(20, &never));
  EXPECT_GE(clock.TickCount() - start, 20u);
}

TEST(RealClock, SleepUntilWakesEveryThreadAtTheTick) {
  RealClock clock;
  const uint32_t tick = clock.TickCount() + 40;
  constexpr int kThreads = 4;
  std::atomic<int> early{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      clock.SleepUntil(tick);
      if (static_cast<int32_t>(clock.TickCount() - tick) < 0) ++early;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(early.load(), 0);
  EXPECT_LT(clock.TickCount() - tick, 1000u);
  // A tick already passed returns at once.
  const uint32_t start = clock.TickCount();
  clock.SleepUntil(start - 5);
  clock.SleepUntil(start);
  EXPECT_LT(clock.TickCount() - start, 1000u);
}

TEST(RealClock, NowIsAPlausibleLocalTime) {
  WallTime t = RealClock().Now();
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_LE(t.millis, 999);
}

}  // namespace
}  // namespace platform
