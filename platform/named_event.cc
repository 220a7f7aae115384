#include "platform/named_event.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/peer_user.h"
#include "platform/runtime_dir.h"

namespace platform {
namespace {

// Creating an event (probe, remove a stale file, bind, listen) happens under
// an flock on this file, so that two processes never both take one stale name.
constexpr char kCreateLockName[] = ".events.lock";
constexpr uint32_t kCreateLockWaitMs = 1000;
constexpr uint32_t kCreateLockPollMs = 2;
constexpr int kListenBacklog = 16;
// IsSet takes at most this many connections per call, so a flood of them
// cannot hold the polling thread.
constexpr int kMaxSignalsPerPoll = 64;
constexpr char kLockSuffix[] = ".lock";

// The socket address of an event, or false when the name or the runtime
// folder is unusable or the path does not fit.
bool EventAddress(std::string_view name, sockaddr_un* addr, std::string* path) {
  if (!IsValidEventName(name)) return false;
  std::string dir = RuntimeDir();
  if (dir.empty()) return false;
  std::string full = dir + "/" + std::string(name);
  if (full.size() >= sizeof(addr->sun_path)) return false;
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, full.c_str(), full.size() + 1);
  if (path != nullptr) *path = std::move(full);
  return true;
}

// A connected socket to the event, or -1 with errno set. The socket blocks
// with a send timeout, which also bounds connect's wait on a full backlog.
int ConnectEvent(const sockaddr_un& addr) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval timeout{kSignalWaitMs / 1000, (kSignalWaitMs % 1000) * 1000};
  int rc = setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  if (rc == 0) {
    do {
      rc = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    } while (rc != 0 && errno == EINTR);
  }
  if (rc != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

void SleepMs(uint32_t ms) {
  timespec ts{0, static_cast<long>(ms) * 1000000L};
  nanosleep(&ts, nullptr);
}

// Holds the creation lock of the runtime folder for its life, if it could
// take it within kCreateLockWaitMs.
class CreateLock {
 public:
  explicit CreateLock(const std::string& dir) {
    std::string path = dir + "/" + kCreateLockName;
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kCreateLockWaitMs);
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return;
      }
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return;
      SleepMs(kCreateLockPollMs);
    }
  }
  ~CreateLock() {
    if (fd_ >= 0) close(fd_);  // drops the lock
  }
  CreateLock(const CreateLock&) = delete;
  CreateLock& operator=(const CreateLock&) = delete;

  bool locked() const { return locked_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
};

// Makes the path free for a new owner: true when nothing is there or a
// stale socket was removed; false when a live owner answers or the path is
// something other than a socket.
bool ClearStaleSocket(const sockaddr_un& addr, const std::string& path) {
  int probe = ConnectEvent(addr);
  if (probe >= 0) {
    close(probe);
    return false;
  }
  if (errno == ENOENT) return true;
  if (errno != ECONNREFUSED) return false;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISSOCK(st.st_mode)) return false;
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

bool IsValidEventName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  std::string_view suffix(kLockSuffix);
  if (name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix) {
    return false;
  }
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '/') return false;
  }
  return true;
}

NamedEvent::~NamedEvent() { Close(); }

bool NamedEvent::Create(std::string_view name) {
  if (is_open()) return false;
  sockaddr_un addr;
  std::string path;
  if (!EventAddress(name, &addr, &path)) return false;
  std::string dir = path.substr(0, path.rfind('/'));
  CreateLock lock(dir);
  if (!lock.locked() || !ClearStaleSocket(addr, path)) return false;

  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return false;
  }
  if (listen(fd, kListenBacklog) != 0 || lstat(path.c_str(), &st) != 0) {
    unlink(path.c_str());
    close(fd);
    return false;
  }
  fd_ = fd;
  name_ = std::string(name);
  path_ = std::move(path);
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  set_.store(false, std::memory_order_relaxed);
  return true;
}

bool NamedEvent::TakeOneSignal() {
  int conn;
  do {
    conn = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  } while (conn < 0 && (errno == EINTR || errno == ECONNABORTED));
  if (conn < 0) return false;  // none pending (or out of descriptors: try next poll)
  if (PeerIsSameUser(conn)) {
    pollfd p{conn, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(kEventByteWaitMs)) > 0) {
      char byte;
      if (recv(conn, &byte, 1, MSG_DONTWAIT) == 1) Set();
    }
  }
  close(conn);
  return true;
}

bool NamedEvent::IsSet() {
  if (is_open()) {
    for (int i = 0; i < kMaxSignalsPerPoll && TakeOneSignal(); ++i) {
    }
  }
  return set_.load(std::memory_order_relaxed);
}

void NamedEvent::Close() {
  if (!is_open()) return;
  struct stat st;
  if (lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) {
    unlink(path_.c_str());
  }
  close(fd_);
  fd_ = -1;
  name_.clear();
  path_.clear();
  Reset();
}

bool SignalNamedEvent(std::string_view name) {
  sockaddr_un addr;
  if (!EventAddress(name, &addr, nullptr)) return false;
  int fd = ConnectEvent(addr);
  if (fd < 0) return false;
  const char byte = 1;
  bool ok = PeerIsSameUser(fd) && send(fd, &byte, 1, MSG_NOSIGNAL) == 1;
  close(fd);
  return ok;
}

bool NamedEventExists(std::string_view name) {
  sockaddr_un addr;
  if (!EventAddress(name, &addr, nullptr)) return false;
  int fd = ConnectEvent(addr);
  if (fd < 0) return false;
  bool ok = PeerIsSameUser(fd);
  close(fd);
  return ok;
}

}  // namespace platform
