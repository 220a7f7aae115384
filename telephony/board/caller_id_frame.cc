#include "telephony/board/caller_id_frame.h"

#include <cstdio>

namespace telephony {

std::vector<uint8_t> BuildCallerIdFrame(const platform::WallTime& when, std::string_view number) {
  number = number.substr(0, kCallerIdNumberMax);
  char stamp[16];
  snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d", when.month % 100, when.day % 100,
           when.hour % 100, when.minute % 100);
  std::vector<uint8_t> frame{kCallerIdSingleMessage, 0};
  frame.insert(frame.end(), stamp, stamp + 8);
  frame.insert(frame.end(), number.begin(), number.end());
  frame[1] = static_cast<uint8_t>(frame.size() - 2);
  uint8_t sum = 0;
  for (uint8_t b : frame) sum = static_cast<uint8_t>(sum + b);
  frame.push_back(static_cast<uint8_t>(-sum));
  return frame;
}

}  // namespace telephony
