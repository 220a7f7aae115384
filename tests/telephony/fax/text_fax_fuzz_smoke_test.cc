// A smoke run of the text-to-fax fuzz target: random modes, code tables,
// font lengths and texts of blanks, letters, GBK and Big5 pairs, control
// bytes and line ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace telephony {
namespace {

// Inputs of the run (some 8 s under the sanitizers).
constexpr int kInputs = 800;

std::string RandomText(std::mt19937& rng) {
  static const std::string kPieces[] = {"\n", "\r\n", "\t", " ", "A", "\xD6\xD0", "\xB7\x7C",
                                        "\x85", "\xFF", "\xA1", "\0", "\xFF\xFE", "\xEF\xBB\xBF"};
  std::string text;
  const int pieces = static_cast<int>(rng() % 400);
  for (int i = 0; i < pieces; ++i) {
    if (rng() % 3 == 0) {
      text += static_cast<char>(rng());
    } else {
      text += kPieces[rng() % std::size(kPieces)];
    }
  }
  return text;
}

TEST(FuzzSmoke, TextToFax) {
  std::mt19937 rng(20261211);
  for (int i = 0; i < kInputs; ++i) {
    // The mode, then the bytes of the table and the fonts, then the text.
    std::string input(1, static_cast<char>(rng()));
    const size_t head = i % 5 == 0 ? rng() % 400 : 400 + rng() % 200;
    for (size_t k = 0; k < head; ++k) input += static_cast<char>(rng());
    input += RandomText(rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
}  // namespace telephony
