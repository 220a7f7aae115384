#include "services/tcp_socket_set.h"

#include <array>
#include <atomic>
#include <vector>

#include "engine/tel_basic.h"
#include "frame/tcp_socket.h"
#include "platform/socket.h"
#include "services/tcp_handles.h"

namespace services {
namespace {

// One close hook per socket kind.
constexpr size_t kKinds = static_cast<size_t>(SocketKind::kHttpConnection) + 1;
std::array<std::atomic<SocketCloseHook>, kKinds> g_close_hooks{};

// Runs the kind's hook and closes the descriptor; under the set's lock.
void CloseEntry(int32_t handle, int socket, SocketKind kind) {
  if (const SocketCloseHook hook = g_close_hooks[static_cast<size_t>(kind)].load()) {
    hook(handle, socket);
  }
  platform::CloseSocket(socket);
}

}  // namespace

void SetSocketCloseHook(SocketKind kind, SocketCloseHook hook) {
  g_close_hooks[static_cast<size_t>(kind)].store(hook);
}

TcpSocketSet::TcpSocketSet(const engine::TagTelBasic& script) : script_(script) {}

TcpSocketSet::~TcpSocketSet() { CloseAll(); }

int32_t TcpSocketSet::Add(int socket, SocketKind kind) {
  const int32_t handle = AllocateTcpHandle();
  if (handle == kNoTcpHandle) {
    platform::CloseSocket(socket);
    return -1;
  }
  std::lock_guard<std::mutex> lock(mu_);
  sockets_.emplace(handle, Entry{socket, kind});
  // A stop raised before the socket joined: OnStop has not seen it.
  if (script_.IsQuit()) platform::ShutdownSocket(socket);
  return handle;
}

int TcpSocketSet::Find(int32_t handle, SocketKind kind) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = sockets_.find(handle);
  return it != sockets_.end() && it->second.kind == kind ? it->second.socket : -1;
}

bool TcpSocketSet::Close(int32_t handle, SocketKind kind) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto it = sockets_.find(handle);
    if (it == sockets_.end() || it->second.kind != kind) return false;
    CloseEntry(handle, it->second.socket, kind);
    sockets_.erase(it);
  }
  ReleaseTcpHandle(handle);
  return true;
}

void TcpSocketSet::CloseAll() { CloseWhere(nullptr); }

void TcpSocketSet::CloseAllOf(SocketKind kind) { CloseWhere(&kind); }

void TcpSocketSet::CloseWhere(const SocketKind* kind) {
  std::vector<int32_t> closed;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = sockets_.begin(); it != sockets_.end();) {
      if (kind != nullptr && it->second.kind != *kind) {
        ++it;
        continue;
      }
      CloseEntry(it->first, it->second.socket, it->second.kind);
      closed.push_back(it->first);
      it = sockets_.erase(it);
    }
  }
  for (const int32_t handle : closed) ReleaseTcpHandle(handle);
}

size_t TcpSocketSet::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sockets_.size();
}

void TcpSocketSet::OnStop() {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& [handle, entry] : sockets_) platform::ShutdownSocket(entry.socket);
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
