#include "platform/clock.h"

#include <cerrno>
#include <ctime>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform {
namespace {

constexpr uint64_t kNanosPerMilli = 1000000;
constexpr uint64_t kNanosPerSecond = 1000000000;

uint64_t MonotonicNanos() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * kNanosPerSecond + static_cast<uint64_t>(ts.tv_nsec);
}

std::atomic<Clock*>& InstalledClock() {
  static RealClock real;
  static std::atomic<Clock*> clock{&real};
  return clock;
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

uint32_t RealClock::TickCount() {
  return static_cast<uint32_t>(MonotonicNanos() / kNanosPerMilli);
}

WallTime RealClock::Now() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  tm parts;
  localtime_r(&tv.tv_sec, &parts);
  return WallTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour,        parts.tm_min,     parts.tm_sec,
                  static_cast<int>(tv.tv_usec / 1000),    parts.tm_wday};
}

bool RealClock::Sleep(uint32_t ms, const std::atomic<bool>* stop) {
  if (stop == nullptr) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
  // A sleeping line costs no wakeups until its time is up or a stop comes.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  ChangeBell& bell = StopSleepersBell();
  for (;;) {
    const uint32_t seen = bell.Count();  // before the look: no ring is missed
    if (stop->load(std::memory_order_relaxed)) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return true;
    bell.WaitUntil(seen, std::min(end, now + std::chrono::milliseconds(kStopCheckMs)));
  }
}

void RealClock::WaitChange(ChangeSource& source, uint32_t seen, uint32_t ms) {
  source.WaitFor(seen, ms);
}

void Clock::WaitChange(ChangeSource& source, uint32_t seen, uint32_t ms) {
  if (source.Count() == seen) Sleep(ms);
}

ChangeBell& StopSleepersBell() {
  static ChangeBell bell;
  return bell;
}

void WakeStopSleepers() { StopSleepersBell().Ring(); }

void RealClock::SleepUntil(uint32_t tick) {
  const uint64_t now_ms = MonotonicNanos() / kNanosPerMilli;
  const int32_t ahead = static_cast<int32_t>(tick - static_cast<uint32_t>(now_ms));
  if (ahead <= 0) return;
  // The absolute deadline is the same instant for every thread that sleeps
  // until this tick, so the kernel wakes them from one timer expiry.
  const uint64_t deadline = (now_ms + static_cast<uint64_t>(ahead)) * kNanosPerMilli;
  timespec ts;
  ts.tv_sec = static_cast<time_t>(deadline / kNanosPerSecond);
  ts.tv_nsec = static_cast<long>(deadline % kNanosPerSecond);
  int rc;
  do {
    rc = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
  } while (rc == EINTR);  // a signal: the same deadline again
}

FakeClock::FakeClock(uint32_t start_tick, WallTime start)
    : tick_(start_tick), start_(start) {}

uint32_t FakeClock::TickCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return tick_;
}

WallTime FakeClock::Now() {
  std::lock_guard<std::mutex> lock(mu_);
  return AddMillis(start_, elapsed_);
}

bool FakeClock::Sleep(uint32_t ms, const std::atomic<bool>* stop) {
  if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> lock(mu_);
  tick_ += ms;
  elapsed_ += ms;
  slept_ += ms;
  ++sleep_calls_;
  return true;
}

void FakeClock::SleepUntil(uint32_t tick) {
  std::lock_guard<std::mutex> lock(mu_);
  const int32_t ahead = static_cast<int32_t>(tick - tick_);
  const uint32_t ms = ahead > 0 ? static_cast<uint32_t>(ahead) : 0;
  tick_ += ms;
  elapsed_ += ms;
  slept_ += ms;
  ++sleep_calls_;
}

void FakeClock::Advance(uint32_t ms) {
  std::lock_guard<std::mutex> lock(mu_);
  tick_ += ms;
  elapsed_ += ms;
}

uint64_t FakeClock::SleptMillis() const {
  std::lock_guard<std::mutex> lock(mu_);
  return slept_;
}

uint64_t FakeClock::SleepCalls() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sleep_calls_;
}

Clock& GetClock() { return *InstalledClock().load(std::memory_order_acquire); }

ScopedClock::ScopedClock(Clock* clock)
    : previous_(InstalledClock().exchange(clock, std::memory_order_acq_rel)) {}

ScopedClock::~ScopedClock() {
  InstalledClock().store(previous_, std::memory_order_release);
}

int64_t LocalEpochSeconds(const WallTime& t) {
  tm parts = {};
  parts.tm_year = t.year - 1900;
  parts.tm_mon = t.month - 1;
  parts.tm_mday = t.day;
  parts.tm_hour = t.hour;
  parts.tm_min = t.minute;
  parts.tm_sec = t.second;
  parts.tm_isdst = -1;
  return static_cast<int64_t>(MakeLocalTime(&parts));
}

time_t MakeLocalTime(struct tm* parts) {
  static std::mutex zone_lock;
  std::lock_guard<std::mutex> lock(zone_lock);
  return mktime(parts);
}

int64_t NowEpochSeconds() { return LocalEpochSeconds(GetClock().Now()); }

WallTime AddMillis(const WallTime& t, uint64_t ms) {
  WallTime r = t;
  uint64_t total = static_cast<uint64_t>(r.millis) + ms;
  r.millis = static_cast<int>(total % 1000);
  total = total / 1000 + static_cast<uint64_t>(r.second);
  r.second = static_cast<int>(total % 60);
  total = total / 60 + static_cast<uint64_t>(r.minute);
  r.minute = static_cast<int>(total % 60);
  total = total / 60 + static_cast<uint64_t>(r.hour);
  r.hour = static_cast<int>(total % 24);
  uint64_t days = total / 24;
  r.weekday = static_cast<int>((static_cast<uint64_t>(r.weekday) + days) % 7);
  while (days > 0) {
    int left = DaysInMonth(r.year, r.month) - r.day;
    if (days <= static_cast<uint64_t>(left)) {
      r.day += static_cast<int>(days);
      break;
    }
    days -= static_cast<uint64_t>(left) + 1;
    r.day = 1;
    if (++r.month > 12) {
      r.month = 1;
      ++r.year;
    }
  }
  return r;
}

}  // namespace platform
