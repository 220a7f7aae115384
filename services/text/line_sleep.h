// The wait of "Sleep(" on a line: it ends by time, by the line's stop or
// when the line's call is released.
//
// Thread rules: runs on the line's thread.
#ifndef VTTEL_SERVICES_TEXT_LINE_SLEEP_H_
#define VTTEL_SERVICES_TEXT_LINE_SLEEP_H_

#include <atomic>
#include <cstdint>

namespace engine {
class LineCallBase;
}

namespace services {

// "Sleep(": waits seconds (truncated to milliseconds) on the line
// (engine::SleepOnLine); ends early when stop is raised (either flag may be
// null) or the call object goes from connected to released. A wait of 0 or
// less never ends by time.
void SleepSeconds(double seconds, engine::LineCallBase* call,
                  const std::atomic<uint8_t>* script_stopped);

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_LINE_SLEEP_H_
