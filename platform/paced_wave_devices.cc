// The paced null and file devices (wave_device.h): the null device plays
// into nothing and records silence; the file device plays into a capture
// file per open and records from a raw file of its tag, then silence.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/g711.h"
#include "platform/wav_file.h"
#include "platform/wave_buffer_thread.h"
#include "platform/wave_device.h"

namespace platform {
namespace {

// The capture file's header: a fmt chunk of 18 bytes.
std::string CaptureHeader(const WaveFormat& f, uint32_t data_size) {
  return WavHeaderBytes(f, data_size, WavHeaderForm::k46);
}

constexpr uint64_t kMillisPerSecond = 1000;
// A buffer given within this time of the end of the last plays on from it.
constexpr uint32_t kBackToBackSlackMs = 20;

// Lets each buffer's play time pass at the format's byte rate, then hands
// the bytes that time covered to Transfer.
class PacedWave : public WaveBufferThread {
 public:
  using WaveBufferThread::WaveBufferThread;

 protected:
  // Plays or fills bytes. Device thread.
  virtual void Transfer(uint8_t* data, uint32_t bytes) = 0;

 private:
  uint32_t Move(uint8_t* data, uint32_t size, uint32_t ready) override {
    const auto ms = static_cast<uint32_t>(uint64_t{size} * kMillisPerSecond / format().bytes_per_sec);
    Clock& clock = GetClock();
    // Buffers given back to back play back to back: the next one is due
    // from the end of the last, so the refill delays do not add up.
    const uint32_t began = has_due_ && ready - due_ <= kBackToBackSlackMs ? due_ : ready;
    has_due_ = true;
    due_ = began + ms;
    uint32_t bytes = size;
    if (WaitCutTick(due_)) {
      const uint32_t cut_at = clock.TickCount();
      const auto played = static_cast<int32_t>(cut_at - began);
      bytes = BytesOf(played > 0 ? static_cast<uint64_t>(played) : 0, size);
      due_ = cut_at;
    }
    if (bytes > 0) Transfer(data, bytes);
    return bytes;
  }

  uint32_t due_ = 0;       // device thread: the tick at which the last buffer ended
  bool has_due_ = false;   // device thread: a buffer has played
};

uint8_t SilenceOf(const WaveFormat& format) {
  if (format.tag == kWaveTagAlaw) return kAlawZero;
  if (format.tag == kWaveTagUlaw) return kUlawZero;
  return 0;
}

// Plays into a capture file (or nothing when file is null).
class PacedOut : public BufferedWaveOut<PacedWave> {
 public:
  PacedOut(const WaveFormat& format, WaveNoticeQueue* queue, FILE* file)
      : BufferedWaveOut(format, queue, false), file_(file) {}
  ~PacedOut() override {
    Close();
    if (file_ == nullptr) return;
    const std::string header = CaptureHeader(format(), written_);
    if (std::fseek(file_, 0, SEEK_SET) == 0) std::fwrite(header.data(), 1, header.size(), file_);
    std::fclose(file_);
  }

 private:
  void Transfer(uint8_t* data, uint32_t bytes) override {
    if (file_ == nullptr) return;
    scratch_.assign(data, data + bytes);
    const uint32_t volume = Volume();
    if (format().tag == kWaveTagPcm && format().bits_per_sample == 16) {
      ScalePcm16(scratch_.data(), bytes, volume);
    }
    written_ += static_cast<uint32_t>(std::fwrite(scratch_.data(), 1, bytes, file_));
    std::fflush(file_);
  }

  FILE* const file_;
  std::vector<uint8_t> scratch_;  // device thread
  uint32_t written_ = 0;          // device thread, then the destructor after the join
};

// Records from a raw file (or nothing when file is null), then silence.
class PacedIn : public BufferedWaveIn<PacedWave> {
 public:
  PacedIn(const WaveFormat& format, WaveNoticeQueue* queue, FILE* file)
      : BufferedWaveIn(format, queue, true), file_(file) {}
  ~PacedIn() override {
    Close();
    if (file_ != nullptr) std::fclose(file_);
  }

 private:
  void Transfer(uint8_t* data, uint32_t bytes) override {
    size_t got = 0;
    if (file_ != nullptr) got = std::fread(data, 1, bytes, file_);
    std::memset(data + got, SilenceOf(format()), bytes - got);
  }

  FILE* const file_;
};

class PacedDevices : public WaveDevices {
 public:
  explicit PacedDevices(std::string folder) : folder_(std::move(folder)) {}

  int32_t OpenOut(int32_t /*device*/, const WaveFormat& format, std::string_view tag,
                  WaveNoticeQueue* queue, std::unique_ptr<WaveOut>* out) override {
    FILE* file = nullptr;
    if (!folder_.empty()) {
      file = std::fopen(CaptureName(tag).c_str(), "wbe");
      if (file == nullptr) return kWaveBadDevice;
      const std::string header = CaptureHeader(format, 0);
      std::fwrite(header.data(), 1, header.size(), file);
    }
    auto device = std::make_unique<PacedOut>(format, queue, file);
    if (const int32_t started = device->Open("wave out"); started != kWaveOk) return started;
    *out = std::move(device);
    return kWaveOk;
  }

  int32_t OpenIn(int32_t /*device*/, const WaveFormat& format, std::string_view tag,
                 WaveNoticeQueue* queue, std::unique_ptr<WaveIn>* in) override {
    FILE* file = nullptr;
    if (!folder_.empty()) {
      file = std::fopen((folder_ + "/in-" + std::string(tag) + ".raw").c_str(), "rbe");
    }
    auto device = std::make_unique<PacedIn>(format, queue, file);
    if (const int32_t started = device->Open("wave in"); started != kWaveOk) return started;
    *in = std::move(device);
    return kWaveOk;
  }

 private:
  std::string CaptureName(std::string_view tag) {
    int n;
    {
      std::lock_guard<std::mutex> lock(mu_);
      n = ++opened_[std::string(tag)];
    }
    return folder_ + "/out-" + std::string(tag) + "-" + std::to_string(n) + ".wav";
  }

  const std::string folder_;
  std::mutex mu_;
  std::map<std::string, int> opened_;  // guarded by mu_: capture files made per tag
};

}  // namespace

std::unique_ptr<WaveDevices> MakePacedWaveDevices(const std::string& folder) {
  return std::make_unique<PacedDevices>(folder);
}

}  // namespace platform
