#include "frame/remote_conn.h"

#include <algorithm>

#include "frame/tcp_socket.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace frame {
namespace {

constexpr int64_t kNanosPerMs = 1000 * 1000;

}  // namespace

TagRemoteConn::TagRemoteConn(int socket, std::string address, const TagMonitor& monitor,
                             int32_t line_count)
    : socket_(socket), address_(std::move(address)), builder_(monitor, line_count) {}

TagRemoteConn::~TagRemoteConn() {
  platform::CloseSocket(socket_);
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
  const long got = platform::ReceiveNoWait(socket_, request, sizeof request);
  if (got == platform::kSocketWouldBlock) return false;
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
    const long sent = platform::SendNoWait(socket_, bytes.data(), bytes.size());
    if (sent > 0) {
      bytes.remove_prefix(static_cast<size_t>(sent));
      continue;
    }
    if (sent != platform::kSocketWouldBlock) return false;
    // The send buffer is full: wait for room, a slice at a time.
    const uint32_t spent = clock.TickCount() - start;
    if (spent >= kSendLimitMs) return false;
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
    const uint32_t wait = std::min(kSendSliceMs, kSendLimitMs - spent);
    if (platform::WaitSocket(socket_, platform::SocketEvent::kWritable,
                             int64_t{wait} * kNanosPerMs) < 0) {
      return false;
    }
  }
  return true;
}

void TagRemoteConn::Shutdown() {
  alive_.store(false, std::memory_order_relaxed);
  platform::ShutdownSocket(socket_);
}

}  // namespace frame
