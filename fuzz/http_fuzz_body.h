// The body of the HTTP fuzz target, shared with its smoke test: the first
// byte chooses what the rest is: a response read by the client from a
// socket whose peer sent it and closed, a request read by the server the
// same way, or a chunked body fed to the decoder in pieces whose sizes
// come from the second byte. Nothing may read or write past a buffer, and
// what is handed out keeps to the limits.
#ifndef VTTEL_FUZZ_HTTP_FUZZ_BODY_H_
#define VTTEL_FUZZ_HTTP_FUZZ_BODY_H_

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "services/net/chunk_proc.h"
#include "services/net/http_client.h"
#include "services/net/http_limits.h"
#include "services/net/http_server.h"

namespace http_fuzz {

// Inputs above this are cut: the whole input must fit the socket's buffer.
inline constexpr size_t kMaxInput = 64 * 1024;

// A socket from which data can be read, then the peer's close.
inline int FakeSocket(const uint8_t* data, size_t size) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  const int room = static_cast<int>(kMaxInput * 4);
  setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
  size_t sent = 0;
  while (sent < size) {
    const ssize_t n = send(pair[1], data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  close(pair[1]);
  return pair[0];
}

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

inline void OneInput(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const uint8_t mode = data[0] % 3;
  ++data;
  --size;
  if (size > kMaxInput) size = kMaxInput;
  if (mode == 2) {
    services::TagChunkProc chunks;
    const size_t step = size > 0 ? 1 + data[0] % 16 : 1;
    std::string pending;
    int64_t left = 0;
    for (size_t at = 0; at < size && left >= 0; at += step) {
      pending.append(reinterpret_cast<const char*>(data) + at, std::min(step, size - at));
      while (!pending.empty()) {
        left = chunks.Feed(pending.data(), pending.size());
        if (left < 0 || static_cast<size_t>(left) == pending.size()) break;
        pending.erase(0, pending.size() - static_cast<size_t>(left));
      }
    }
    std::string body;
    Check(chunks.Join(&body) <= size);
    return;
  }
  const int socket = FakeSocket(data, size);
  if (socket < 0) return;
  if (mode == 0) {
    services::HttpResponse response;
    const int32_t r = services::ReadHttpResponse(socket, &response);
    Check(r >= -2);
    Check(response.body.size() <= size);
    Check(r <= 0 || response.body.size() == static_cast<size_t>(r) || response.body.empty());
  } else {
    services::HttpRequest request;
    if (services::ReadHttpRequest(socket, &request)) {
      Check(request.head.size() + request.body.size() <= size);
    }
  }
  close(socket);
}

}  // namespace http_fuzz

#endif  // VTTEL_FUZZ_HTTP_FUZZ_BODY_H_
