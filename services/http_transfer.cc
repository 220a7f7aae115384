#include "services/http_transfer.h"

#include <algorithm>
#include <cstdint>

#include "platform/clock.h"
#include "platform/socket.h"

namespace services {
namespace {

using platform::SocketEvent;

// One receive asks for at most this many bytes.
constexpr size_t kReceiveBlock = 64 * 1024;

// Waits for the event until seconds have passed since the tick start:
// true when the socket is ready (or failed, so the next call returns).
bool WaitReady(int socket, SocketEvent event, uint32_t start, int seconds) {
  platform::Clock& clock = platform::GetClock();
  const int64_t wait_ms = static_cast<int64_t>(seconds) * 1000;
  for (;;) {
    const int64_t left = wait_ms - static_cast<int64_t>(clock.TickCount() - start);
    if (left < 0) return false;
    const int ready = platform::WaitSocket(socket, event, left * 1000000 + 1000000);
    if (ready != 0) return true;
  }
}

// One receive without waiting into *out after its bytes: the count, 0 at
// the peer's close, -1 on error, platform::kSocketWouldBlock.
long ReceiveAppend(int socket, std::string* out, size_t size) {
  const size_t had = out->size();
  out->resize(had + size);
  const long got = platform::ReceiveNoWait(socket, out->data() + had, size);
  out->resize(had + static_cast<size_t>(std::max(got, 0L)));
  return got;
}

}  // namespace

long ReceiveHead(int socket, std::string* text, size_t limit, int seconds) {
  uint32_t start = platform::GetClock().TickCount();
  // The end may straddle two receives.
  size_t searched = text->size() >= 3 ? text->size() - 3 : 0;
  while (text->size() < limit) {
    if (!WaitReady(socket, SocketEvent::kReadable, start, seconds)) break;
    const long got = ReceiveAppend(socket, text, limit - text->size());
    if (got == platform::kSocketWouldBlock) continue;
    if (got < 0 && text->empty()) return -1;
    if (got <= 0) break;
    start = platform::GetClock().TickCount();
    if (text->find("\r\n\r\n", searched) != std::string::npos) break;
    searched = text->size() >= 3 ? text->size() - 3 : 0;
  }
  return static_cast<long>(text->size());
}

size_t ReceiveUpTo(int socket, std::string* out, size_t want, int seconds) {
  const size_t had = out->size();
  out->reserve(had + want);
  uint32_t start = platform::GetClock().TickCount();
  while (out->size() - had < want) {
    if (!WaitReady(socket, SocketEvent::kReadable, start, seconds)) break;
    const size_t room = std::min(kReceiveBlock, want - (out->size() - had));
    const long got = ReceiveAppend(socket, out, room);
    if (got == platform::kSocketWouldBlock) continue;
    if (got <= 0) break;
    start = platform::GetClock().TickCount();
  }
  return out->size() - had;
}

long ReceiveOnce(int socket, std::string* out, size_t size, int seconds) {
  const uint32_t start = platform::GetClock().TickCount();
  for (;;) {
    if (!WaitReady(socket, SocketEvent::kReadable, start, seconds)) return 0;
    const long got = ReceiveAppend(socket, out, size);
    if (got != platform::kSocketWouldBlock) return got;
  }
}

size_t SendAll(int socket, std::string_view bytes, int seconds) {
  size_t sent = 0;
  uint32_t start = platform::GetClock().TickCount();
  while (sent < bytes.size()) {
    const long n = platform::SendNoWait(socket, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      start = platform::GetClock().TickCount();
      continue;
    }
    if (n != platform::kSocketWouldBlock) break;
    if (!WaitReady(socket, SocketEvent::kWritable, start, seconds)) break;
  }
  return sent;
}

}  // namespace services
