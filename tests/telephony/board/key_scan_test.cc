// The rules that end a GetKeys input, as data.
#include "telephony/board/key_scan.h"

#include <gtest/gtest.h>

namespace telephony {
namespace {

struct ScanCase {
  const char* keys;
  int32_t max_keys;
  char end_key;
  bool ended;
  const char* input;
  size_t consumed;
};

TEST(KeyScanTest, EndsInputByTerminatorOrMaximum) {
  const ScanCase cases[] = {
      {"12#34", 4, '#', true, "12", 3},   // "#" ends, unkept
      {"12*3", 4, '*', true, "12*", 3},   // the end key is kept
      {"12.3", 4, '*', true, "12.", 3},   // "*" and "." are alike
      {"12*3", 4, '.', true, "12*", 3},
      {"12#3", 4, '*', true, "12", 3},    // "#" ends whatever the end key
      {"12#3", 4, 0, true, "12#3", 4},    // no end key: only the maximum
      {"1234", 3, 0, true, "123", 3},     // the key reaching the maximum is kept
      {"12", 3, '#', false, "12", 0},     // not yet
      {"", 3, '#', false, "", 0},
      {"123456", 0, '#', false, "123456", 0},  // no maximum
      {"5A", 9, 'A', true, "5A", 2},
  };
  for (const ScanCase& c : cases) {
    std::string out = "stale";
    KeyScan scan = ScanKeys(c.keys, c.max_keys, c.end_key, out);
    EXPECT_EQ(scan.ended, c.ended) << c.keys << " end " << c.end_key;
    EXPECT_EQ(scan.consumed, c.consumed) << c.keys;
    EXPECT_EQ(out, c.input) << c.keys;
  }
}

TEST(KeyScanTest, KnowsTheKeysALineReceives) {
  for (char c : std::string("0123456789*#ABCD")) EXPECT_TRUE(IsDtmfKey(c, false)) << c;
  EXPECT_TRUE(IsDtmfKey('b', true));
  EXPECT_FALSE(IsDtmfKey('b', false));
  for (int32_t c : {0, -1, int32_t{'E'}, int32_t{'e'}, int32_t{' '}, int32_t{'.'}, 0x100 + '1'})
    EXPECT_FALSE(IsDtmfKey(c, true)) << c;
}

}  // namespace
}  // namespace telephony
