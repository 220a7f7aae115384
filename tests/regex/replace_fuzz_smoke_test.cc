// A short smoke run of the replace fuzz target (fuzz/replace_fuzz.cc):
// patterns, replacements and texts built from the bytes that matter to
// patterns and references, and random bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(ReplaceFuzzSmoke, RandomPatternsReplacementsAndTexts) {
  static const char kAlphabet[] = "ab x,$&`'+_{}0129()|*+?[]^.\\swd<>=\n\0\xB0\xA1";
  std::mt19937 rng(20261211);
  for (int i = 0; i < 20000; ++i) {
    std::string input(1, static_cast<char>(rng()));
    for (int part = 0; part < 3; ++part) {
      if (part > 0) input.push_back('\xFF');
      const size_t n = rng() % (part == 2 && i % 50 == 0 ? 2000 : 16);
      for (size_t k = 0; k < n; ++k) {
        input.push_back(i % 4 == 0 ? static_cast<char>(rng())
                                   : kAlphabet[rng() % (sizeof kAlphabet - 1)]);
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
