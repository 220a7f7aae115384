#include "services/text/line_sleep.h"

#include <cmath>

#include "engine/line_sleep.h"

namespace services {

void SleepSeconds(double seconds, engine::LineCallBase* call,
                  const std::atomic<uint8_t>* script_stopped) {
  const double ms = std::trunc(seconds * 1000.0);
  // Waits beyond the 32-bit tick are held at its limit.
  const uint32_t wait =
      !(ms > 0) ? 0 : ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
  engine::SleepOnLine(wait, call, script_stopped);
}

}  // namespace services
