// Random request lines of the simulated board's control socket, cut at
// line ends as the server cuts them: every line is parsed; a refused line
// must say why, an accepted one must hold its limits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "simboard/control_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > simboard::kControlMaxLineBytes) continue;
    std::string error;
    const auto request = simboard::ParseControlRequest(line, error);
    if (!request) {
      if (error.empty()) __builtin_trap();
      continue;
    }
    if (request->verb == simboard::ControlVerb::kWait &&
        (request->number < 0 || request->number > simboard::kControlMaxWaitMs)) {
      __builtin_trap();
    }
    if (request->verb == simboard::ControlVerb::kKeys &&
        (request->number < 0 || request->number > simboard::kControlMaxKeyGapMs)) {
      __builtin_trap();
    }
  }
  return 0;
}
