// BoardLock: the process-wide lock around every call into the board
// libraries. It is recursive (the board call classes re-enter it: a group of
// calls held together calls operations that take it again) and it knows
// whether the calling thread holds it, which the simulated board's strict
// mode checks on every call.
//
// Owned by the board drive (made by its constructor, deleted by its
// destructor). Thread-safe.
#ifndef VTTEL_SIMBOARD_BOARD_LOCK_H_
#define VTTEL_SIMBOARD_BOARD_LOCK_H_

#include <atomic>
#include <mutex>
#include <thread>

namespace simboard {

class BoardLock {
 public:
  BoardLock() = default;
  BoardLock(const BoardLock&) = delete;
  BoardLock& operator=(const BoardLock&) = delete;

  void lock() {
    mutex_.lock();
    if (depth_++ == 0) owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    if (depth_++ == 0) owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return true;
  }
  void unlock() {
    if (--depth_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
  // True when the calling thread holds the lock (at any depth).
  bool HeldByCurrentThread() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  std::recursive_mutex mutex_;
  int depth_ = 0;  // guarded by mutex_
  std::atomic<std::thread::id> owner_{};
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_BOARD_LOCK_H_
