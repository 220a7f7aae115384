// Moving the bytes of one HTTP exchange over a connected socket, with
// time-outs and without busy waiting: each routine waits in poll for the
// socket, at most the time left, and works in blocking and non-blocking
// sockets alike. A time-out counts from the last byte moved, so a long body
// that keeps flowing is not cut, and a peer that stalls is given up.
//
// A line's stop shuts its sockets down (tcp_socket_set.h): the wait then
// ends at once as a peer's close would.
//
// Thread rules: none kept; the caller owns the socket.
#ifndef VTTEL_SERVICES_HTTP_TRANSFER_H_
#define VTTEL_SERVICES_HTTP_TRANSFER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace services {

// Reads onto the end of *text until it holds a head's end ("\r\n\r\n"),
// limit bytes, the peer closes or seconds pass without a byte. Bytes after
// the head that came in the same receives stay in text. The byte count of
// text (0 when nothing came), or -1 on a socket error before any byte.
long ReceiveHead(int socket, std::string* text, size_t limit, int seconds);

// Appends to *out until it holds want bytes, the peer closes, or seconds
// pass without a byte. The bytes appended.
size_t ReceiveUpTo(int socket, std::string* out, size_t want, int seconds);

// One receive of at most size bytes appended to *out, waiting at most
// seconds: the count, 0 on the peer's close or the time-out, -1 on error.
long ReceiveOnce(int socket, std::string* out, size_t size, int seconds);

// Sends every byte unless seconds pass without progress or the socket
// fails: the bytes sent.
size_t SendAll(int socket, std::string_view bytes, int seconds);

}  // namespace services

#endif  // VTTEL_SERVICES_HTTP_TRANSFER_H_
