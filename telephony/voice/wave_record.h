// TagWaveRecord: records from a wave-in device of the PC's sound card into a
// WAV file of 8 kHz 16-bit mono PCM with the 48-byte header (a format chunk
// of 20 bytes) whose sizes stay 0 until the destructor completes them. A
// thread of the recorder appends each filled buffer to the file and gives
// the buffer back to the device until a stop.
//
// Thread rules: construction, Start, Stop, CloseDevice, IsFinished and
// destruction are the owning line's; the notification thread writes the
// file. The device and the file are guarded by mu_; finished_ is an atomic
// for the owner's polls.
#ifndef VTTEL_TELEPHONY_VOICE_WAVE_RECORD_H_
#define VTTEL_TELEPHONY_VOICE_WAVE_RECORD_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/thread.h"
#include "platform/wave_device.h"

namespace telephony {

// Results of Start.
inline constexpr int32_t kRecordStarted = 0;
inline constexpr int32_t kRecordNoFile = -1;
inline constexpr int32_t kRecordNoThread = -2;
inline constexpr int32_t kRecordNoDevice = -3;
// Bytes of the recorder's header, and its buffers by device.
inline constexpr uint32_t kRecordHeaderBytes = 48;
inline constexpr uint32_t kRecordDefaultBuffer = 20480;
inline constexpr uint32_t kRecordOtherBuffer = 4096;

class TagWaveRecord {
 public:
  // Creates file (a script path) with the header; status() 0, or -1 after
  // the message "无法创建'<file>'". tag names the recorder's input in the
  // file devices ("L<line>").
  TagWaveRecord(std::string_view file, int32_t device, std::string tag);
  // Stops, then completes the header when voice was written.
  ~TagWaveRecord();
  TagWaveRecord(const TagWaveRecord&) = delete;
  TagWaveRecord& operator=(const TagWaveRecord&) = delete;

  int32_t Start();
  // Ends the recording: the partly filled buffer is appended.
  void Stop();
  void CloseDevice();
  bool IsFinished() const { return finished_.load(std::memory_order_acquire); }
  int32_t status() const { return status_; }
  // Bytes of voice written so far.
  uint32_t total() const { return total_.load(std::memory_order_relaxed); }

 private:
  void RunNotices();
  void OnFilled(uint32_t bytes);  // REQUIRES: mu_ held
  void SetFinished();
  void EndThread();

  const int32_t device_id_;
  const std::string tag_;
  const std::string file_name_;
  const uint32_t buffer_size_;
  int32_t status_ = 0;
  std::vector<uint8_t> buffer_;
  platform::WaveNoticeQueue notices_;
  platform::Thread thread_;
  std::atomic<bool> finished_{true};
  std::atomic<uint32_t> total_{0};
  std::mutex mu_;
  std::condition_variable changed_;
  FILE* file_ = nullptr;                     // guarded by mu_
  std::unique_ptr<platform::WaveIn> device_;  // guarded by mu_
  bool stopping_ = false;                    // guarded by mu_
  bool write_failed_ = false;                // guarded by mu_: logged once a recording
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_WAVE_RECORD_H_
