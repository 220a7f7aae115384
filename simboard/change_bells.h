// ChangeBells: the change counts of the simulated board's lines and the
// waits on them (the board's side of board::ChannelChanges). Each line has
// its own count, lock and condition, so a ring wakes only the thread that
// waits on that line, and neither a ring nor a wait touches the board's
// own lock.
//
// Thread-safe: any thread rings, reads and waits. A wait's deadline is an
// absolute instant of the steady clock, so lines that wait until the same
// instant are woken by the kernel together.
#ifndef VTTEL_SIMBOARD_CHANGE_BELLS_H_
#define VTTEL_SIMBOARD_CHANGE_BELLS_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace simboard {

class ChangeBells {
 public:
  explicit ChangeBells(size_t lines);
  ChangeBells(const ChangeBells&) = delete;
  ChangeBells& operator=(const ChangeBells&) = delete;

  // Moves the line's count and wakes its waiters. REQUIRES: line < lines.
  void Ring(size_t line);
  uint32_t Count(size_t line) const;
  // Returns once the line's count differs from seen or the steady clock
  // reaches deadline.
  void Wait(size_t line, uint32_t seen, std::chrono::steady_clock::time_point deadline);

 private:
  struct Bell {
    mutable std::mutex mu;
    std::condition_variable rung;
    uint32_t count = 0;  // guarded by mu
    int32_t waiters = 0;  // guarded by mu: a ring without waiters notifies nobody
  };
  std::unique_ptr<Bell[]> bells_;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CHANGE_BELLS_H_
