// CaptureSpool: bytes on their way to a file, written without the board's
// lock: a far-end capture of what a line sends, or a recording. The media
// tick puts each tick's bytes in memory (under the board's lock, no system
// call); Flush writes them to the file from the media thread between ticks,
// or from the request that stops the capture or the recording after the
// board's lock is released, so a slow disk never holds the board.
//
// Shared (std::shared_ptr) between the line or voice that feeds it and
// whoever flushes it; the file is closed by Finish or with the last owner.
// Thread-safe: Put, Due, Flush and Finish may come from any thread; flushes
// keep the bytes' order.
#ifndef VTTEL_SIMBOARD_CAPTURE_SPOOL_H_
#define VTTEL_SIMBOARD_CAPTURE_SPOOL_H_

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "simboard/sim_voice_file.h"

namespace simboard {

// Bytes a spool holds in memory at most (about two minutes of audio, the
// media thread writes every kVoiceFileBlock): beyond them new bytes are
// dropped, as a full disk drops them.
inline constexpr size_t kMaxCaptureBacklog = 1 << 20;

class CaptureSpool {
 public:
  CaptureSpool() = default;
  CaptureSpool(const CaptureSpool&) = delete;
  CaptureSpool& operator=(const CaptureSpool&) = delete;

  // Opens path for writing from byte `position` (0 creates or truncates
  // it; a regular file only; never blocks). Called once, before the spool
  // is shared. False with the reason in why.
  bool Open(const std::string& path, int64_t position, platform::FileOpenError& why);
  // Keeps n bytes for the file; memory only.
  void Put(const uint8_t* bytes, size_t n);
  // True when a block of bytes is waiting to be written.
  bool Due() const;
  // Writes every byte put so far; they are in the file when it returns.
  void Flush();
  // Flush, then closes the file: bytes put later are dropped.
  void Finish();

 private:
  void WritePending();  // REQUIRES: write_mutex_ held

  mutable std::mutex bytes_mutex_;  // guards pending_; never held across I/O
  std::string pending_;
  std::mutex write_mutex_;  // held across a write, so flushes keep their order
  std::string writing_;     // guarded by write_mutex_
  VoiceFileWriter file_;    // written under write_mutex_
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CAPTURE_SPOOL_H_
