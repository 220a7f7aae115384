#include "services/net/socket_set.h"

#include <array>
#include <atomic>
#include <vector>

#include "engine/tel_basic.h"
#include "frame/tcp_socket.h"
#include "platform/socket.h"
#include "services/net/socket_handles.h"

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

SocketSet::SocketSet(const engine::TagTelBasic& script) : script_(script) {}

SocketSet::~SocketSet() { CloseAll(); }

int32_t SocketSet::Add(int socket, SocketKind kind) {
  const int32_t handle = AllocateSocketHandle();
  if (handle == kNoSocketHandle) {
    platform::CloseSocket(socket);
    return -1;
  }
  std::lock_guard<std::mutex> lock(mu_);
  sockets_.emplace(handle, Entry{socket, kind});
  // A stop raised before the socket joined: OnStop has not seen it.
  if (script_.IsQuit()) platform::ShutdownSocket(socket);
  return handle;
}

int SocketSet::Find(int32_t handle, SocketKind kind) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = sockets_.find(handle);
  return it != sockets_.end() && it->second.kind == kind ? it->second.socket : -1;
}

bool SocketSet::Close(int32_t handle, SocketKind kind) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto it = sockets_.find(handle);
    if (it == sockets_.end() || it->second.kind != kind) return false;
    CloseEntry(handle, it->second.socket, kind);
    sockets_.erase(it);
  }
  ReleaseSocketHandle(handle);
  return true;
}

void SocketSet::CloseAll() { CloseWhere(nullptr); }

void SocketSet::CloseAllOf(SocketKind kind) { CloseWhere(&kind); }

void SocketSet::CloseWhere(const SocketKind* kind) {
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
  for (const int32_t handle : closed) ReleaseSocketHandle(handle);
}

size_t SocketSet::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sockets_.size();
}

void SocketSet::OnStop() {
  std::lock_guard<std::mutex> lock(mu_);
  for (const auto& [handle, entry] : sockets_) platform::ShutdownSocket(entry.socket);
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
