#include "telephony/board/board_pump_timer.h"

namespace telephony {
namespace {

// The timer only sleeps and calls the pump.
constexpr size_t kTimerStackBytes = 64 * 1024;

}  // namespace

BoardPumpTimer::BoardPumpTimer(uint32_t period_ms, std::function<void()> pump)
    : period_(period_ms), pump_(std::move(pump)) {}

BoardPumpTimer::~BoardPumpTimer() { Stop(); }

void BoardPumpTimer::AddWaiter() {
  std::lock_guard<std::mutex> hold(mu_);
  if (++waiters_ == 1) changed_.notify_all();
  if (!started_ && !stop_) {
    started_ = thread_.Start("board pump", kTimerStackBytes, [this] { Run(); });
  }
}

void BoardPumpTimer::RemoveWaiter() {
  std::lock_guard<std::mutex> hold(mu_);
  --waiters_;
}

void BoardPumpTimer::Stop() {
  {
    std::lock_guard<std::mutex> hold(mu_);
    stop_ = true;
  }
  changed_.notify_all();
  // thread_ is started only under mu_ and never after stop_ is set.
  thread_.Join();
}

uint64_t BoardPumpTimer::Pumps() const {
  std::lock_guard<std::mutex> hold(mu_);
  return pumps_;
}

void BoardPumpTimer::Run() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> hold(mu_);
  Clock::time_point next = Clock::now() + period_;
  while (!stop_) {
    if (waiters_ == 0) {
      changed_.wait(hold, [&] { return stop_ || waiters_ > 0; });
      next = Clock::now() + period_;
      continue;
    }
    if (changed_.wait_until(hold, next, [&] { return stop_; })) break;
    const Clock::time_point now = Clock::now();
    next += period_;
    if (next <= now) next = now + period_;  // held up: no burst of pumps
    if (waiters_ == 0) continue;
    ++pumps_;
    hold.unlock();
    pump_();
    hold.lock();
  }
}

}  // namespace telephony
