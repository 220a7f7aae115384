// MediaClock: the board's real-time clock thread. It calls the tick
// function every period on a fixed schedule (start + n * period): a late
// tick is caught up at once so the media never drifts; after a stall of
// more than kMaxBacklog periods the schedule restarts from now. A tick that
// returns false (nothing left to clock) rests the clock until Wake; the
// schedule then starts again one period after the wake. A Wake that comes
// while a tick runs is never lost: that tick's false does not rest it.
//
// Start and Stop are called by the owner's thread; tick runs on the clock
// thread only; Wake is thread-safe. The destructor stops the clock.
#ifndef VTTEL_SIMBOARD_SIM_MEDIA_CLOCK_H_
#define VTTEL_SIMBOARD_SIM_MEDIA_CLOCK_H_

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace simboard {

class MediaClock {
 public:
  static constexpr int kMaxBacklog = 50;

  MediaClock(std::chrono::milliseconds period, std::function<bool()> tick);
  ~MediaClock();
  MediaClock(const MediaClock&) = delete;
  MediaClock& operator=(const MediaClock&) = delete;

  void Start();
  // Ends the thread after the running tick and joins it.
  void Stop();
  // Ends a rest: ticks go on one period from now.
  void Wake();
  // Processor time the clock thread has used, in seconds (0 when stopped).
  double ThreadCpuSeconds() const;
  uint64_t Ticks() const { return ticks_.load(std::memory_order_relaxed); }

 private:
  void Run();

  const std::chrono::milliseconds period_;
  const std::function<bool()> tick_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;   // guarded by mutex_
  bool woken_ = false;    // guarded by mutex_: a Wake since the running tick began
  bool resting_ = false;  // guarded by mutex_
  std::thread thread_;
  std::atomic<bool> have_cpu_clock_{false};
  clockid_t cpu_clock_{};  // written before have_cpu_clock_ is set
  std::atomic<uint64_t> ticks_{0};
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_MEDIA_CLOCK_H_
