// The socket set of a line: the TCP sockets that its statements opened
// ("TcpOpen(", "TcpServer(", "TcpAccept("), each under a handle of the
// process-wide registry (tcp_handles.h), in ascending handle order. It is
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
#ifndef VTTEL_SERVICES_TCP_SOCKET_SET_H_
#define VTTEL_SERVICES_TCP_SOCKET_SET_H_

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

class TcpSocketSet : public engine::ScriptStore {
 public:
  // script: the main script holding the set (outlives it).
  explicit TcpSocketSet(const engine::TagTelBasic& script);
  ~TcpSocketSet() override;
  TcpSocketSet(const TcpSocketSet&) = delete;
  TcpSocketSet& operator=(const TcpSocketSet&) = delete;

  // Takes the descriptor into the set under a new handle and returns the
  // handle; with no handle free the descriptor is closed and -1 returned.
  int32_t Add(int socket);
  // The descriptor of a handle of this set, or -1.
  int Find(int32_t handle) const;
  // Closes the socket of a handle of this set and frees the handle; false
  // (and nothing closed) when the set does not hold the handle.
  bool Close(int32_t handle);
  // Closes every socket in ascending handle order and empties the set.
  void CloseAll();
  size_t size() const;

  void OnStop() override;

 private:
  const engine::TagTelBasic& script_;
  mutable std::mutex mu_;
  std::map<int32_t, int> sockets_;  // handle -> descriptor; guarded by mu_
};

// The socket set a statement compiled in script acts on (the run
// context's), or null when the script has none.
TcpSocketSet* SocketSetOf(engine::TagTelBasic* script);

// The store factory of slot kSockets; it also starts the socket library.
std::unique_ptr<engine::ScriptStore> NewTcpSocketSet(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_TCP_SOCKET_SET_H_
