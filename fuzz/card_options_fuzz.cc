// Random files as the board options "Card.ini": every option read must be
// on or off, whatever the lines say.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "telephony/board/card_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_support::WriteInput("Card.ini", data, size);
  if (path.empty()) return 0;
  const telephony::CardOptions options = telephony::ReadCardOptions(path);
  if (options.conf > 1 || options.fax > 1) __builtin_trap();
  return 0;
}
