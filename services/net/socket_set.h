// The socket set of a line: the sockets that its statements opened, in
// the process-wide table (socket_handles.h) with this set as their owner,
// in ascending handle order: TCP ("TcpOpen(", "TcpServer(", "TcpAccept("),
// UDP, and the HTTP client's, listeners and connections. A statement on
// any line reaches every socket of the table by its handle, but only of
// its own kind, so the TCP statements never reach a UDP or HTTP socket. It
// is the store of slot kSockets of the line's main script; the statements
// of a function or a child script reach it through the run context.
//
// Ownership: the table holds the descriptors; destroying the set (with
// the main script) closes every socket the line opened that no statement
// has closed.
//
// Thread rules: the statements use it on the line's thread; another line
// may close a socket of the set at any time (it leaves the set then).
// OnStop comes from any thread (the line being stopped): it shuts every
// socket of the set down (shutdown, not close) so a statement blocked on
// one returns at once; a socket added while the script's quit request is
// raised is shut down as it joins. A statement waiting on another line's
// socket watches its own line's stop (WaitReadableOrStop).
#ifndef VTTEL_SERVICES_NET_SOCKET_SET_H_
#define VTTEL_SERVICES_NET_SOCKET_SET_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/script_store.h"
#include "services/net/socket_handles.h"

namespace engine {
class TagTelBasic;
}

namespace services {

class SocketSet : public engine::ScriptStore {
 public:
  // script: the main script holding the set (outlives it).
  explicit SocketSet(const engine::TagTelBasic& script);
  ~SocketSet() override;
  SocketSet(const SocketSet&) = delete;
  SocketSet& operator=(const SocketSet&) = delete;

  // Takes the descriptor into the table for this line under a new handle
  // and returns the handle; with no handle free the descriptor is closed
  // and -1 returned.
  int32_t Add(int socket, SocketKind kind = SocketKind::kTcp);
  // A lease on the socket of a handle of that kind that any line opened,
  // or null.
  SocketLease Lease(int32_t handle, SocketKind kind = SocketKind::kTcp) const;
  // The descriptor of Lease, or -1 (for tests: it may close at any time).
  int Find(int32_t handle, SocketKind kind = SocketKind::kTcp) const;
  // Closes the socket of a handle of that kind that any line opened and
  // frees the handle; false (and nothing closed) when there is none.
  bool Close(int32_t handle, SocketKind kind = SocketKind::kTcp);
  // Closes every socket this line opened, in ascending handle order.
  void CloseAll();
  // Closes every socket of one kind this line opened, in ascending handle
  // order.
  void CloseAllOf(SocketKind kind);
  // The sockets this line opened that are open.
  size_t size() const;

  void OnStop() override;

 private:
  const engine::TagTelBasic& script_;
};

// Waits until the socket has something to read (or an error, or the
// peer's close) or the line of script stops: true when it may be read
// without waiting. Polls the stop every kStopPollMs; a socket of the
// line's own set needs no poll (its stop shuts the socket down).
inline constexpr int kStopPollMs = 100;
bool WaitReadableOrStop(engine::TagTelBasic* script, const OpenSocket& socket);

// The socket set a statement compiled in script acts on (the run
// context's), or null when the script has none.
SocketSet* SocketSetOf(engine::TagTelBasic* script);

// The store factory of slot kSockets; it also starts the socket library.
std::unique_ptr<engine::ScriptStore> NewSocketSet(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_SOCKET_SET_H_
