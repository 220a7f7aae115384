// Number reading as data: the voice names each mode says, in Chinese and in
// English, and the texts that have no reading.
#include "telephony/voice/number_reading.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace telephony {
namespace {

constexpr int32_t kChinese = 0;
constexpr int32_t kChineseToo = 1;

std::string Joined(const std::vector<std::string>& voices) {
  std::string out;
  for (const std::string& v : voices) out += (out.empty() ? "" : " ") + v;
  return out;
}

struct Case {
  const char* text;
  NumberMode mode;
  int32_t language;
  const char* voices;  // the names said, blank-separated
};

class NumberReadingTable : public testing::TestWithParam<Case> {};

TEST_P(NumberReadingTable, SaysTheVoices) {
  const Case& c = GetParam();
  const NumberReading r = ReadNumber(c.text, static_cast<int32_t>(c.mode), c.language);
  EXPECT_EQ(r.status, NumberReadStatus::kOk);
  EXPECT_EQ(Joined(r.voices), c.voices);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  std::ostringstream name;
  name << "i" << info.index << "_mode" << static_cast<int>(info.param.mode) << "_lang"
       << info.param.language;
  return name.str();
}

constexpr NumberMode kNum = NumberMode::kNumber;
constexpr NumberMode kMoney = NumberMode::kMoney;
constexpr NumberMode kDigits = NumberMode::kDigits;
constexpr NumberMode kDate = NumberMode::kDate;
constexpr NumberMode kClock = NumberMode::kClock;
constexpr NumberMode kDuration = NumberMode::kDuration;

INSTANTIATE_TEST_SUITE_P(
    Chinese, NumberReadingTable,
    testing::Values(
        // Numbers: units, zeros, the dropped "1" before shi.
        Case{"10", kNum, kChinese, "shi"}, Case{"15", kNum, kChinese, "shi 5"},
        Case{"110", kNum, kChinese, "1 bai 1 shi"}, Case{"115", kNum, kChinese, "1 bai 1 shi 5"},
        Case{"1010", kNum, kChinese, "1 qian 0 1 shi"},
        Case{"10005", kNum, kChinese, "1 wan 0 5"},
        Case{"100200", kNum, kChinese, "shi wan 0 2 bai"},
        Case{"1000000", kNum, kChinese, "1 bai wan"},
        Case{"1000000000", kNum, kChinese, "shi yyi"},
        Case{"100000000", kNum, kChinese, "1 yyi"},
        Case{"10050000", kNum, kChinese, "1 qian 0 5 wan"},
        Case{"10005000", kNum, kChinese, "1 qian wan 0 5 qian"},
        Case{"1000500", kNum, kChinese, "1 bai wan 0 5 bai"},
        Case{"999999999999", kNum, kChinese,
             "9 qian 9 bai 9 shi 9 yyi 9 qian 9 bai 9 shi 9 wan 9 qian 9 bai 9 shi 9"},
        Case{"0", kNum, kChinese, "0"}, Case{"", kNum, kChinese, "0"},
        Case{"007", kNum, kChinese, "7"}, Case{"  12", kNum, kChinese, "shi 2"},
        Case{"3.05", kNum, kChinese, "3 dian 0 5"}, Case{"3.00", kNum, kChinese, "3"},
        Case{"0.5", kNum, kChinese, "0 dian 5"}, Case{"2.5x7", kNum, kChinese, "2 dian 5"},
        // Letters take a digit's place and are said by their names.
        Case{"1A2", kNum, kChinese, "1 bai A shi 2"}, Case{"Z", kNum, kChinese, "Z"},
        Case{"10", kNum, kChineseToo, "shi"},
        // Money.
        Case{"12.345", kMoney, kChinese, "shi 2 yuan 3 jiao 4 fen 5 li"},
        Case{"0.50", kMoney, kChinese, "5 jiao"}, Case{"0", kMoney, kChinese, "0 yuan"},
        Case{"10", kMoney, kChinese, "shi yuan"}, Case{"007", kMoney, kChinese, "0 7 yuan"},
        Case{"", kMoney, kChinese, "0 yuan"}, Case{" 3.05", kMoney, kChinese, "3 yuan 5 fen"},
        Case{"1.2345", kMoney, kChinese, "1 yuan 2 jiao 3 fen 4 li"},
        // Digits, in any language.
        Case{"10.5", kDigits, kChinese, "1 0 dian 5"},
        Case{"a1 B2-3", kDigits, kChinese, "1 2 3"},
        Case{"10.5", kDigits, kEnglishLanguage, "1 0 dian 5"},
        // Dates.
        Case{"20240315", kDate, kChinese, "2 0 2 4 nian 3 yue shi 5 ri"},
        Case{"3-15", kDate, kChinese, "3 yue shi 5 ri"},
        Case{"5/3/15", kDate, kChinese, "0 5 nian 3 yue shi 5 ri"},
        Case{"2024-10-01", kDate, kChinese, "2 0 2 4 nian shi yue 1 ri"},
        Case{"315", kDate, kChinese, "3 yue shi 5 ri"},
        Case{"12/31", kDate, kChinese, "shi 2 yue 3 shi 1 ri"},
        // Clock times.
        Case{"8:05", kClock, kChinese, "8 dian 5 fen"},
        Case{"0:00", kClock, kChinese, "0 dian 0 fen"},
        Case{"83000", kClock, kChinese, "8 dian 3 shi fen"},
        Case{"10:20:30", kClock, kChinese, "shi dian 2 shi fen 3 shi miao"},
        Case{"24:59", kClock, kChinese, "2 shi 4 dian 5 shi 9 fen"},
        // Durations.
        Case{"1:30:00", kDuration, kChinese, "1 xiaoshi 3 shi fen 0 miao"},
        Case{"0:45", kDuration, kChinese, "4 shi 5 miao"},
        Case{"0:0", kDuration, kChinese, "0 miao"},
        Case{"2:00:05", kDuration, kChinese, "2 xiaoshi 5 miao"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    English, NumberReadingTable,
    testing::Values(
        Case{"1234.5", kMoney, kEnglishLanguage, "1 thousand 2 hundred and 30 4 dian 5 yuan"},
        Case{"115", kNum, kEnglishLanguage, "1 hundred and 15"},
        Case{"2000000", kNum, kEnglishLanguage, "2 million"},
        Case{"0", kNum, kEnglishLanguage, "0"}, Case{"", kMoney, kEnglishLanguage, "0 yuan"},
        Case{"3.05", kNum, kEnglishLanguage, "3 dian 0 5"},
        Case{"3.00", kNum, kEnglishLanguage, "3"},
        Case{"3.00", kMoney, kEnglishLanguage, "3 dian 0 0 yuan"},
        Case{"20", kNum, kEnglishLanguage, "20"}, Case{"21", kNum, kEnglishLanguage, "20 1"},
        Case{"1005", kNum, kEnglishLanguage, "1 thousand 5"},
        Case{"300", kNum, kEnglishLanguage, "3 hundred"},
        Case{"999999999999", kNum, kEnglishLanguage,
             "9 hundred and 90 9 billion 9 hundred and 90 9 million 9 hundred and 90 9 "
             "thousand 9 hundred and 90 9"},
        Case{" +42abc", kNum, kEnglishLanguage, "40 2"}),
    CaseName);

struct Refusal {
  const char* text;
  int32_t mode;
  int32_t language;
  NumberReadStatus status;
};

TEST(NumberReadingTest, TextsWithoutAReading) {
  const Refusal cases[] = {
      // Invalid dates and times.
      {"2024-13-01", 3, kChinese, NumberReadStatus::kInvalid},
      {"15", 3, kChinese, NumberReadStatus::kInvalid},
      {"", 3, kChinese, NumberReadStatus::kInvalid},
      {"1/2/3/4", 3, kChinese, NumberReadStatus::kInvalid},
      {"3/32", 3, kChinese, NumberReadStatus::kInvalid},
      {"25:00", 4, kChinese, NumberReadStatus::kInvalid},
      {"8:60", 4, kChinese, NumberReadStatus::kInvalid},
      {"1:2:3:4", 5, kChinese, NumberReadStatus::kInvalid},
      {"", 5, kChinese, NumberReadStatus::kInvalid},
      {"99999999999999999999999", 4, kChinese, NumberReadStatus::kInvalid},
      // No date or time in English; modes outside 0..5.
      {"20240315", 3, kEnglishLanguage, NumberReadStatus::kNoReading},
      {"8:05", 4, kEnglishLanguage, NumberReadStatus::kNoReading},
      {"8:05", 5, kEnglishLanguage, NumberReadStatus::kNoReading},
      {"12", 6, kChinese, NumberReadStatus::kNoReading},
      {"12", -1, kChinese, NumberReadStatus::kNoReading},
      // No voice says a minus sign: not fifteen for "-5".
      {"-5", 0, kChinese, NumberReadStatus::kMinusSign},
      {"-12", 0, kChinese, NumberReadStatus::kMinusSign},
      {"12-", 1, kChinese, NumberReadStatus::kMinusSign},
      {"-5", 0, kEnglishLanguage, NumberReadStatus::kMinusSign},
      {"-5", 1, kEnglishLanguage, NumberReadStatus::kMinusSign},
      // More integer digits than the units cover.
      {"1234567890123", 0, kChinese, NumberReadStatus::kTooManyDigits},
      {"12345678901234567890", 0, kChinese, NumberReadStatus::kTooManyDigits},
      {"0000000000001", 1, kChinese, NumberReadStatus::kTooManyDigits},
      {"1234567890123.5", 1, kChinese, NumberReadStatus::kTooManyDigits},
      {"1234567890123", 0, kEnglishLanguage, NumberReadStatus::kTooManyDigits},
      {"1234567890123", 1, kEnglishLanguage, NumberReadStatus::kTooManyDigits},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " mode " + std::to_string(c.mode) + " language " +
                 std::to_string(c.language));
    const NumberReading r = ReadNumber(c.text, c.mode, c.language);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(r.voices.empty());
  }
}

TEST(NumberReadingTest, LimitsOfTheUnitTable) {
  // Leading zeros do not count in number mode; in money mode they are said.
  EXPECT_EQ(Joined(ReadNumber("0001234567890", 0, kChinese).voices),
            "shi 2 yyi 3 qian 4 bai 5 shi 6 wan 7 qian 8 bai 9 shi");
  EXPECT_EQ(ReadNumber("000000000001", 1, kChinese).status, NumberReadStatus::kOk);
  // A long fraction does not hide the integer part.
  EXPECT_EQ(Joined(ReadNumber("3.14159265358979323846", 0, kChinese).voices),
            "3 dian 1 4 1 5 9 2 6 5 3 5 8 9 7 9 3 2 3 8 4 6");
  // English leading zeros are no digits of the value.
  EXPECT_EQ(Joined(ReadNumber("0000000000007", 0, kEnglishLanguage).voices), "7");
}

TEST(NumberReadingTest, VoiceNameTable) {
  const std::vector<std::pair<char, const char*>> table = {
      {'0', "0"},    {'9', "9"},   {':', "shi"},  {';', "bai"}, {'<', "qian"},
      {'=', "wan"},  {'>', "yyi"}, {'?', "yuan"}, {'@', "dian"}, {'A', "A"},
      {'Z', "Z"},    {'[', "jiao"}, {'\\', "fen"}, {']', "gu"},  {'^', "shou"},
      {'_', "li"}};
  for (const auto& [code, name] : table) EXPECT_EQ(NumberCodeVoice(code), name) << code;
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(NumberCodeVoice(c), std::string(1, c));
  for (char c : {'/', '`', 'a', ' ', '-', '\x80', '\xB5'}) EXPECT_EQ(NumberCodeVoice(c), "") << c;
}

TEST(NumberReadingTest, ChineseCodesKeepTheirPartsApart) {
  ChineseCodes c = ChineseNumberCodes("12.345");
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.integer, ":2");
  EXPECT_EQ(c.fraction, "3[4\\5_");
  c = ChineseNumberCodes("10");
  EXPECT_EQ(c.integer, "1:");  // the callers drop a "1" that begins the number
  EXPECT_EQ(ChineseNumberCodes("").integer, "0");
  EXPECT_EQ(ChineseNumberCodes("0").integer, "");
  EXPECT_EQ(ChineseNumberCodes("0.05").fraction, "5\\");
  EXPECT_EQ(ChineseNumberCodes("1.x9").fraction, "9\\");
  EXPECT_FALSE(ChineseNumberCodes("1234567890123").ok);
  // A character that is no code is passed through; it says nothing.
  EXPECT_EQ(CodeVoices("1a:-5"), (std::vector<std::string>{"1", "shi", "5"}));
}

TEST(NumberReadingTest, EnglishWords) {
  EXPECT_TRUE(EnglishNumberWords(0).empty());
  EXPECT_TRUE(EnglishNumberWords(-3).empty());
  EXPECT_EQ(Joined(EnglishNumberWords(1000000000)), "1 billion");
  EXPECT_EQ(Joined(EnglishNumberWords(1001001)), "1 million 1 thousand 1");
  EXPECT_EQ(Joined(EnglishNumberWords(110)), "1 hundred and 10");
  EXPECT_EQ(Joined(EnglishDigitWords("4x0.9")), "4 0 9");
}

}  // namespace
}  // namespace telephony
