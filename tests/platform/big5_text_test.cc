// Big5 texts: the test that takes a text for Big5, and the conversion into
// simplified GBK, against fixtures made by iconv.
#include "platform/big5_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/pipe_process.h"

namespace platform {
namespace {

// UTF-8 text (u8 literals keep UTF-8 whatever the execution charset) in
// the code page iconv names.
std::string Iconv(const char8_t* utf8, const char* to) {
  std::string out;
  const ProcessResult r =
      RunProcess({"iconv", "-f", "UTF-8", "-t", to}, reinterpret_cast<const char*>(utf8), &out);
  EXPECT_EQ(r.exit_status, 0) << to;
  return out;
}

TEST(Big5TextTest, TellsBig5Texts) {
  const struct {
    std::string text;
    bool big5;
  } kCases[] = {
      {"Hello, world 123", false},
      {"", false},
      {Iconv(u8"銀行", "CP950"), false},  // BB C8 A6 E6: no trail byte below 0x7F
      {Iconv(u8"臺灣", "CP950"), true},   // 臺 is BB 4F
      {Iconv(u8"許功蓋", "CP950"), true},  // 許 is B3 5C
      {Iconv(u8"你好", "GBK"), false},
      {Iconv(u8"镕", "GBK"), true},      // E9 46: GBK taken for Big5, as documented
      {"\x81 \x40", false},            // a blank resets
      {"\xA4\xA4\xA4@", true},         // a lead after a lead-trail pair
      {"\xA4\xA4@", false},
  };
  for (const auto& c : kCases) EXPECT_EQ(IsBig5Text(c.text), c.big5) << c.text;
}

TEST(Big5TextTest, BecomesSimplifiedGbk) {
  EXPECT_EQ(Big5ToGbk(Iconv(u8"臺灣銀行", "CP950")), Iconv(u8"台湾银行", "GBK"));
  EXPECT_EQ(Big5ToGbk("ASCII 1.5"), "ASCII 1.5");
}

}  // namespace
}  // namespace platform
