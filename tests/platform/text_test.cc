// GBK byte rules and the blank-trimming routines.
#include <gtest/gtest.h>

#include <string>

#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace platform {
namespace {

TEST(Gbk, UpperCaseNeverTouchesTrailBytes) {
  // 0x95 0x5C, 0x81 0x61 ('a' as a trail byte) and 0xB1 0x7A ('z' as a trail byte).
  std::string text = "ab\x95\x5c" "cd\x81\x61" "e\xb1\x7a" "f";
  UpperGbkInPlace(text);
  EXPECT_EQ(text, "AB\x95\x5c" "CD\x81\x61" "E\xb1\x7a" "F");
  std::string lone = "x\x81";  // a lead byte at the end stands alone
  UpperGbkInPlace(lone);
  EXPECT_EQ(lone, "X\x81");
  char c_text[] = "is_show_form\xd6\xd0";
  UpperGbkInPlace(c_text);
  EXPECT_STREQ(c_text, "IS_SHOW_FORM\xd6\xd0");
}

TEST(Gbk, CaseInsensitiveComparison) {
  EXPECT_TRUE(EqualsIgnoreCaseGbk("Voc\xd6\xd0.WAV", "voc\xd6\xd0.wav"));
  EXPECT_FALSE(EqualsIgnoreCaseGbk("\x81\x61", "\x81\x41"));  // trail bytes differ
  EXPECT_FALSE(EqualsIgnoreCaseGbk("ab", "abc"));
}

TEST(TrimBlanks, Table) {
  struct {
    std::string in;
    std::string out;
    int result;
  } cases[] = {
      {"  a b \t", "a b", 4},
      {"   ", "", 1},
      {"x", "x", 2},
      {std::string("ab\0\0", 4), "ab", 3},  // trailing zero bytes go too
      {std::string("\0ab", 3), std::string("\0ab", 3), 4},  // a leading zero stays
      {"\t\xd6\xd0 ", "\xd6\xd0", 3},
  };
  for (const auto& c : cases) {
    std::string buf = c.in + '\x7f';  // room for the terminator, and a guard
    int r = TrimBlanks(buf.data(), static_cast<int>(c.in.size()));
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(r - 1)), c.out);
    EXPECT_EQ(buf[static_cast<size_t>(r - 1)], '\0');
  }
  char untouched[] = " a ";
  EXPECT_EQ(TrimBlanks(untouched, 0), 1);
  EXPECT_EQ(TrimBlanks(untouched, -3), -2);
  EXPECT_STREQ(untouched, " a ");
}

TEST(TrimBlanks, TextAndRemoveAll) {
  char text[] = "  Hot Line  ";
  EXPECT_EQ(TrimText(text), 9);
  EXPECT_STREQ(text, "Hot Line");
  char all[] = " IS_SHOW_FORM\t= y e s ";
  RemoveAllBlanks(all);
  EXPECT_STREQ(all, "IS_SHOW_FORM=yes");
  std::string s = "\t a\tb c ";
  RemoveAllBlanks(s);
  EXPECT_EQ(s, "abc");
}

}  // namespace
}  // namespace platform
