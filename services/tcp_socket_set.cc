#include "services/tcp_socket_set.h"

#include "engine/tel_basic.h"
#include "frame/tcp_socket.h"
#include "platform/socket.h"
#include "services/tcp_handles.h"

namespace services {

TcpSocketSet::TcpSocketSet(const engine::TagTelBasic& script) : script_(script) {}

TcpSocketSet::~TcpSocketSet() { CloseAll(); }

int32_t TcpSocketSet::Add(int socket) {
  const int32_t handle = AllocateTcpHandle();
  if (handle == kNoTcpHandle) {
    platform::CloseSocket(socket);
    return -1;
  }
  std::lock_guard<std::mutex> lock(mu_);
  sockets_.emplace(handle, socket);
  // A stop raised before the socket joined: OnStop has not seen it.
  if (script_.IsQuit()) platform::ShutdownSocket(socket);
  return handle;
}

int TcpSocketSet::Find(int32_t handle) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = sockets_.find(handle);
  return it != sockets_.end() ? it->second : -1;
}

bool TcpSocketSet::Close(int32_t handle) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto it = sockets_.find(handle);
    if (it == sockets_.end()) return false;
    platform::CloseSocket(it->second);
    sockets_.erase(it);
  }
  ReleaseTcpHandle(handle);
  return true;
}

void TcpSocketSet::CloseAll() {
  std::map<int32_t, int> closed;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& [handle, socket] : sockets_) platform::CloseSocket(socket);
    closed.swap(sockets_);
  }
  for (const auto& entry : closed) ReleaseTcpHandle(entry.first);
}

size_t TcpSocketSet::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sockets_.size();
}

void TcpSocketSet::OnStop() {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& entry : sockets_) platform::ShutdownSocket(entry.second);
}

TcpSocketSet* SocketSetOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return dynamic_cast<TcpSocketSet*>(
      script->GetRunContext()->store(engine::StoreSlot::kSockets));
}

std::unique_ptr<engine::ScriptStore> NewTcpSocketSet(engine::TagTelBasic& script) {
  frame::TcpStartup();
  return std::make_unique<TcpSocketSet>(script);
}

}  // namespace services
