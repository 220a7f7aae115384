#include "services/net/socket_set.h"

#include "engine/tel_basic.h"
#include "frame/tcp_socket.h"
#include "platform/socket.h"

namespace services {

SocketSet::SocketSet(const engine::TagTelBasic& script) : script_(script) {}

SocketSet::~SocketSet() { CloseAll(); }

int32_t SocketSet::Add(int socket, SocketKind kind) {
  const int32_t handle = EnterSocket(socket, kind, this);
  if (handle == kNoSocketHandle) return -1;
  // A stop raised before the socket joined: OnStop has not seen it.
  if (script_.IsQuit()) {
    if (const SocketLease lease = LeaseSocket(handle, kind)) {
      platform::ShutdownSocket(lease->socket());
    }
  }
  return handle;
}

SocketLease SocketSet::Lease(int32_t handle, SocketKind kind) const {
  return LeaseSocket(handle, kind);
}

int SocketSet::Find(int32_t handle, SocketKind kind) const {
  const SocketLease lease = LeaseSocket(handle, kind);
  return lease != nullptr ? lease->socket() : -1;
}

bool SocketSet::Close(int32_t handle, SocketKind kind) { return RemoveSocket(handle, kind); }

void SocketSet::CloseAll() { RemoveSocketsOf(this, nullptr); }

void SocketSet::CloseAllOf(SocketKind kind) { RemoveSocketsOf(this, &kind); }

size_t SocketSet::size() const { return SocketCountOf(this); }

void SocketSet::OnStop() { VisitSocketsOf(this, &platform::ShutdownSocket); }

bool WaitReadableOrStop(engine::TagTelBasic* script, const OpenSocket& socket) {
  if (socket.owner() == SocketSetOf(script) || !platform::ReceiveWaits(socket.socket())) {
    return true;
  }
  constexpr int64_t kPollNanos = int64_t{kStopPollMs} * 1000000;
  while (!script->LineStopping()) {
    if (platform::WaitSocket(socket.socket(), platform::SocketEvent::kReadable, kPollNanos) != 0) {
      return true;
    }
  }
  return false;
}

SocketSet* SocketSetOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return dynamic_cast<SocketSet*>(
      script->GetRunContext()->store(engine::StoreSlot::kSockets));
}

std::unique_ptr<engine::ScriptStore> NewSocketSet(engine::TagTelBasic& script) {
  frame::TcpStartup();
  return std::make_unique<SocketSet>(script);
}

}  // namespace services
