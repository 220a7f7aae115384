// The schedule of a polling loop: its polls fall on the instants common to
// all loops of its period, come exactly one period apart, never later than
// a plain sleep of the period would make them, and start again after a loop
// was held up.
#include "telephony/poll_schedule.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace telephony {
namespace {

constexpr uint32_t kPeriodMs = 180;

TEST(PollScheduleTest, PollsOnTheCommonInstantsOnePeriodApart) {
  for (uint32_t start : {1000u, 1007u, 1079u, 1080u, 1081u, 0xFFFFFFF0u - 7}) {
    SCOPED_TRACE(start);
    platform::FakeClock clock(start);
    platform::ScopedClock use(&clock);
    PollSchedule schedule(kPeriodMs);
    schedule.Pause();
    const uint32_t first = clock.TickCount();
    EXPECT_EQ(first, schedule.NextTick());
    EXPECT_EQ(first % kPeriodMs, 0u);
    EXPECT_LE(first - start, kPeriodMs);  // never later than a plain sleep
    EXPECT_GT(first - start, 0u);
    for (uint32_t poll = 1; poll <= 5; ++poll) {
      schedule.Pause();
      EXPECT_EQ(clock.TickCount() - first, poll * kPeriodMs);
    }
  }
}

TEST(PollScheduleTest, LinesStartedApartPollTogether) {
  platform::FakeClock clock(5003);
  platform::ScopedClock use(&clock);
  PollSchedule a(kPeriodMs);
  a.Pause();
  clock.Advance(47);
  PollSchedule b(kPeriodMs);
  b.Pause();
  EXPECT_EQ(b.NextTick(), a.NextTick() + kPeriodMs);  // a's second poll
}

TEST(PollScheduleTest, AHeldUpLoopStartsAgainInsteadOfCatchingUp) {
  platform::FakeClock clock(2000);
  platform::ScopedClock use(&clock);
  PollSchedule schedule(kPeriodMs);
  schedule.Pause();
  clock.Advance(3 * kPeriodMs + 5);  // the poll itself took three periods
  const uint32_t late = clock.TickCount();
  const uint64_t slept = clock.SleptMillis();
  schedule.Pause();
  EXPECT_EQ(clock.TickCount() % kPeriodMs, 0u);
  EXPECT_GT(clock.TickCount() - late, 0u);
  EXPECT_LE(clock.TickCount() - late, kPeriodMs);
  EXPECT_EQ(clock.SleptMillis() - slept, clock.TickCount() - late);
  // A poll held up by less than a period keeps to its time.
  const uint32_t due = clock.TickCount() + kPeriodMs;
  clock.Advance(kPeriodMs - 1);
  schedule.Pause();
  EXPECT_EQ(clock.TickCount(), due);
}

}  // namespace
}  // namespace telephony
