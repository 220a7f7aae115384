// The socket set of a line: the sockets that its statements opened, each
// under a handle of the process-wide registry (socket_handles.h) and with
// its kind, in ascending handle order: TCP ("TcpOpen(", "TcpServer(",
// "TcpAccept("), UDP, and the HTTP client's, listeners and connections. A
// statement finds and closes only sockets of its own kind, so the TCP
// statements never reach a UDP or HTTP socket by its handle. It is
// the store of slot kSockets of the line's main script; the statements of
// a function or a child script reach it through the run context.
//
// Ownership: the set owns its descriptors; destroying it (with the main
// script) closes every socket still in it.
//
// Thread rules: the statements use it on the line's thread. OnStop comes
// from any thread (the line being stopped): it shuts every socket down
// (shutdown, not close) so a statement blocked on one returns at once; a
// socket added while the script's quit request is raised is shut down as
// it joins. A small lock guards the set; descriptors are closed only on
// the line's thread and under the lock, so OnStop never reaches a closed
// or reused descriptor. No call blocks while holding the lock.
#ifndef VTTEL_SERVICES_NET_SOCKET_SET_H_
#define VTTEL_SERVICES_NET_SOCKET_SET_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "engine/script_store.h"

namespace engine {
class TagTelBasic;
}

namespace services {

// What a socket of the set is for; statements look handles up by kind.
enum class SocketKind : uint8_t {
  kTcp,             // "TcpOpen(", "TcpServer(", "TcpAccept("
  kUdp,             // "UdpOpen("
  kHttpClient,      // the client's socket during one exchange
  kHttpListener,    // "HttpServerOpen("
  kHttpConnection,  // a connection a listener accepted
};

class SocketSet : public engine::ScriptStore {
 public:
  // script: the main script holding the set (outlives it).
  explicit SocketSet(const engine::TagTelBasic& script);
  ~SocketSet() override;
  SocketSet(const SocketSet&) = delete;
  SocketSet& operator=(const SocketSet&) = delete;

  // Takes the descriptor into the set under a new handle and returns the
  // handle; with no handle free the descriptor is closed and -1 returned.
  int32_t Add(int socket, SocketKind kind = SocketKind::kTcp);
  // The descriptor of a handle of this set of that kind, or -1.
  int Find(int32_t handle, SocketKind kind = SocketKind::kTcp) const;
  // Closes the socket of a handle of this set of that kind and frees the
  // handle; false (and nothing closed) when the set holds no such handle.
  bool Close(int32_t handle, SocketKind kind = SocketKind::kTcp);
  // Closes every socket in ascending handle order and empties the set.
  void CloseAll();
  // Closes every socket of one kind in ascending handle order.
  void CloseAllOf(SocketKind kind);
  size_t size() const;

  void OnStop() override;

 private:
  // Closes the sockets of one kind, or of every kind when kind is null.
  void CloseWhere(const SocketKind* kind);

  const engine::TagTelBasic& script_;
  mutable std::mutex mu_;
  struct Entry {
    int socket;
    SocketKind kind;
  };
  std::map<int32_t, Entry> sockets_;  // by handle; guarded by mu_
};

// A hook run before a socket of one kind leaves any set (closed by a
// statement or with the main script), under that set's lock: a registry
// that shares the socket beyond its line forgets it there, before its
// descriptor is closed. It must not take a set's lock.
using SocketCloseHook = void (*)(int32_t handle, int socket);
void SetSocketCloseHook(SocketKind kind, SocketCloseHook hook);

// The socket set a statement compiled in script acts on (the run
// context's), or null when the script has none.
SocketSet* SocketSetOf(engine::TagTelBasic* script);

// The store factory of slot kSockets; it also starts the socket library.
std::unique_ptr<engine::ScriptStore> NewSocketSet(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_SOCKET_SET_H_
