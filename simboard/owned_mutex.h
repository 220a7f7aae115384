// OwnedMutex: a plain (not recursive) mutex that knows which thread holds
// it, so that the board can state, and its tests check, that no file work
// runs while it is held. Locking costs what std::mutex costs plus one
// relaxed store.
//
// Thread-safe. Satisfies the standard Lockable requirements
// (std::lock_guard, std::unique_lock).
#ifndef VTTEL_SIMBOARD_OWNED_MUTEX_H_
#define VTTEL_SIMBOARD_OWNED_MUTEX_H_

#include <atomic>
#include <mutex>
#include <thread>

namespace simboard {

class OwnedMutex {
 public:
  OwnedMutex() = default;
  OwnedMutex(const OwnedMutex&) = delete;
  OwnedMutex& operator=(const OwnedMutex&) = delete;

  void lock() {
    mutex_.lock();
    holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    holder_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    return true;
  }
  void unlock() {
    holder_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }
  // True when the calling thread holds the mutex. Only the holder stores
  // its own id, so a thread sees its own id exactly while it holds it.
  bool HeldByCurrentThread() const {
    return holder_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  std::mutex mutex_;
  std::atomic<std::thread::id> holder_{};
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_OWNED_MUTEX_H_
