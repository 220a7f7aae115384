// Random files as syllable voice libraries: loaded, and when one loads, a
// text made of the input's last bytes is spoken into a voice file. Nothing
// may read past the table or the file, whatever the header claims.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "telephony/voice/syllable_lib.h"

namespace {

// The text spoken: at most this many bytes from the input's end.
constexpr size_t kTextBytes = 64;

const std::string& Folder() {
  static const std::string dir = [] {
    std::string d = "/tmp/vttel_voclib_fuzz_" + std::to_string(getpid());
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen((Folder() + "/VtVocLib.dat").c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  telephony::CGetHypy hypy;
  if (hypy.LoadVocLib(Folder()) != telephony::kVocLibLoaded) return 0;
  const size_t n = std::min(size, kTextBytes);
  const std::string text(reinterpret_cast<const char*>(data) + size - n, n);
  hypy.TextToVocFile(text, Folder() + "/out.wav");
  return 0;
}
