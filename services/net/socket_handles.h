// The process-wide table of the sockets that script statements opened
// (TCP, UDP, the HTTP client's, listeners and connections), under the
// numbers that scripts see for them.
//
// A script never sees a descriptor: every socket a statement opens gets a
// handle here, and a statement on any line reaches every socket of the
// table by its handle (a server line may hand an accepted socket to
// another line in a message), but nothing else: a guessed number reaches
// neither the log file nor the board's socket. Handles start at
// kFirstSocketHandle, grow with every socket and wrap back to it below
// INT32_MAX; a value still in use is skipped, so a handle is not given out
// again until the whole range has been used.
//
// A statement holds a lease on the socket it works on; closing (from any
// line) takes the socket out of the table at once, shuts it down when a
// lease is out (so a wait on it ends as at the peer's close) and the
// descriptor is closed when the last lease is given back: no thread ever
// reaches a closed or reused descriptor.
//
// Each entry names its owner, the socket set of the line that opened it
// (socket_set.h), which closes what it still owns when its line's main
// script ends.
//
// Thread rules: thread-safe (one lock); no call blocks holding it.
#ifndef VTTEL_SERVICES_NET_SOCKET_HANDLES_H_
#define VTTEL_SERVICES_NET_SOCKET_HANDLES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace services {

// The first handle: clear of the small descriptor numbers.
inline constexpr int32_t kFirstSocketHandle = 0x100;
// No handle: the table is full.
inline constexpr int32_t kNoSocketHandle = -1;

// What a socket of the table is for; statements look handles up by kind.
enum class SocketKind : uint8_t {
  kTcp,             // "TcpOpen(", "TcpServer(", "TcpAccept("
  kUdp,             // "UdpOpen("
  kHttpClient,      // the client's socket during one exchange
  kHttpListener,    // "HttpServerOpen("
  kHttpConnection,  // a connection a listener accepted
};

// An open socket of the table; its descriptor is closed with the last
// lease (the table holds one while the socket is in it).
class OpenSocket {
 public:
  OpenSocket(int socket, SocketKind kind, const void* owner)
      : socket_(socket), kind_(kind), owner_(owner) {}
  ~OpenSocket();
  OpenSocket(const OpenSocket&) = delete;
  OpenSocket& operator=(const OpenSocket&) = delete;

  int socket() const { return socket_; }
  SocketKind kind() const { return kind_; }
  // The socket set that opened it.
  const void* owner() const { return owner_; }

 private:
  const int socket_;
  const SocketKind kind_;
  const void* const owner_;
};
using SocketLease = std::shared_ptr<const OpenSocket>;

// Takes the descriptor into the table for owner under a new handle: the
// handle, or kNoSocketHandle (the descriptor closed) when none is free.
int32_t EnterSocket(int socket, SocketKind kind, const void* owner);
// A lease on the socket of a handle of that kind, or null.
SocketLease LeaseSocket(int32_t handle, SocketKind kind);
// Takes the socket of a handle of that kind out of the table (whichever
// line opened it): false when there is none.
bool RemoveSocket(int32_t handle, SocketKind kind);
// Takes out the sockets of owner (of one kind, or of every kind when kind
// is null) in ascending handle order.
void RemoveSocketsOf(const void* owner, const SocketKind* kind);
// Calls visit with the descriptor of each socket of owner, under the
// table's lock (visit must not block or reach the table).
void VisitSocketsOf(const void* owner, const std::function<void(int socket)>& visit);
// The number of sockets of owner in the table.
size_t SocketCountOf(const void* owner);

// A hook run as a socket of one kind leaves the table, under the table's
// lock: a registry that shares the socket further forgets it there. It
// must not reach the table.
using SocketCloseHook = void (*)(int32_t handle, int socket);
void SetSocketCloseHook(SocketKind kind, SocketCloseHook hook);

// The number of handles in use (for tests).
size_t SocketHandlesInUse();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_SOCKET_HANDLES_H_
