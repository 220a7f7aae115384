// The process-wide map of HTTP listeners: port to the listening socket
// that "HttpServerOpen(" made, so that a script on any line can take
// requests from it by its handle. The listener itself belongs to the
// socket set of the line that opened it; when it leaves the socket table
// (closed by "HttpServerClose(" on any line, or with the main script of
// its line) the table's close hook takes it out of the map before the
// descriptor is closed.
//
// Thread rules: thread-safe (one lock). Accept runs its poll and accept
// under the lock, so no other line takes the connection between them and
// no listener is closed under it; the lock is never held while the socket
// table's lock is taken.
#ifndef VTTEL_SERVICES_NET_HTTP_LISTENERS_H_
#define VTTEL_SERVICES_NET_HTTP_LISTENERS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace services {

// Enters a listener under its port (replacing an entry of the port) and
// installs the close hook.
void AddHttpListener(int port, int32_t handle, int socket);

// True when handle names a listener of the map.
bool IsHttpListener(int32_t handle);

// Results of AcceptHttpListener besides a socket.
inline constexpr int kNoListener = -3;

// Takes one waiting connection from the listener of handle: the new
// socket (the caller owns it) and the peer's address; -1 when nothing
// waits or accept failed; -2 when the poll failed; kNoListener when the
// handle names no listener.
int AcceptHttpListener(int32_t handle, std::string* address);

// Entries in the map (for tests).
size_t HttpListenerCount();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_LISTENERS_H_
