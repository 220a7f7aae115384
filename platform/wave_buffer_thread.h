// The one-buffer engine of a wave device: a thread of the device waits
// (without polling) until the owner gives a buffer, has the subclass move
// it (Move: play it or fill it, taking as long as the device needs) and
// posts the done notice. Cut (a reset) and Close end a move early: Move
// looks at Cutting() and waits through WaitCut, and returns the bytes it
// moved.
//
// Thread rules: Give, Begin, Cut and Close are the owner's; Move runs on
// the device thread, never under the lock. A subclass's destructor calls
// Close first, so that no Move runs while its members die.
#ifndef VTTEL_PLATFORM_WAVE_BUFFER_THREAD_H_
#define VTTEL_PLATFORM_WAVE_BUFFER_THREAD_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/thread.h"
#include "platform/wave_device.h"

namespace platform {

class WaveBufferThread {
 public:
  // needs_start: buffers wait for Begin (an input device).
  WaveBufferThread(const WaveFormat& format, WaveNoticeQueue* queue, bool needs_start);
  virtual ~WaveBufferThread();
  WaveBufferThread(const WaveBufferThread&) = delete;
  WaveBufferThread& operator=(const WaveBufferThread&) = delete;

  // Starts the device thread and posts the opened notice: kWaveOk,
  // kWaveBadFormat for a format without byte rate or block size, or
  // kWaveNoDriver when the thread cannot start.
  int32_t Open(const char* thread_name);
  // Hands a buffer over (cut to whole blocks); kWaveStillPlaying while one
  // is held.
  int32_t Give(uint8_t* data, uint32_t size, uint32_t id);
  // Lets the buffers run (devices made with needs_start).
  void Begin();
  // Returns the buffer held at once (its done notice is posted when this
  // returns); a device made with needs_start then waits for Begin again.
  void Cut();
  // Ends the thread (a buffer held comes back as by Cut) and posts the
  // closed notice. Idempotent; nothing for a device that never opened.
  void Close();

  const WaveFormat& format() const { return format_; }

 protected:
  // Moves the buffer, which could run from the clock's tick `ready` on (the
  // later of its giving and the start); the bytes moved (size unless cut).
  // Device thread.
  virtual uint32_t Move(uint8_t* data, uint32_t size, uint32_t ready) = 0;
  // A cut or close is asking the move to end.
  bool Cutting();
  // Waits until `until` or a cut/close; true when a cut/close ended it.
  bool WaitCut(std::chrono::steady_clock::time_point until);
  // The same until the platform clock's tick reaches `tick`. On a test's
  // clock time moves only when the test or the owner's sleeps move it: the
  // wait looks at the clock every kFakeClockLookMs.
  bool WaitCutTick(uint32_t tick);
  // The whole blocks of ms of play time, at most size.
  uint32_t BytesOf(uint64_t ms, uint32_t size) const;

 private:
  void Run();

  const WaveFormat format_;
  WaveNoticeQueue* const queue_;
  const bool needs_start_;
  Thread thread_;
  std::mutex mu_;
  std::condition_variable changed_;
  uint8_t* data_ = nullptr;  // guarded by mu_: the buffer held
  uint32_t size_ = 0;        // guarded by mu_
  uint32_t id_ = 0;          // guarded by mu_
  bool held_ = false;        // guarded by mu_
  bool started_ = false;     // guarded by mu_
  bool cut_ = false;         // guarded by mu_
  bool closing_ = false;     // guarded by mu_
  uint32_t ready_ = 0;       // guarded by mu_: tick at which the buffer could run
  bool closed_ = false;      // owner only
};

// The output side of a buffer-thread device (Base: a WaveBufferThread
// subclass): a buffer written is given to the device thread, a reset cuts
// it, and the volume is kept for the device thread to apply (Volume()).
template <typename Base>
class BufferedWaveOut : public Base, public WaveOut {
 public:
  using Base::Base;
  int32_t Write(const uint8_t* data, uint32_t size, uint32_t id) override {
    return this->Give(const_cast<uint8_t*>(data), size, id);  // only read by the device thread
  }
  void Reset() override { this->Cut(); }
  int32_t SetVolume(uint32_t volume) override {
    volume_.store(volume & kWaveFullVolume, std::memory_order_relaxed);
    return kWaveOk;
  }

 protected:
  uint32_t Volume() const { return volume_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> volume_{kWaveFullVolume};
};

// The input side of a buffer-thread device: buffers given wait for Start.
template <typename Base>
class BufferedWaveIn : public Base, public WaveIn {
 public:
  using Base::Base;
  int32_t AddBuffer(uint8_t* data, uint32_t size, uint32_t id) override {
    return this->Give(data, size, id);
  }
  int32_t Start() override {
    this->Begin();
    return kWaveOk;
  }
  void Reset() override { this->Cut(); }
};

// How often a device waiting on a test's clock looks at it (real time).
inline constexpr std::chrono::milliseconds kFakeClockLookMs{1};

}  // namespace platform

#endif  // VTTEL_PLATFORM_WAVE_BUFFER_THREAD_H_
