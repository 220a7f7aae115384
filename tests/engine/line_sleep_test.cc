// The pause of "Sleep(" on a line, beside the pause it replaced (1 ms
// passes, the call looked at on the first pass and every 20th after it),
// both run on a fake clock for the same line and the same event: the
// sleep ends at the same time, at a stop within a millisecond and, when
// the call goes offline, no later; a line that is not told of its changes
// is looked at exactly as before, a line that is told of them only when
// something happens.
#include "engine/line_sleep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/clock.h"

namespace engine {
namespace {

constexpr uint32_t kNoEvent = UINT32_MAX;

enum class Event { kNone, kStop, kFarRelease };

struct Case {
  const char* name;
  uint32_t wait_ms;  // 0: no end by time
  bool told;         // the line is told of every change (kToldOnline)
  uint32_t look_ms;  // how long a look at the line takes (an analog port: 20)
  Event event;
  uint32_t event_at;  // ms after the start of the sleep
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// A connected line whose far end may release the call or whose line may
// be stopped at a given moment; the moment comes when the fake clock
// passes it. IsOnline sees a release; a told line's change count moves
// at it too.
class ScriptedLine : public LineCallBase {
 public:
  ScriptedLine(platform::FakeClock& clock, const Case& c)
      : clock_(clock), case_(c), start_(clock.TickCount()) {
    callState = kCallConnected;
  }

  bool IsOnline() override {
    ++looks;
    if (case_.look_ms > 0) Pass(case_.look_ms);
    if (far_released_) callState = kCallReleased;
    return callState == kCallConnected;
  }
  uint32_t ChangeCount() override {
    return LineCallBase::ChangeCount() + (case_.told && far_released_ ? 1 : 0);
  }
  void WaitChange(uint32_t seen, uint32_t ms) override {
    while (ms > 0 && ChangeCount() == seen) {
      const uint32_t step = std::min(ms, MsToEvent());
      Pass(step);
      ms -= step;
    }
  }
  uint8_t ToldChanges() override { return case_.told ? kToldOnline : 0; }

  // Time passes; the event happens when its moment has come.
  void Pass(uint32_t ms) {
    clock_.Sleep(ms);
    if (fired_ || case_.event == Event::kNone || Elapsed() < case_.event_at) return;
    fired_ = true;
    if (case_.event == Event::kStop) {
      RaiseStop();
    } else {
      far_released_ = true;
    }
  }
  uint32_t Elapsed() const { return clock_.TickCount() - start_; }

  int looks = 0;

 private:
  uint32_t MsToEvent() const {
    if (fired_ || case_.event == Event::kNone) return kNoEvent;
    return std::max<uint32_t>(1, case_.event_at - std::min(case_.event_at, Elapsed()));
  }

  platform::FakeClock& clock_;
  const Case case_;
  const uint32_t start_;
  bool fired_ = false;
  bool far_released_ = false;
};

// The pause as it was: 1 ms passes; the call looked at on the first pass
// and every 20th after it, the sleep ending when it went from connected to
// released; then the end by time.
void PollingSleep(uint32_t wait_ms, ScriptedLine& line) {
  const uint32_t start = platform::GetClock().TickCount();
  int32_t last_state = line.callState.load();
  for (uint32_t pass = 0; line.stopFlag.load() == 0; ++pass) {
    line.Pass(1);
    if (pass % 20 == 0) {
      const int32_t before = line.callState.load();
      line.IsOnline();
      const int32_t now = line.callState.load();
      if (now == kCallReleased && (before == kCallConnected || last_state == kCallConnected)) {
        return;
      }
      last_state = now;
    }
    if (wait_ms != 0 && platform::GetClock().TickCount() - start > wait_ms) return;
  }
}

struct Outcome {
  uint32_t ended_at;  // ms after the start
  int looks;
};

template <typename Sleep>
Outcome SleepAndSee(const Case& c, Sleep sleep) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  ScriptedLine line(clock, c);
  sleep(line);
  return {line.Elapsed(), line.looks};
}

class LineSleepTest : public ::testing::TestWithParam<Case> {};

TEST_P(LineSleepTest, EndsNoLaterThanThePollingPauseDid) {
  const Case& c = GetParam();
  const Outcome polled =
      SleepAndSee(c, [&](ScriptedLine& line) { PollingSleep(c.wait_ms, line); });
  const Outcome slept =
      SleepAndSee(c, [&](ScriptedLine& line) { SleepOnLine(c.wait_ms, &line, nullptr); });
  const bool event_first = c.event != Event::kNone && (c.wait_ms == 0 || c.event_at <= c.wait_ms);
  if (!event_first) {
    EXPECT_EQ(slept.ended_at, c.wait_ms + 1);
    EXPECT_EQ(slept.ended_at, polled.ended_at);
  } else if (c.event == Event::kStop) {
    EXPECT_LE(slept.ended_at, c.event_at + 1);
    EXPECT_LE(slept.ended_at, polled.ended_at);
  } else if (c.told) {
    // Seen at the look that the release brings at once; the polls looked
    // up to 20 passes later, the look's own time aside.
    EXPECT_GE(slept.ended_at, c.event_at);
    EXPECT_LE(slept.ended_at, c.event_at + c.look_ms + 1);
    if (c.look_ms == 0) EXPECT_LE(slept.ended_at, polled.ended_at);
  }
  if (c.told) {
    // Once at the start, and at the release.
    EXPECT_LE(slept.looks, 2);
  } else {
    EXPECT_EQ(slept.looks, polled.looks);
    EXPECT_EQ(slept.ended_at, polled.ended_at);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineSleepTest,
    ::testing::Values(
        Case{"TimeUntold", 500, false, 0, Event::kNone, 0},
        Case{"TimeTold", 500, true, 0, Event::kNone, 0},
        Case{"TimeToldSlowLook", 180, true, 20, Event::kNone, 0},
        Case{"TimeBeforeRelease", 100, true, 0, Event::kFarRelease, 200},
        Case{"StopUntold", 0, false, 0, Event::kStop, 333},
        Case{"StopTold", 0, true, 20, Event::kStop, 333},
        Case{"StopToldWithTime", 1000, true, 0, Event::kStop, 57},
        Case{"ReleaseUntold", 0, false, 0, Event::kFarRelease, 95},
        Case{"ReleaseUntoldSlowLook", 2000, false, 20, Event::kFarRelease, 95},
        Case{"ReleaseTold", 1000, true, 0, Event::kFarRelease, 95},
        Case{"ReleaseToldSlowLook", 0, true, 20, Event::kFarRelease, 95}),
    [](const auto& info) { return std::string(info.param.name); });

// A line told of its changes that sleeps again (a script's loop) looks at
// it again only when its count moved since its last look: then at once.
TEST(LineSleep, AToldLineLooksAgainOnlyAfterAChange) {
  struct Again {
    const char* name;
    uint32_t far_release_at;  // kNoEvent: none
    int looks;                // by both sleeps
    uint32_t ended_at;        // the second sleep's end, ms after the first's start
  } const cases[] = {
      {"nothing changed", kNoEvent, 1, 250 + 101 + 101},
      // Released between the sleeps (at 300): the second sleep looks at
      // once and ends.
      {"released between", 300, 2, 101 + 250},
  };
  for (const Again& a : cases) {
    SCOPED_TRACE(a.name);
    platform::FakeClock clock;
    platform::ScopedClock use(&clock);
    const Case c{"again", 100, true, 0,
                 a.far_release_at == kNoEvent ? Event::kNone : Event::kFarRelease,
                 a.far_release_at};
    ScriptedLine line(clock, c);
    SleepOnLine(c.wait_ms, &line, nullptr);
    EXPECT_EQ(line.looks, 1);
    line.Pass(250);  // the script's other statements
    SleepOnLine(c.wait_ms, &line, nullptr);
    EXPECT_EQ(line.looks, a.looks);
    EXPECT_EQ(line.Elapsed(), a.ended_at);
  }
}

// Without a call the sleep ends by time or at the script's stop.
TEST(LineSleep, WithoutACallEndsByTimeOrTheScriptsStop) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  const uint32_t start = clock.TickCount();
  SleepOnLine(250, nullptr, nullptr);
  EXPECT_EQ(clock.TickCount() - start, 251u);
  std::atomic<uint8_t> stopped{1};
  SleepOnLine(0, nullptr, &stopped);
  EXPECT_EQ(clock.TickCount() - start, 251u);
}

}  // namespace
}  // namespace engine
