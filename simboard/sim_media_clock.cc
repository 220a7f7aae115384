#include "simboard/sim_media_clock.h"

#include <time.h>

namespace simboard {

MediaClock::MediaClock(std::chrono::milliseconds period, std::function<bool()> tick)
    : period_(period), tick_(std::move(tick)) {}

MediaClock::~MediaClock() { Stop(); }

void MediaClock::Start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void MediaClock::Stop() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  have_cpu_clock_.store(false, std::memory_order_release);
}

void MediaClock::Wake() {
  bool was_resting;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    woken_ = true;
    was_resting = resting_;
  }
  if (was_resting) wake_.notify_all();  // a ticking clock needs no signal
}

double MediaClock::ThreadCpuSeconds() const {
  if (!have_cpu_clock_.load(std::memory_order_acquire)) return 0;
  timespec ts{};
  if (clock_gettime(cpu_clock_, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void MediaClock::Run() {
  if (pthread_getcpuclockid(pthread_self(), &cpu_clock_) == 0) {
    have_cpu_clock_.store(true, std::memory_order_release);
  }
  using Clock = std::chrono::steady_clock;
  Clock::time_point next = Clock::now() + period_;
  std::unique_lock<std::mutex> hold(mutex_);
  while (!stop_) {
    if (wake_.wait_until(hold, next, [this] { return stop_; })) break;
    woken_ = false;
    hold.unlock();
    const bool busy = tick_();
    ticks_.fetch_add(1, std::memory_order_relaxed);
    next += period_;
    Clock::time_point now = Clock::now();
    if (now - next > period_ * kMaxBacklog) next = now + period_;
    hold.lock();
    if (!busy) {
      resting_ = true;
      wake_.wait(hold, [this] { return stop_ || woken_; });
      resting_ = false;
      next = Clock::now() + period_;
    }
  }
}

}  // namespace simboard
