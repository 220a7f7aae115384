#include "services/text/line_sleep.h"

#include <cmath>

#include "engine/line_call.h"
#include "platform/clock.h"

namespace services {
namespace {

// "Sleep(" checks the call object on its first pass and every this many.
constexpr uint32_t kOnlineCheckPasses = 20;
}  // namespace

void SleepSeconds(double seconds, engine::LineCallBase* call,
                  const std::atomic<uint8_t>* script_stopped) {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  const double ms = std::trunc(seconds * 1000.0);
  // Waits beyond the 32-bit tick are held at its limit.
  const uint32_t wait =
      !(ms > 0) ? 0 : ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
  int32_t last_state = call != nullptr ? call->callState.load(std::memory_order_relaxed) : 0;
  auto stopped = [&] {
    return (call != nullptr && call->stopFlag.load(std::memory_order_relaxed) != 0) ||
           (script_stopped != nullptr && script_stopped->load(std::memory_order_relaxed) != 0);
  };
  for (uint32_t pass = 0; !stopped(); ++pass) {
    clock.Sleep(1);
    if (call != nullptr && pass % kOnlineCheckPasses == 0) {
      const int32_t before = call->callState.load(std::memory_order_relaxed);
      call->IsOnline();
      const int32_t now = call->callState.load(std::memory_order_relaxed);
      if (now == engine::kCallReleased &&
          (before == engine::kCallConnected || last_state == engine::kCallConnected)) {
        return;
      }
      last_state = now;
    }
    if (wait != 0 && clock.TickCount() - start > wait) return;
  }
}

}  // namespace services
