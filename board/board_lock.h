// BoardLock: the process-wide lock around every call into the board
// libraries. It is recursive (the board call classes re-enter it: a group of
// calls held together calls operations that take it again) and it knows
// whether the calling thread holds it, which the simulated board's strict
// mode checks on every call. Taking it again on the holding thread, and
// taking it free, cost no system call; a contender spins briefly (the board
// calls it guards are short) before it sleeps.
//
// Owned by the board drive (made by its constructor, deleted by its
// destructor). Thread-safe.
#ifndef VTTEL_BOARD_BOARD_LOCK_H_
#define VTTEL_BOARD_BOARD_LOCK_H_

#include <atomic>
#include <mutex>
#include <thread>

namespace board {

class BoardLock {
 public:
  BoardLock() = default;
  BoardLock(const BoardLock&) = delete;
  BoardLock& operator=(const BoardLock&) = delete;

  void lock() {
    const std::thread::id me = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return;
    }
    if (!mutex_.try_lock()) LockContended();
    Own(me);
  }
  bool try_lock() {
    const std::thread::id me = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == me) {
      ++depth_;
      return true;
    }
    if (!mutex_.try_lock()) return false;
    Own(me);
    return true;
  }
  void unlock() {
    if (--depth_ > 0) return;
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
  // True when the calling thread holds the lock (at any depth).
  bool HeldByCurrentThread() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  // A holder keeps the lock for one board call, a few microseconds: a
  // contender tries again this many times before it sleeps in the kernel.
  static constexpr int kSpinTries = 200;

  void LockContended() {
    for (int i = 0; i < kSpinTries; ++i) {
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
      if (mutex_.try_lock()) return;
    }
    mutex_.lock();
  }
  void Own(std::thread::id me) {
    owner_.store(me, std::memory_order_relaxed);
    depth_ = 1;
  }

  std::mutex mutex_;
  int depth_ = 0;  // guarded by mutex_; only the owner reads or writes it
  // The holder, for the recursion test and HeldByCurrentThread: only the
  // holder stores its own id here, so a thread sees its own id exactly
  // while it holds the lock.
  std::atomic<std::thread::id> owner_{};
};

}  // namespace board

#endif  // VTTEL_BOARD_BOARD_LOCK_H_
