// VoiceFileReader / VoiceFileWriter: the file side of the board's plays and
// recordings, headerless bytes read and written in blocks so that a stream
// of 160 bytes a tick costs a system call only every few hundred ms.
//
// Opening never blocks: only regular files are taken (a fifo or a device at
// the path is refused with platform::FileOpenError::kNotRegular).
//
// Every system call on a voice file is told first to the process-wide
// FileIoWatch, when one is set.
//
// Not thread-safe: each is used by one thread at a time (the one that opens
// it, then the media thread that moves its bytes, or a spool's writer).
#ifndef VTTEL_SIMBOARD_SIM_VOICE_FILE_H_
#define VTTEL_SIMBOARD_SIM_VOICE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/regular_file.h"

namespace simboard {

inline constexpr size_t kVoiceFileBlock = 8192;

// FileIoWatch: told of each system call on a voice file just before it is
// made ("open", "read", "write", "close"), on the thread that makes it. The
// board's tests watch with it which locks its file work runs under.
class FileIoWatch {
 public:
  virtual ~FileIoWatch() = default;
  virtual void BeforeFileIo(const char* call) = 0;
};

// Sets the process-wide watch; null removes it. The watch must stay alive
// until it is removed and no file call is running.
void SetFileIoWatch(FileIoWatch* watch);

class VoiceFileReader {
 public:
  VoiceFileReader() = default;
  ~VoiceFileReader() { Close(); }
  VoiceFileReader(const VoiceFileReader&) = delete;
  VoiceFileReader& operator=(const VoiceFileReader&) = delete;

  // Opens path for reading from offset; limit < 0 reads to the end, else at
  // most limit bytes. False when the file cannot be opened (why says
  // whether it is missing or not a regular file).
  bool Open(const std::string& path, int64_t offset, int64_t limit,
            platform::FileOpenError* why = nullptr);
  // True when the open found nothing to read: the offset lies at or beyond
  // the end of the file, or the limit is 0. Known without reading.
  bool EmptyAtOpen() const { return empty_at_open_; }
  // Copies up to n next bytes into out; returns how many (less than n only
  // at the end).
  size_t Read(uint8_t* out, size_t n);
  // Reads everything that is left.
  std::string ReadAll();
  bool AtEnd();
  void Close();

 private:
  bool Fill();

  int fd_ = -1;
  int64_t left_ = -1;  // bytes the limit still allows, -1 without a limit
  std::vector<uint8_t> block_;
  size_t pos_ = 0;
  bool eof_ = false;
  bool empty_at_open_ = false;
};

class VoiceFileWriter {
 public:
  VoiceFileWriter() = default;
  ~VoiceFileWriter() { Close(); }
  VoiceFileWriter(const VoiceFileWriter&) = delete;
  VoiceFileWriter& operator=(const VoiceFileWriter&) = delete;

  // position 0 creates or truncates the file; position > 0 writes from that
  // byte of the file (created when missing). False when it cannot be opened
  // (why as for the reader).
  bool Open(const std::string& path, int64_t position, platform::FileOpenError* why = nullptr);
  void Write(const uint8_t* bytes, size_t n);
  // Writes what is buffered.
  void Flush();
  // Writes what is buffered; every byte is in the file when it returns.
  void Close();
  bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::vector<uint8_t> block_;
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_VOICE_FILE_H_
