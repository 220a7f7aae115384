// BoardPumpTimer: the one process-wide timer that pumps the board while
// lines wait for their channels' changes instead of polling (a line that
// polls pumps the board itself on every look). It calls pump every period
// on a fixed schedule while at least one line waits, and sleeps without
// wakeups while none does. Its thread is started by the first wait, so a
// board whose lines never wait this way has none.
//
// Thread-safe: lines add and remove themselves from any thread; pump runs
// on the timer's thread, never while the timer's own lock is held. The
// destructor (or Stop) ends and joins the thread.
#ifndef VTTEL_TELEPHONY_BOARD_BOARD_PUMP_TIMER_H_
#define VTTEL_TELEPHONY_BOARD_BOARD_PUMP_TIMER_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/thread.h"

namespace telephony {

class BoardPumpTimer {
 public:
  // REQUIRES: period_ms > 0; pump outlives the timer's thread.
  BoardPumpTimer(uint32_t period_ms, std::function<void()> pump);
  ~BoardPumpTimer();
  BoardPumpTimer(const BoardPumpTimer&) = delete;
  BoardPumpTimer& operator=(const BoardPumpTimer&) = delete;

  // A line begins / ends its wait.
  void AddWaiter();
  void RemoveWaiter();
  // Ends and joins the thread; no pump runs after it returns.
  void Stop();

  // Pumps made so far.
  uint64_t Pumps() const;

 private:
  void Run();

  const std::chrono::milliseconds period_;
  const std::function<void()> pump_;
  mutable std::mutex mu_;
  std::condition_variable changed_;
  int32_t waiters_ = 0;  // guarded by mu_
  bool stop_ = false;    // guarded by mu_
  bool started_ = false; // guarded by mu_
  uint64_t pumps_ = 0;   // guarded by mu_
  platform::Thread thread_;  // started under mu_, joined by Stop
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_BOARD_PUMP_TIMER_H_
