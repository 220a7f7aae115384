// Moving the bytes of one HTTP exchange over a connected socket without
// busy waiting: each routine waits in poll for the socket, at most the time
// left, and works in blocking and non-blocking sockets alike. A read ends
// at its deadline however the peer spaces its bytes, so a peer sending a
// byte now and then cannot hold a line; a send gives up when it makes no
// progress for its time-out.
//
// A line's stop shuts its sockets down (socket_set.h): the wait then
// ends at once as a peer's close would.
//
// Thread rules: none kept; the caller owns the socket.
#ifndef VTTEL_SERVICES_NET_HTTP_TRANSFER_H_
#define VTTEL_SERVICES_NET_HTTP_TRANSFER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace services {

// A point on the system's tick (platform::Clock) by which a transfer must
// be over.
class TickDeadline {
 public:
  // A deadline that has passed.
  TickDeadline() = default;
  // ms from now.
  static TickDeadline In(uint32_t ms);
  // The milliseconds left (0 once it has passed).
  uint32_t LeftMs() const;
  bool Passed() const { return LeftMs() == 0; }
  // The sooner of this deadline and ms from now.
  TickDeadline Within(uint32_t ms) const;

 private:
  TickDeadline(uint32_t start, uint32_t ms) : start_(start), ms_(ms) {}
  uint32_t start_ = 0;
  uint32_t ms_ = 0;
};

// Reads onto the end of *text until it holds a head's end ("\r\n\r\n"),
// limit bytes, the peer closes or the deadline passes. Bytes after the
// head that came in the same receives stay in text. The byte count of text
// (0 when nothing came), or -1 on a socket error before any byte.
long ReceiveHead(int socket, std::string* text, size_t limit, const TickDeadline& deadline);

// Appends to *out until it holds want bytes, the peer closes, or the
// deadline passes. The bytes appended.
size_t ReceiveUpTo(int socket, std::string* out, size_t want, const TickDeadline& deadline);

// One receive of at most size bytes appended to *out, waiting at most
// until the deadline: the count, 0 on the peer's close or the time-out, -1
// on error.
long ReceiveOnce(int socket, std::string* out, size_t size, const TickDeadline& deadline);

// One receive of at most size bytes appended to *out without waiting: the
// count, 0 at the peer's close, -1 on error, platform::kSocketWouldBlock
// when nothing waits.
long ReceiveAppend(int socket, std::string* out, size_t size);

// Sends every byte unless seconds pass without progress or the socket
// fails: the bytes sent.
size_t SendAll(int socket, std::string_view bytes, int seconds);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_TRANSFER_H_
