#include "engine/line_sleep.h"

#include <algorithm>

#include "platform/clock.h"

namespace engine {
namespace {

// A sleep without an end by time is made of waits of this length.
constexpr uint32_t kEndlessWaitMs = 3600000;

// Milliseconds from now until tick; 0 when it has come.
uint32_t MsUntil(uint32_t tick, uint32_t now) {
  const int32_t ahead = static_cast<int32_t>(tick - now);
  return ahead > 0 ? static_cast<uint32_t>(ahead) : 0;
}

// Milliseconds until more than wait_ms have passed since start (a wait of
// an hour at most); 0 once they have.
uint32_t MsUntilPassed(uint32_t start, uint32_t wait_ms, uint32_t now) {
  const uint32_t elapsed = now - start;
  if (elapsed > wait_ms) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>(uint64_t{wait_ms} - elapsed + 1, kEndlessWaitMs));
}

// The count a sleep waits on: the line's, or the stop requests' bell when
// there is no call.
class SleepBell {
 public:
  explicit SleepBell(LineCallBase* call) : call_(call) {}
  uint32_t Count() const {
    return call_ != nullptr ? call_->ChangeCount() : platform::StopSleepersBell().Count();
  }
  void Wait(uint32_t seen, uint32_t ms) const {
    if (call_ != nullptr) {
      call_->WaitChange(seen, ms);
    } else {
      platform::GetClock().WaitChange(platform::StopSleepersBell(), seen,
                                    std::min(ms, platform::kStopCheckMs));
    }
  }

 private:
  LineCallBase* const call_;
};

bool ToldOnline(LineCallBase& call) { return (call.ToldChanges() & kToldOnline) != 0; }

}  // namespace

void SleepOnLine(uint32_t wait_ms, LineCallBase* call,
                 const std::atomic<uint8_t>* script_stopped) {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  auto stopped = [&] {
    return (call != nullptr && call->stopFlag.load(std::memory_order_relaxed) != 0) ||
           (script_stopped != nullptr && script_stopped->load(std::memory_order_relaxed) != 0);
  };
  const SleepBell bell(call);
  int32_t last_state = call != nullptr ? call->callState.load(std::memory_order_relaxed) : 0;
  bool told = call != nullptr && ToldOnline(*call);
  uint32_t seen = bell.Count();
  // A line told of its changes is looked at once, unless nothing changed
  // since its last look; the others after a first pass of 1 ms.
  bool looked = told && call->lastLookCount == seen;
  uint32_t next_look = told ? start : start + 1;
  while (!stopped()) {
    // Looks come by time until the first, and always where the line is not
    // told of its changes.
    const bool timed_look = call != nullptr && (!looked || !told);
    uint32_t ms = timed_look ? MsUntil(next_look, clock.TickCount()) : kEndlessWaitMs;
    if (wait_ms != 0) ms = std::min(ms, MsUntilPassed(start, wait_ms, clock.TickCount()));
    if (ms > 0) bell.Wait(seen, ms);
    if (stopped()) return;
    const uint32_t count = bell.Count();  // before the look: no change is missed
    const bool changed = count != seen;
    seen = count;
    if (call != nullptr &&
        (changed || (timed_look && MsUntil(next_look, clock.TickCount()) == 0))) {
      const int32_t before = call->callState.load(std::memory_order_relaxed);
      call->lastLookCount = count;
      call->IsOnline();
      const int32_t now = call->callState.load(std::memory_order_relaxed);
      if (now == kCallReleased && (before == kCallConnected || last_state == kCallConnected)) {
        return;
      }
      last_state = now;
      looked = true;
      told = ToldOnline(*call);
      next_look = clock.TickCount() + kSleepLookMs;
    }
    if (wait_ms != 0 && clock.TickCount() - start > wait_ms) return;
  }
}

}  // namespace engine
