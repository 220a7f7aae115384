#include "services/net/http_transfer.h"

#include <algorithm>
#include <cstdint>

#include "platform/clock.h"
#include "platform/socket.h"

namespace services {
namespace {

using platform::SocketEvent;

// One receive asks for at most this many bytes.
constexpr size_t kReceiveBlock = 64 * 1024;
constexpr int64_t kNanosPerMs = 1000 * 1000;

// Waits for the event until the deadline: true when the socket is ready
// (or failed, so the next call returns).
bool WaitReady(int socket, SocketEvent event, const TickDeadline& deadline) {
  for (;;) {
    const uint32_t left = deadline.LeftMs();
    if (left == 0) return false;
    // A millisecond more, so the wait does not end just short of the tick.
    if (platform::WaitSocket(socket, event, (static_cast<int64_t>(left) + 1) * kNanosPerMs) != 0) {
      return true;
    }
  }
}

}  // namespace

TickDeadline TickDeadline::In(uint32_t ms) {
  return TickDeadline(platform::GetClock().TickCount(), ms);
}

uint32_t TickDeadline::LeftMs() const {
  const uint32_t gone = platform::GetClock().TickCount() - start_;
  return gone < ms_ ? ms_ - gone : 0;
}

TickDeadline TickDeadline::Within(uint32_t ms) const {
  return ms < LeftMs() ? In(ms) : *this;
}

long ReceiveAppend(int socket, std::string* out, size_t size) {
  const size_t had = out->size();
  out->resize(had + size);
  const long got = platform::ReceiveNoWait(socket, out->data() + had, size);
  out->resize(had + static_cast<size_t>(std::max(got, 0L)));
  return got;
}

long ReceiveHead(int socket, std::string* text, size_t limit, const TickDeadline& deadline) {
  // The end may straddle two receives.
  size_t searched = text->size() >= 3 ? text->size() - 3 : 0;
  while (text->size() < limit) {
    if (!WaitReady(socket, SocketEvent::kReadable, deadline)) break;
    const long got = ReceiveAppend(socket, text, limit - text->size());
    if (got == platform::kSocketWouldBlock) continue;
    if (got < 0 && text->empty()) return -1;
    if (got <= 0) break;
    if (text->find("\r\n\r\n", searched) != std::string::npos) break;
    searched = text->size() >= 3 ? text->size() - 3 : 0;
  }
  return static_cast<long>(text->size());
}

size_t ReceiveUpTo(int socket, std::string* out, size_t want, const TickDeadline& deadline) {
  const size_t had = out->size();
  // Room grows with what comes, not with what a peer announces.
  out->reserve(had + std::min(want, kReceiveBlock));
  while (out->size() - had < want) {
    if (!WaitReady(socket, SocketEvent::kReadable, deadline)) break;
    const size_t room = std::min(kReceiveBlock, want - (out->size() - had));
    const long got = ReceiveAppend(socket, out, room);
    if (got == platform::kSocketWouldBlock) continue;
    if (got <= 0) break;
  }
  return out->size() - had;
}

long ReceiveOnce(int socket, std::string* out, size_t size, const TickDeadline& deadline) {
  for (;;) {
    if (!WaitReady(socket, SocketEvent::kReadable, deadline)) return 0;
    const long got = ReceiveAppend(socket, out, size);
    if (got != platform::kSocketWouldBlock) return got;
  }
}

size_t SendAll(int socket, std::string_view bytes, int seconds) {
  const uint32_t idle_ms = static_cast<uint32_t>(seconds) * 1000u;
  size_t sent = 0;
  TickDeadline deadline = TickDeadline::In(idle_ms);
  while (sent < bytes.size()) {
    const long n = platform::SendNoWait(socket, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      deadline = TickDeadline::In(idle_ms);
      continue;
    }
    if (n != platform::kSocketWouldBlock) break;
    if (!WaitReady(socket, SocketEvent::kWritable, deadline)) break;
  }
  return sent;
}

}  // namespace services
