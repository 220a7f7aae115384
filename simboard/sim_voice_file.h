// VoiceFileReader / VoiceFileWriter: the file side of the board's plays and
// recordings, headerless bytes read and written in blocks so that a stream
// of 160 bytes a tick costs a system call only every few hundred ms.
//
// Opening never blocks: only regular files are taken (a fifo or a device at
// the path is refused with platform::FileOpenError::kNotRegular).
//
// Not thread-safe: each belongs to one voice, under the board's lock, or to
// one far-end stream of the media thread.
#ifndef VTTEL_SIMBOARD_SIM_VOICE_FILE_H_
#define VTTEL_SIMBOARD_SIM_VOICE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/regular_file.h"

namespace simboard {

inline constexpr size_t kVoiceFileBlock = 8192;

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
