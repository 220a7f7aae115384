#include "frame/remote_conn.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "frame/tcp_socket.h"
#include "platform/clock.h"

namespace frame {

TagRemoteConn::TagRemoteConn(int socket, std::string address, const TagMonitor& monitor,
                             int32_t line_count)
    : socket_(socket), address_(std::move(address)), builder_(monitor, line_count) {}

TagRemoteConn::~TagRemoteConn() {
  if (socket_ >= 0) ::close(socket_);
}

bool TagRemoteConn::TakeRequest() {
  if (!alive()) return false;
  int readable = TcpCanRead(socket_);
  if (readable < 0) {
    alive_.store(false, std::memory_order_relaxed);
    return false;
  }
  if (readable == 0) return false;
  char request[kRequestBytes];
  ssize_t got;
  do {
    got = ::recv(socket_, request, sizeof request, MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
  if (got <= 0) {
    alive_.store(false, std::memory_order_relaxed);
    return false;
  }
  return static_cast<size_t>(got) == kRequestBytes;
}

bool TagRemoteConn::SendUpdate(std::string_view summary, const std::atomic<bool>* stop) {
  if (!alive()) return false;
  const std::string update = builder_.Next(summary);
  if (!SendAll(update, stop)) alive_.store(false, std::memory_order_relaxed);
  return alive();
}

bool TagRemoteConn::SendAll(std::string_view bytes, const std::atomic<bool>* stop) {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  while (!bytes.empty()) {
    ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    // The send buffer is full: wait for room, a slice at a time.
    const uint32_t spent = clock.TickCount() - start;
    if (spent >= kSendLimitMs) return false;
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    pollfd p{socket_, POLLOUT, 0};
    const uint32_t wait = std::min(kSendSliceMs, kSendLimitMs - spent);
    if (::poll(&p, 1, static_cast<int>(wait)) < 0 && errno != EINTR) return false;
  }
  return true;
}

void TagRemoteConn::Shutdown() {
  alive_.store(false, std::memory_order_relaxed);
  ::shutdown(socket_, SHUT_RDWR);
}

}  // namespace frame
