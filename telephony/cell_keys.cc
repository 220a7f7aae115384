// The keys of the Keys cell, and the call object's wait for them.
#include "telephony/cell_keys.h"

#include <algorithm>

#include "frame/monitor.h"
#include "platform/clock.h"
#include "telephony/vt_call.h"

namespace telephony {
namespace {

// A wait for keys without a time-out is made of waits of this length.
constexpr uint32_t kEndlessWaitMs = 3600000;
constexpr uint8_t kToldCallAndCell = engine::kToldOnline | engine::kToldKeysCell;

// True when more than seconds (above 0) have passed from since to now.
bool Passed(uint32_t now, uint32_t since, int32_t seconds) {
  return seconds > 0 && static_cast<int64_t>(now - since) > static_cast<int64_t>(seconds) * 1000;
}

// Milliseconds from now until Passed(., since, seconds) holds (at most
// kEndlessWaitMs; that long without a time-out). REQUIRES: it does not yet.
uint32_t MsUntilPassed(uint32_t now, uint32_t since, int32_t seconds) {
  if (seconds <= 0) return kEndlessWaitMs;
  const int64_t due = static_cast<int64_t>(seconds) * 1000 + 1 - static_cast<int64_t>(now - since);
  return static_cast<uint32_t>(std::clamp<int64_t>(due, 1, kEndlessWaitMs));
}

// Takes n characters off the front of the line's cell, unless it changed
// since it was read as cell.
bool TakeFromCell(int line, std::string_view cell, size_t n) {
  return n == 0 || frame::TakeLineKeysPrefix(line, cell.substr(0, n));
}

}  // namespace

CellTake LookAtKeysCell(std::string_view cell, int32_t max_keys, char end_key) {
  CellTake take;
  if (end_key != 0) {
    std::string terminators{end_key, '#'};
    if (end_key == '*' || end_key == '.') terminators += "*.";
    const size_t at = cell.find_first_of(terminators);
    if (at != std::string_view::npos) {
      take.ended = true;
      take.taken = at + 1;
      take.keys.assign(cell.substr(0, cell[at] == '#' ? at : at + 1));
      return take;
    }
  }
  const size_t max = max_keys > 0 ? static_cast<size_t>(max_keys) : 0;
  if (cell.size() >= max) {
    take.ended = true;
    take.taken = max;
    take.keys.assign(cell.substr(0, max));
  }
  return take;
}

int32_t TagVtCall::GetCellKeys(std::string& keys, int32_t max_keys, int32_t total_seconds,
                               char end_key, const std::atomic<uint8_t>& script_stopped) {
  keys.clear();
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t last_key = start;
  size_t longest = 0;
  while (script_stopped.load(std::memory_order_relaxed) == 0 &&
         stopFlag.load(std::memory_order_relaxed) == 0) {
    const uint32_t seen = ChangeCount();  // before the looks: no change is missed
    IsOnline();
    if (callState.load(std::memory_order_relaxed) == engine::kCallReleased) break;
    const std::string cell = frame::GetLineKeys(lineNo);
    CellTake take = LookAtKeysCell(cell, max_keys, end_key);
    if (take.ended && TakeFromCell(lineNo, cell, take.taken)) {
      keys = std::move(take.keys);
      return static_cast<int32_t>(take.taken);
    }
    const uint32_t now = clock.TickCount();
    if (cell.size() > longest) {
      longest = cell.size();
      last_key = now;
    }
    if (Passed(now, last_key, keyTime) || Passed(now, start, total_seconds)) return kKeysTimeout;
    // A line told of every change of its call and its cell sleeps until one
    // comes or a time-out is due; the others look again after a poll.
    WaitChange(seen, (ToldChanges() & kToldCallAndCell) == kToldCallAndCell
                         ? std::min(MsUntilPassed(now, last_key, keyTime),
                                    MsUntilPassed(now, start, total_seconds))
                         : kPcKeysPollMs);
  }
  return kKeysStopped;
}

}  // namespace telephony
