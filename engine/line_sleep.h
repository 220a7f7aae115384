// SleepOnLine: the pause of "Sleep(" on a line. It ends when its time has
// passed, at a stop of the line or its script, or when the line's call goes
// from connected to released as the call's online check (IsOnline) finds.
//
// The sleep is one timed wait on the line's change count between looks
// (LineCallBase::ChangeCount): a stop rings it, so the sleep ends within a
// millisecond of a stop. The call is looked at first after 1 ms and then
// every kSleepLookMs, the pace of the 1 ms passes this pause was made of;
// a line told of every change that IsOnline could see (kToldOnline) is
// looked at only when its count moves: at once at the start when it moved
// since the line's last look (LineCallBase::lastLookCount), then at each
// move.
//
// On the line's thread only; sleeps go through the installed clock (and
// the line's board where the count is the board's).
#ifndef VTTEL_ENGINE_LINE_SLEEP_H_
#define VTTEL_ENGINE_LINE_SLEEP_H_

#include <atomic>
#include <cstdint>

#include "engine/line_call.h"

namespace engine {

// The looks at a line that is not told of its changes come this often.
inline constexpr uint32_t kSleepLookMs = 20;

// Sleeps wait_ms milliseconds (0: no end by time). Either stop flag, the
// call's stopFlag or script_stopped, may be absent (call or script_stopped
// null); without a call the sleep waits on the stop requests' bell
// (platform::StopSleepersBell), looking at script_stopped at least every
// platform::kStopCheckMs.
void SleepOnLine(uint32_t wait_ms, LineCallBase* call,
                 const std::atomic<uint8_t>* script_stopped);

}  // namespace engine

#endif  // VTTEL_ENGINE_LINE_SLEEP_H_
