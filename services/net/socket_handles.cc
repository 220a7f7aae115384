#include "services/net/socket_handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace services {
namespace {

// The last handle before the numbers wrap.
constexpr int32_t kLastTcpHandle = INT32_MAX - 1;

struct HandleRegistry {
  std::mutex mu;
  int32_t next = kFirstSocketHandle;      // guarded by mu
  std::unordered_set<int32_t> in_use;  // guarded by mu
};

HandleRegistry& Registry() {
  static HandleRegistry* registry = new HandleRegistry;  // lives to process exit
  return *registry;
}

constexpr size_t kHandleRange = static_cast<size_t>(kLastTcpHandle - kFirstSocketHandle) + 1;

}  // namespace

int32_t AllocateSocketHandle() {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  if (r.in_use.size() >= kHandleRange) return kNoSocketHandle;
  for (;;) {
    const int32_t h = r.next;
    r.next = h >= kLastTcpHandle ? kFirstSocketHandle : h + 1;
    if (r.in_use.insert(h).second) return h;
  }
}

void ReleaseSocketHandle(int32_t handle) {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  r.in_use.erase(handle);
}

size_t SocketHandlesInUse() {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  return r.in_use.size();
}

}  // namespace services
