// A second vttel instance for the platform tests: takes the instance lock,
// owns "VtTel Show", prints "ready" and waits until someone sets the event.
//
// Exit status: 0 the event was set; 3 not set within kWaitMs; 4 the instance
// lock was held already; 5 the event could not be created.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/instance_lock.h"
#include "platform/named_event.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kPollMs = 20;

}  // namespace

int main() {
  platform::InstanceLock lock;
  if (!lock.TryAcquire()) return 4;
  platform::NamedEvent show;
  if (!show.Create(platform::kShowEventName)) return 5;
  std::puts("ready");
  std::fflush(stdout);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!show.IsSet()) {
    if (std::chrono::steady_clock::now() >= deadline) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return 0;
}
