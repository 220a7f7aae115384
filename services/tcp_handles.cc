#include "services/tcp_handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace services {
namespace {

// The last handle before the numbers wrap.
constexpr int32_t kLastTcpHandle = INT32_MAX - 1;

struct HandleRegistry {
  std::mutex mu;
  int32_t next = kFirstTcpHandle;      // guarded by mu
  std::unordered_set<int32_t> in_use;  // guarded by mu
};

HandleRegistry& Registry() {
  static HandleRegistry* registry = new HandleRegistry;  // lives to process exit
  return *registry;
}

constexpr size_t kHandleRange = static_cast<size_t>(kLastTcpHandle - kFirstTcpHandle) + 1;

}  // namespace

int32_t AllocateTcpHandle() {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  if (r.in_use.size() >= kHandleRange) return kNoTcpHandle;
  for (;;) {
    const int32_t h = r.next;
    r.next = h >= kLastTcpHandle ? kFirstTcpHandle : h + 1;
    if (r.in_use.insert(h).second) return h;
  }
}

void ReleaseTcpHandle(int32_t handle) {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  r.in_use.erase(handle);
}

size_t TcpHandlesInUse() {
  HandleRegistry& r = Registry();
  std::lock_guard<std::mutex> lock(r.mu);
  return r.in_use.size();
}

}  // namespace services
