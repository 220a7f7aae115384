// A short smoke run of the keyword fuzz target: random lines built from the
// characters that matter to the matcher and the splitter, and random bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

TEST(FuzzSmoke, KeywordMatcherAndSplitter) {
  static const char kAlphabet[] =
      " \t\r\n\"\\;(){}<>=!~^|&+-*/%[],:?'._#0123456789abcifelsePlay\xb0\xa1";
  std::mt19937 rng(20261210);
  for (int i = 0; i < 200000; ++i) {
    std::string input;
    const size_t n = rng() % (i % 100 == 0 ? 1200 : 40);
    for (size_t k = 0; k < n; ++k) {
      input.push_back(i % 3 == 0 ? static_cast<char>(rng())
                                 : kAlphabet[rng() % (sizeof kAlphabet - 1)]);
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
