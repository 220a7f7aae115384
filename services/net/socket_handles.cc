#include "services/net/socket_handles.h"

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/socket.h"

namespace services {
namespace {

// The last handle before the numbers wrap.
constexpr int32_t kLastSocketHandle = INT32_MAX - 1;
constexpr size_t kHandleRange =
    static_cast<size_t>(kLastSocketHandle - kFirstSocketHandle) + 1;

constexpr size_t kKinds = static_cast<size_t>(SocketKind::kHttpConnection) + 1;
std::array<std::atomic<SocketCloseHook>, kKinds> g_close_hooks{};

using Entry = std::shared_ptr<OpenSocket>;

struct SocketTable {
  std::mutex mu;
  int32_t next = kFirstSocketHandle;  // guarded by mu
  std::map<int32_t, Entry> sockets;   // by handle; guarded by mu
};

SocketTable& Table() {
  static SocketTable* table = new SocketTable;  // lives to process exit
  return *table;
}

// Takes an entry out of the table; mu held. The entry comes back to be
// dropped after the lock: the descriptor closes with its last lease.
Entry TakeOut(SocketTable& t, std::map<int32_t, Entry>::iterator it) {
  Entry entry = std::move(it->second);
  if (const SocketCloseHook hook = g_close_hooks[static_cast<size_t>(entry->kind())].load()) {
    hook(it->first, entry->socket());
  }
  // A lease is out: the wait of its holder ends as at the peer's close.
  if (entry.use_count() > 1) platform::ShutdownSocket(entry->socket());
  t.sockets.erase(it);
  return entry;
}

}  // namespace

OpenSocket::~OpenSocket() { platform::CloseSocket(socket_); }

int32_t EnterSocket(int socket, SocketKind kind, const void* owner) {
  auto entry = std::make_shared<OpenSocket>(socket, kind, owner);
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  if (t.sockets.size() >= kHandleRange) return kNoSocketHandle;  // entry closes it
  for (;;) {
    const int32_t h = t.next;
    t.next = h >= kLastSocketHandle ? kFirstSocketHandle : h + 1;
    if (t.sockets.emplace(h, entry).second) return h;
  }
}

SocketLease LeaseSocket(int32_t handle, SocketKind kind) {
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  const auto it = t.sockets.find(handle);
  if (it == t.sockets.end() || it->second->kind() != kind) return nullptr;
  return it->second;
}

bool RemoveSocket(int32_t handle, SocketKind kind) {
  Entry taken;
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  const auto it = t.sockets.find(handle);
  if (it == t.sockets.end() || it->second->kind() != kind) return false;
  taken = TakeOut(t, it);
  return true;
}

void RemoveSocketsOf(const void* owner, const SocketKind* kind) {
  std::vector<Entry> taken;
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  for (auto it = t.sockets.begin(); it != t.sockets.end();) {
    const auto here = it++;
    const OpenSocket& s = *here->second;
    if (s.owner() == owner && (kind == nullptr || s.kind() == *kind)) {
      taken.push_back(TakeOut(t, here));
    }
  }
  // Closed in ascending handle order as the lock is let go.
}

void VisitSocketsOf(const void* owner, const std::function<void(int socket)>& visit) {
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  for (const auto& [handle, entry] : t.sockets) {
    if (entry->owner() == owner) visit(entry->socket());
  }
}

size_t SocketCountOf(const void* owner) {
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  size_t count = 0;
  for (const auto& [handle, entry] : t.sockets) count += entry->owner() == owner ? 1 : 0;
  return count;
}

void SetSocketCloseHook(SocketKind kind, SocketCloseHook hook) {
  g_close_hooks[static_cast<size_t>(kind)].store(hook);
}

size_t SocketHandlesInUse() {
  SocketTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mu);
  return t.sockets.size();
}

}  // namespace services
