#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/file_ops.h"
#include "platform/host_path.h"

namespace platform {
namespace {

constexpr mode_t kNewFileMode = 0666;

int OpenFlags(const FileOpenMode& mode) {
  int flags = mode.read && mode.write ? O_RDWR : mode.write ? O_WRONLY : O_RDONLY;
  if (mode.create) flags |= O_CREAT;
  if (mode.truncate) flags |= O_TRUNC;
  if (mode.append) flags |= O_APPEND;
  return flags;
}

}  // namespace

FileHandle::~FileHandle() { Close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileHandle FileHandle::Open(std::string_view script_path, const FileOpenMode& mode) {
  return FileHandle(OpenHostFd(script_path, OpenFlags(mode), kNewFileMode));
}

ssize_t FileHandle::Read(char* buffer, size_t n) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool FileHandle::WriteAll(std::string_view bytes) {
  return fd_ >= 0 && platform::WriteAll(fd_, bytes);
}

bool FileHandle::Seek(int64_t offset) {
  return fd_ >= 0 && offset >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool FileHandle::IsDirectory() const {
  struct stat st;
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> FileHandle::Size() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

void FileHandle::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
