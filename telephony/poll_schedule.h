// PollSchedule: the pauses of a line's loop that polls the board every
// period. Every loop of the same period polls at the same instants (the
// ticks that are whole multiples of the period), so the wakeups of many idle
// lines come together once a period instead of being spread over it: the
// system wakes the threads of one instant from a single timer, which costs
// far less than the same number of separate wakeups.
//
// The first pause is shortened to reach the common instant, never
// lengthened, and each later poll comes exactly one period after the one
// before, so no poll comes later than it would after a plain sleep of the
// period. A loop held up for a whole period starts its schedule again
// instead of catching up.
//
// One object per waiting loop, used on the line's thread only. Sleeps go
// through the installed platform clock.
#ifndef VTTEL_TELEPHONY_POLL_SCHEDULE_H_
#define VTTEL_TELEPHONY_POLL_SCHEDULE_H_

#include <cstdint>

namespace telephony {

class PollSchedule {
 public:
  // REQUIRES: period_ms > 0.
  explicit PollSchedule(uint32_t period_ms);

  // Sleeps until the next poll time.
  void Pause();

  // The tick of the next poll (meaningful after the first Pause).
  uint32_t NextTick() const { return next_; }

  // The last common instant not later than one period after now: always
  // after now, at most one period after it.
  uint32_t StartFrom(uint32_t now) const;

 private:

  const uint32_t period_ms_;
  bool started_ = false;
  uint32_t next_ = 0;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_POLL_SCHEDULE_H_
