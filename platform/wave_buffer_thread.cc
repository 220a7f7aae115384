#include "platform/wave_buffer_thread.h"

#include <algorithm>

#include "platform/clock.h"

namespace platform {
namespace {

constexpr size_t kDeviceThreadStackBytes = 0x10000;
constexpr uint64_t kMillisPerSecond = 1000;


bool OnRealClock() { return dynamic_cast<RealClock*>(&GetClock()) != nullptr; }

// Ticks from now until tick (0 when reached).
uint32_t TicksUntil(uint32_t tick) {
  const auto ahead = static_cast<int32_t>(tick - GetClock().TickCount());
  return ahead > 0 ? static_cast<uint32_t>(ahead) : 0;
}

}  // namespace

WaveBufferThread::WaveBufferThread(const WaveFormat& format, WaveNoticeQueue* queue,
                                   bool needs_start)
    : format_(format), queue_(queue), needs_start_(needs_start), started_(!needs_start) {}

WaveBufferThread::~WaveBufferThread() = default;

int32_t WaveBufferThread::Open(const char* thread_name) {
  if (format_.bytes_per_sec == 0 || format_.block_align == 0) return kWaveBadFormat;
  if (!thread_.Start(thread_name, kDeviceThreadStackBytes, [this] { Run(); })) {
    return kWaveNoDriver;
  }
  queue_->Post(WaveNotice{WaveNoticeKind::kOpened, 0, 0});
  return kWaveOk;
}

int32_t WaveBufferThread::Give(uint8_t* data, uint32_t size, uint32_t id) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (held_) return kWaveStillPlaying;
    data_ = data;
    size_ = size - size % format_.block_align;
    id_ = id;
    held_ = true;
    ready_ = GetClock().TickCount();
  }
  changed_.notify_all();
  return kWaveOk;
}

void WaveBufferThread::Begin() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!started_) ready_ = GetClock().TickCount();
    started_ = true;
  }
  changed_.notify_all();
}

void WaveBufferThread::Cut() {
  std::unique_lock<std::mutex> lock(mu_);
  if (held_) {
    cut_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
  }
  if (needs_start_) started_ = false;
}

void WaveBufferThread::Close() {
  if (closed_ || !thread_.joinable()) return;  // closed, or never opened
  closed_ = true;
  {
    std::lock_guard<std::mutex> lock(mu_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.Join();
  queue_->Post(WaveNotice{WaveNoticeKind::kClosed, 0, 0});
}

bool WaveBufferThread::Cutting() {
  std::lock_guard<std::mutex> lock(mu_);
  return cut_ || closing_;
}

bool WaveBufferThread::WaitCut(std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(mu_);
  return changed_.wait_until(lock, until, [this] { return cut_ || closing_; });
}

bool WaveBufferThread::WaitCutTick(uint32_t tick) {
  if (OnRealClock()) {
    return WaitCut(std::chrono::steady_clock::now() + std::chrono::milliseconds(TicksUntil(tick)));
  }
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    if (cut_ || closing_) return true;
    if (TicksUntil(tick) == 0) return false;
    changed_.wait_for(lock, kFakeClockLookMs);
  }
}

uint32_t WaveBufferThread::BytesOf(uint64_t ms, uint32_t size) const {
  const uint64_t bytes = ms * format_.bytes_per_sec / kMillisPerSecond;
  const uint64_t whole = bytes - bytes % format_.block_align;
  return static_cast<uint32_t>(std::min<uint64_t>(whole, size));
}

void WaveBufferThread::Run() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    changed_.wait(lock, [this] { return closing_ || cut_ || (held_ && started_); });
    if (!held_) {
      if (closing_) return;
      cut_ = false;
      continue;
    }
    uint32_t bytes = 0;
    if (started_) {  // a cut already asked for still moves the part due
      uint8_t* data = data_;
      const uint32_t size = size_;
      const uint32_t ready = ready_;
      lock.unlock();
      bytes = Move(data, size, ready);
      lock.lock();
    }
    // Free before the notice: its receiver may give the next buffer at once.
    held_ = false;
    cut_ = false;
    queue_->Post(WaveNotice{WaveNoticeKind::kDone, id_, bytes});
    changed_.notify_all();
    if (closing_) return;
  }
}

}  // namespace platform
