#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/host_path.h"

namespace platform {
namespace {

// An open-file-description lock over the whole file: it belongs to this
// descriptor, so another descriptor of the same process waits for it too.
bool SetWholeFileLock(int fd, short type, int command) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  for (;;) {
    if (fcntl(fd, command, &lock) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

RecordFile::~RecordFile() { Close(); }

void RecordFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RecordFile::Open(std::string_view script_path) {
  // Non-blocking only so that a fifo at the path cannot hold the open.
  const int fd = OpenHostFd(script_path, O_RDWR | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  Close();
  fd_ = fd;
  return true;
}

int64_t RecordFile::ReadAt(int64_t offset, void* into, size_t n) const {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = pread(fd_, static_cast<char*>(into) + done, n - done,
                              static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

int64_t RecordFile::WriteAt(int64_t offset, const void* bytes, size_t n) const {
  size_t done = 0;
  while (done < n) {
    const ssize_t put = pwrite(fd_, static_cast<const char*>(bytes) + done, n - done,
                               static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return done > 0 ? static_cast<int64_t>(done) : -1;
    if (put == 0) break;
    done += static_cast<size_t>(put);
  }
  return static_cast<int64_t>(done);
}

int64_t RecordFile::Size() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool RecordFile::Lock() const { return fd_ >= 0 && SetWholeFileLock(fd_, F_WRLCK, F_OFD_SETLKW); }

void RecordFile::Unlock() const {
  if (fd_ >= 0) SetWholeFileLock(fd_, F_UNLCK, F_OFD_SETLK);
}

}  // namespace platform
