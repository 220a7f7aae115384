#include "platform/change_bell.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace platform {
namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) &&
                  std::atomic<uint32_t>::is_always_lock_free,
              "the count is the futex word");

uint32_t* Word(std::atomic<uint32_t>& count) { return reinterpret_cast<uint32_t*>(&count); }

}  // namespace

void ChangeBell::Ring() {
  count_.fetch_add(1, std::memory_order_seq_cst);
  // A waiter counts itself before it reads the count, a ring moves the count
  // before it reads the waiters: either the ring sees the waiter or the
  // waiter sees the new count (the kernel compares it again).
  if (waiters_.load(std::memory_order_seq_cst) > 0) {
    syscall(SYS_futex, Word(count_), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
  }
}

void ChangeBell::WaitFor(uint32_t seen, uint32_t ms) {
  WaitUntil(seen, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
}

void ChangeBell::WaitUntil(uint32_t seen, std::chrono::steady_clock::time_point deadline) {
  // The steady clock is CLOCK_MONOTONIC, the clock of the futex's deadline.
  const auto since_epoch = deadline.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
  timespec at;
  at.tv_sec = static_cast<time_t>(seconds.count());
  at.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch - seconds).count());
  waiters_.fetch_add(1, std::memory_order_seq_cst);
  while (count_.load(std::memory_order_seq_cst) == seen) {
    const long r = syscall(SYS_futex, Word(count_), FUTEX_WAIT_BITSET_PRIVATE, seen, &at,
                           nullptr, FUTEX_BITSET_MATCH_ANY);
    if (r != 0 && errno == ETIMEDOUT) break;
  }
  waiters_.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace platform
