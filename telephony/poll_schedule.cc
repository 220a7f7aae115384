#include "telephony/poll_schedule.h"

#include <algorithm>

#include "platform/clock.h"

namespace telephony {

PollSchedule::PollSchedule(uint32_t period_ms) : period_ms_(std::max<uint32_t>(period_ms, 1)) {}

uint32_t PollSchedule::StartFrom(uint32_t now) const {
  const uint32_t due = now + period_ms_;
  return due - due % period_ms_;
}

void PollSchedule::Pause() {
  platform::Clock& clock = platform::GetClock();
  const uint32_t now = clock.TickCount();
  if (!started_) {
    next_ = StartFrom(now);
    started_ = true;
  } else {
    next_ += period_ms_;
    // Held up past the poll time: no burst of polls to catch up.
    if (static_cast<int32_t>(next_ - now) <= 0) next_ = StartFrom(now);
  }
  clock.SleepUntil(next_);
}

}  // namespace telephony
