#include "simboard/change_bells.h"

namespace simboard {

ChangeBells::ChangeBells(size_t lines) : bells_(std::make_unique<Bell[]>(lines)) {}

void ChangeBells::Ring(size_t line) {
  Bell& b = bells_[line];
  bool wake;
  {
    std::lock_guard<std::mutex> hold(b.mu);
    ++b.count;
    wake = b.waiters > 0;
  }
  if (wake) b.rung.notify_all();
}

uint32_t ChangeBells::Count(size_t line) const {
  const Bell& b = bells_[line];
  std::lock_guard<std::mutex> hold(b.mu);
  return b.count;
}

void ChangeBells::Wait(size_t line, uint32_t seen,
                       std::chrono::steady_clock::time_point deadline) {
  Bell& b = bells_[line];
  std::unique_lock<std::mutex> hold(b.mu);
  ++b.waiters;
  b.rung.wait_until(hold, deadline, [&] { return b.count != seen; });
  --b.waiters;
}

}  // namespace simboard
