// ChangeSource: something a thread can wait on until it changes, through a
// count that moves at every change. A waiter reads Count, looks at what it
// watches, then waits for the count to differ from what it read: a change
// made after the read is never missed. Waits that should follow the
// installed clock (a test's FakeClock) go through Clock::WaitChange.
//
// ChangeBell: the change source of this process's own waits. A ring moves
// the count and wakes the waiters, who sleep without wakeups until a ring or
// their deadline; a ring without waiters wakes nobody. A wait is one futex
// wait on the count itself: no lock is taken by a ring or a wait.
//
// Thread-safe: any thread rings, reads and waits.
#ifndef VTTEL_PLATFORM_CHANGE_BELL_H_
#define VTTEL_PLATFORM_CHANGE_BELL_H_

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform {

class ChangeSource {
 public:
  virtual ~ChangeSource() = default;
  virtual uint32_t Count() const = 0;
  // Returns once the count differs from seen or ms milliseconds of real
  // time have passed.
  virtual void WaitFor(uint32_t seen, uint32_t ms) = 0;
};

class ChangeBell : public ChangeSource {
 public:
  ChangeBell() = default;
  ChangeBell(const ChangeBell&) = delete;
  ChangeBell& operator=(const ChangeBell&) = delete;

  // Moves the count and wakes the waiters.
  void Ring();
  uint32_t Count() const override { return count_.load(std::memory_order_acquire); }
  void WaitFor(uint32_t seen, uint32_t ms) override;
  // Returns once the count differs from seen or the steady clock reaches
  // deadline. Waiters with the same deadline are woken by the kernel
  // together.
  void WaitUntil(uint32_t seen, std::chrono::steady_clock::time_point deadline);

 private:
  std::atomic<uint32_t> count_{0};   // the futex word
  std::atomic<int32_t> waiters_{0};  // a ring without waiters makes no system call
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_CHANGE_BELL_H_
