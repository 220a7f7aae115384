// The one clock of the system: a 32-bit millisecond tick that wraps like the
// original's, local wall time with milliseconds, and sleeps that end early
// when a stop flag is raised.
//
// Everything that waits or stamps goes through platform::GetClock(), so a
// test installs a FakeClock with ScopedClock and never sleeps on the wall
// clock. The installed clock must outlive every thread that uses it.
#ifndef VTTEL_PLATFORM_CLOCK_H_
#define VTTEL_PLATFORM_CLOCK_H_

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "platform/change_bell.h"

namespace platform {

// Local time broken down as the system's logs and statements print it.
struct WallTime {
  int year = 0;    // e.g. 2014
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59
  int millis = 0;  // 0-999
  int weekday = 0; // 0 Sunday - 6 Saturday
};

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start; wraps at 2^32 like GetTickCount.
  virtual uint32_t TickCount() = 0;

  // The local date and time now.
  virtual WallTime Now() = 0;

  // Sleeps ms milliseconds. When stop is given and becomes true the sleep
  // ends early: at once when the setter rings WakeStopSleepers, else within
  // kStopCheckMs. Returns false when it ended because of the stop flag,
  // true when the full time has passed.
  virtual bool Sleep(uint32_t ms, const std::atomic<bool>* stop = nullptr) = 0;

  // Sleeps until the tick count reaches `tick`; returns at once when it has
  // already (a tick up to 2^31 ms behind the count counts as reached).
  // Threads that sleep until the same tick wake together, which costs the
  // system much less than the same wakeups spread over time.
  virtual void SleepUntil(uint32_t tick) = 0;

  // Sleeps ms milliseconds or until the source's count differs from seen,
  // whichever comes first. This body sleeps the whole time unless the count
  // differs already, so a test's clock moves by the wait at once; the
  // RealClock wakes at the change.
  virtual void WaitChange(ChangeSource& source, uint32_t seen, uint32_t ms);
};

// A sleep with a stop flag looks at the flag at least this often.
inline constexpr uint32_t kStopCheckMs = 50;

// Ends every Sleep with a stop flag early enough to see its flag: call it
// right after setting a flag that such a sleep may be waiting on. Any
// thread; cheap enough for every stop request.
void WakeStopSleepers();
// The bell that WakeStopSleepers rings, for waits of their own that a stop
// request must end.
ChangeBell& StopSleepersBell();

// The system clock: CLOCK_MONOTONIC for the tick (a tick starts exactly on
// a millisecond of that clock), localtime_r for the date.
class RealClock : public Clock {
 public:
  uint32_t TickCount() override;
  WallTime Now() override;
  bool Sleep(uint32_t ms, const std::atomic<bool>* stop = nullptr) override;
  void SleepUntil(uint32_t tick) override;
  void WaitChange(ChangeSource& source, uint32_t seen, uint32_t ms) override;
};

// A clock for tests: time moves only when a test advances it or when some
// thread sleeps on it (a sleep advances the clock by its length at once).
// Thread-safe; Now() is the start date plus the elapsed ticks.
class FakeClock : public Clock {
 public:
  // Starts at the given tick and local date (millis included).
  explicit FakeClock(uint32_t start_tick = 1000,
                     WallTime start = WallTime{2014, 3, 5, 8, 15, 0, 123, 3});

  uint32_t TickCount() override;
  WallTime Now() override;
  bool Sleep(uint32_t ms, const std::atomic<bool>* stop = nullptr) override;
  // Moves the clock to `tick` at once (when it is ahead), counted as a sleep.
  void SleepUntil(uint32_t tick) override;

  void Advance(uint32_t ms);
  // Total milliseconds slept through Sleep and SleepUntil, and the number of
  // their calls.
  uint64_t SleptMillis() const;
  uint64_t SleepCalls() const;

 private:
  mutable std::mutex mu_;
  uint32_t tick_;               // guarded by mu_
  uint64_t elapsed_ = 0;        // guarded by mu_: ms since construction
  uint64_t slept_ = 0;          // guarded by mu_
  uint64_t sleep_calls_ = 0;    // guarded by mu_
  WallTime start_;
};

// The clock in use (a RealClock unless a test installed another).
Clock& GetClock();

// Installs a clock for the life of this object and restores the previous one.
class ScopedClock {
 public:
  explicit ScopedClock(Clock* clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

// Adds ms to a broken-down time, carrying through days, months and years.
WallTime AddMillis(const WallTime& t, uint64_t ms);

// Seconds since 1970 of a local time (daylight saving decided by the zone);
// calendar time of the system: connect times, "Time(" and the like.
int64_t LocalEpochSeconds(const WallTime& t);
// mktime of parts, one caller at a time: with TZ unset the C library frees
// and copies its zone name on every call, under a lock of its own that race
// detectors cannot see. Every local-time conversion of the system goes here.
time_t MakeLocalTime(struct tm* parts);
// LocalEpochSeconds of the installed clock's Now(), so a FakeClock moves it.
int64_t NowEpochSeconds();

}  // namespace platform

#endif  // VTTEL_PLATFORM_CLOCK_H_
