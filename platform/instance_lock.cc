#include "platform/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "platform/runtime_dir.h"

namespace platform {
namespace {

constexpr char kLockFileName[] = "instance.lock";

}  // namespace

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

bool InstanceLock::TryAcquire() {
  if (held()) return true;
  std::string dir = RuntimeDir();
  if (dir.empty()) return false;
  std::string path = dir + "/" + kLockFileName;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace platform
