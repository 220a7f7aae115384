// A plain joinable OS thread with a chosen stack size, as the system starts
// its line threads (kLineThreadStackBytes each) and its service threads.
//
// Whoever calls Start owns the thread and joins it: Join waits without
// bound, JoinFor with a bound. A Thread that is destroyed (or assigned over)
// while its body still runs waits destroy_wait_ms() (5 s unless changed)
// for the body to end; if it does not, the thread is detached, a line goes
// to stderr, and the body keeps running on its own until it returns: it
// must then touch nothing that died with its owner. The destructor never
// hangs without bound and never calls std::terminate. An exception that
// escapes a body ends the process, as with std::thread.
//
// Every running body is tracked process-wide by name, so shutdown can say
// which threads are still alive (LiveThreadCount, LiveThreadNames). A body
// is counted from Start until it has returned.
//
// Thread rules: one Thread object is used by one thread at a time (its
// owner); the tracking functions may be called from any thread.
#ifndef VTTEL_PLATFORM_THREAD_H_
#define VTTEL_PLATFORM_THREAD_H_

#include <pthread.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Stack of every line thread.
constexpr size_t kLineThreadStackBytes = 0x80000;
// Longest name the kernel keeps for a thread, without the NUL.
constexpr size_t kThreadNameMaxBytes = 15;
// How long the destructor of a running Thread waits before detaching it.
constexpr uint32_t kThreadDestroyWaitMs = 5000;

class Thread {
 public:
  Thread() = default;
  ~Thread();

  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Moving hands the running thread over; the source is left not joinable.
  // Assigning over a joinable Thread first ends it as the destructor does.
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&& other) noexcept;

  // Starts body on a new thread with a stack of stack_bytes (0 takes the
  // system default; a size below the system minimum is raised to it; glibc
  // may hand out a larger cached stack, never a smaller one). The
  // kernel name is name (GBK) cut to kThreadNameMaxBytes without splitting
  // a double-byte character. Returns false, and runs nothing, when this
  // Thread is still joinable or the thread cannot be created.
  bool Start(std::string name, size_t stack_bytes, std::function<void()> body);

  // Waits at most ms milliseconds for the body to end. True when the thread
  // was joined (it is then no longer joinable); false on timeout, when not
  // joinable, or when called on the thread itself.
  bool JoinFor(uint32_t ms);

  // Waits for the body to end. Does nothing when not joinable.
  // REQUIRES: not called on the thread itself.
  void Join();

  bool joinable() const { return joinable_; }
  const std::string& name() const { return name_; }

  void set_destroy_wait_ms(uint32_t ms) { destroy_wait_ms_ = ms; }
  uint32_t destroy_wait_ms() const { return destroy_wait_ms_; }

 private:
  // Joins with the destroy wait, else detaches and reports on stderr.
  void Finish();

  pthread_t thread_{};
  bool joinable_ = false;
  std::string name_;
  uint32_t destroy_wait_ms_ = kThreadDestroyWaitMs;
};

// Number of Thread bodies started and not yet returned, in this process.
size_t LiveThreadCount();

// Their names (as given to Start, uncut), oldest first.
std::vector<std::string> LiveThreadNames();

}  // namespace platform

#endif  // VTTEL_PLATFORM_THREAD_H_
