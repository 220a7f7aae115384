#include "simboard/sim_voice_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/file_ops.h"

namespace simboard {

namespace {

std::atomic<FileIoWatch*> file_io_watch{nullptr};

void Note(const char* call) {
  if (FileIoWatch* watch = file_io_watch.load(std::memory_order_acquire)) watch->BeforeFileIo(call);
}

int OpenVoiceFile(const std::string& path, int flags, platform::FileOpenError* why) {
  Note("open");
  platform::FileOpenError error;
  int fd = platform::OpenRegularFile(path, flags, 0644, error);
  if (why != nullptr) *why = error;
  return fd;
}

}  // namespace

void SetFileIoWatch(FileIoWatch* watch) { file_io_watch.store(watch, std::memory_order_release); }

bool VoiceFileReader::Open(const std::string& path, int64_t offset, int64_t limit,
                           platform::FileOpenError* why) {
  Close();
  fd_ = OpenVoiceFile(path, O_RDONLY, why);
  if (fd_ < 0) return false;
  if (offset > 0 && lseek(fd_, offset, SEEK_SET) < 0) eof_ = true;
  struct stat st {};
  empty_at_open_ = eof_ || limit == 0 || (fstat(fd_, &st) == 0 && st.st_size <= offset);
  left_ = limit;
  block_.reserve(kVoiceFileBlock);
  return true;
}

bool VoiceFileReader::Fill() {
  if (fd_ < 0 || eof_) return false;
  size_t want = kVoiceFileBlock;
  if (left_ >= 0) want = static_cast<size_t>(std::min<int64_t>(left_, kVoiceFileBlock));
  if (want == 0) {
    eof_ = true;
    return false;
  }
  block_.resize(want);
  Note("read");
  ssize_t got;
  do {
    got = read(fd_, block_.data(), want);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    block_.clear();
    eof_ = true;
    return false;
  }
  block_.resize(static_cast<size_t>(got));
  if (left_ >= 0) left_ -= got;
  pos_ = 0;
  return true;
}

size_t VoiceFileReader::Read(uint8_t* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (pos_ >= block_.size() && !Fill()) break;
    size_t take = std::min(n - done, block_.size() - pos_);
    std::memcpy(out + done, block_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

std::string VoiceFileReader::ReadAll() {
  std::string all;
  uint8_t buf[4096];
  size_t got;
  while ((got = Read(buf, sizeof buf)) > 0) all.append(reinterpret_cast<char*>(buf), got);
  return all;
}

bool VoiceFileReader::AtEnd() { return pos_ >= block_.size() && !Fill(); }

void VoiceFileReader::Close() {
  if (fd_ >= 0) {
    Note("close");
    close(fd_);
  }
  fd_ = -1;
  block_.clear();
  pos_ = 0;
  eof_ = false;
  empty_at_open_ = false;
  left_ = -1;
}

bool VoiceFileWriter::Open(const std::string& path, int64_t position,
                           platform::FileOpenError* why) {
  Close();
  fd_ = OpenVoiceFile(path, O_WRONLY | O_CREAT | (position <= 0 ? O_TRUNC : 0), why);
  if (fd_ < 0) return false;
  if (position > 0 && lseek(fd_, position, SEEK_SET) < 0) {
    Close();
    return false;
  }
  block_.reserve(kVoiceFileBlock);
  return true;
}

void VoiceFileWriter::Write(const uint8_t* bytes, size_t n) {
  if (fd_ < 0) return;
  if (block_.size() + n > kVoiceFileBlock) Flush();
  block_.insert(block_.end(), bytes, bytes + n);
}

void VoiceFileWriter::Flush() {
  if (block_.empty()) return;
  Note("write");
  // A full disk drops the rest, as a board would.
  platform::WriteAll(fd_, std::string_view(reinterpret_cast<const char*>(block_.data()),
                                           block_.size()));
  block_.clear();
}

void VoiceFileWriter::Close() {
  if (fd_ < 0) return;
  Flush();
  Note("close");
  close(fd_);
  fd_ = -1;
}

}  // namespace simboard
