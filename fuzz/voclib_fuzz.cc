// Random files as syllable voice libraries: loaded, and when one loads, a
// text made of the input's last bytes is spoken into a voice file. Nothing
// may read past the table or the file, whatever the header claims.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "telephony/voice/syllable_lib.h"

namespace {

// The text spoken: at most this many bytes from the input's end.
constexpr size_t kTextBytes = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (fuzz_support::WriteInput("VtVocLib.dat", data, size).empty()) return 0;
  telephony::CGetHypy hypy;
  if (hypy.LoadVocLib(fuzz_support::Folder()) != telephony::kVocLibLoaded) return 0;
  const size_t n = std::min(size, kTextBytes);
  const std::string text(reinterpret_cast<const char*>(data) + size - n, n);
  hypy.TextToVocFile(text, fuzz_support::PathOf("out.wav"));
  return 0;
}
