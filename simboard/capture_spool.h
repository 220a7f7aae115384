// CaptureSpool: a capture of what a line sends, written to a file without
// the board's lock. The media tick puts each tick's bytes in memory (under
// the board's lock, no system call); Flush writes them to the file from the
// media thread between ticks, or from the control request that stops the
// capture, so a slow disk never holds the board.
//
// Shared (std::shared_ptr) between the line that feeds it and whoever
// flushes it; the file is closed with the last owner. Thread-safe: Put,
// Due and Flush may come from any thread; flushes keep the bytes' order.
#ifndef VTTEL_SIMBOARD_CAPTURE_SPOOL_H_
#define VTTEL_SIMBOARD_CAPTURE_SPOOL_H_

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "simboard/sim_voice_file.h"

namespace simboard {

// Bytes a capture holds in memory at most (about two minutes of audio):
// beyond them new bytes are dropped, as a full disk drops them.
inline constexpr size_t kMaxCaptureBacklog = 1 << 20;

class CaptureSpool {
 public:
  CaptureSpool() = default;
  CaptureSpool(const CaptureSpool&) = delete;
  CaptureSpool& operator=(const CaptureSpool&) = delete;

  // Creates or truncates path (a regular file only; never blocks). Called
  // once, before the spool is shared. False with the reason in why.
  bool Open(const std::string& path, platform::FileOpenError& why);
  // Keeps n bytes for the file; memory only.
  void Put(const uint8_t* bytes, size_t n);
  // True when a block of bytes is waiting to be written.
  bool Due() const;
  // Writes every byte put so far; they are in the file when it returns.
  void Flush();

 private:
  mutable std::mutex bytes_mutex_;  // guards pending_; never held across I/O
  std::string pending_;
  std::mutex write_mutex_;  // held across a write, so flushes keep their order
  std::string writing_;     // guarded by write_mutex_
  VoiceFileWriter file_;    // written under write_mutex_
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CAPTURE_SPOOL_H_
