#include "telephony/board/caller_id_frame.h"

#include <cstdio>
#include <string>

namespace telephony {

std::vector<uint8_t> BuildCallerIdFrame(const platform::WallTime& when, std::string_view number) {
  number = number.substr(0, kCallerIdNumberMax);
  char stamp[16];
  snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d", when.month % 100, when.day % 100,
           when.hour % 100, when.minute % 100);
  const std::string text = std::string(stamp) + std::string(number);
  std::vector<uint8_t> frame;
  frame.reserve(text.size() + 3);
  frame.push_back(kCallerIdSingleMessage);
  frame.push_back(static_cast<uint8_t>(text.size()));
  for (char c : text) frame.push_back(static_cast<uint8_t>(c));
  uint8_t sum = 0;
  for (uint8_t b : frame) sum = static_cast<uint8_t>(sum + b);
  frame.push_back(static_cast<uint8_t>(-sum));
  return frame;
}

}  // namespace telephony
