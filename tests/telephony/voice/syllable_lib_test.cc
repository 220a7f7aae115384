// The syllable voice library on small fixture libraries: the walk of GB text
// into syllable names, the voice files made from the clips, and loading.
#include "telephony/voice/syllable_lib.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/telephony/voc_lib_fixture.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

using Names = std::vector<std::string>;

class SyllableLibTest : public VoiceScratchTest {
 protected:
  SyllableLibTest() {
    lib_.Reading("重", "ZHONG4").Reading("庆", "QING4").Reading("银", "YIN2").Reading("行", "XING2")
        .Reading("你", "NI3").Reading("好", "HAO3");
    lib_.Clip("CHONG2", 300).Clip("QING4", 200).Clip("mute", 100).Clip("3", 50).Clip("5", 60)
        .Clip("DIAN3", 70).Clip("NI2", 80).Clip("HAO3", 90);
    std::filesystem::create_directory("lib");
    lib_.WriteTo("lib");
  }

  Names Walk(const std::string& text) {
    Names names;
    const int32_t count = hypy_.TextToSyllables(text, &names);
    EXPECT_EQ(count, static_cast<int32_t>(names.size()));
    return names;
  }

  VocLibBuilder lib_;
  CGetHypy hypy_;
};

TEST_F(SyllableLibTest, TextsGiveTheirSyllables) {
  ASSERT_EQ(hypy_.LoadVocLib("lib"), 0);
  const struct {
    std::string text;
    Names names;
  } kCases[] = {
      {"重庆", {"CHONG2", "QING4"}},
      {"银行", {"YIN2", "HANG2"}},
      {"行", {"XING2"}},  // a flag-0 word never matches at the start
      {"3.5", {"3", "DIAN3", "5"}},
      {"-5", {"FU4", "5"}},
      {"3-5", {"3", "JIAN3", "5"}},
      {"+5", {"ZHENG4", "5"}},
      {"3+5", {"3", "JIA1", "5"}},
      {"a..b", {"A", "mute", "B"}},
      {"Hi!", {"H", "I", "mute", "mute"}},
      {"x;y", {"X", "mute", "Y"}},
      {"，", {"mute"}},
      {"。", {"mute", "mute"}},
      {"１Ａｚ", {"1", "A", "Z"}},
      {"\xA2\xC5", {"1"}},  // the circled digits
      {"※", {"mute"}},       // any other symbol of rows 0xA1..0xAF
      {"%&", {}},
      {"镕", {}},  // GBK outside GB2312: no syllable, not a letter
      {"丄", {}},
      {"\xB0\x31", {"1"}},  // a half before a digit is dropped
      {"5\xC4", {"5"}},     // a half at the end gives nothing
  };
  for (const auto& c : kCases) EXPECT_EQ(Walk(c.text), c.names) << c.text;
}

TEST_F(SyllableLibTest, OnlyTheFirst2048BytesSpeak) {
  ASSERT_EQ(hypy_.LoadVocLib("lib"), 0);
  EXPECT_EQ(Walk(std::string(3000, '7')).size(), kMaxSpeechTextBytes);
}

TEST_F(SyllableLibTest, VoiceFilesHoldTheClipsInOrder) {
  ASSERT_EQ(hypy_.LoadVocLib("lib"), 0);
  EXPECT_EQ(hypy_.TextToVocFile("重庆。", "h.Wav"), 4);
  const std::string clips = lib_.ClipOf("CHONG2") + lib_.ClipOf("QING4") + lib_.ClipOf("mute") +
                            lib_.ClipOf("mute");
  EXPECT_EQ(testing_support::ReadFile("h.Wav"), clips);  // no header but for ".wav" / ".WAV"

  EXPECT_EQ(hypy_.TextToVocFile("你好Q", "x.wav"), 3);  // Q has no clip and counts
  const std::string wav = testing_support::ReadFile("x.wav").value();
  const std::string data = lib_.ClipOf("NI2") + lib_.ClipOf("HAO3");
  ASSERT_EQ(wav.size(), 46 + data.size());
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32At(wav, 4), data.size() + 38);
  EXPECT_EQ(Le16At(wav, 20), 6);
  EXPECT_EQ(Le32At(wav, 24), 8000u);
  EXPECT_EQ(wav.substr(38, 4), "data");
  EXPECT_EQ(Le32At(wav, 42), data.size());
  EXPECT_EQ(wav.substr(46), data);

  EXPECT_EQ(hypy_.TextToVocFile("%%", "none.wav"), kVocNoSpeech);
  EXPECT_FALSE(testing_support::FileExists("none.wav"));
  EXPECT_EQ(hypy_.TextToVocFile("3", "nodir\\x.wav"), kVocNoSpeech);
}

TEST_F(SyllableLibTest, LongClipsAreCutAndClipsPastTheEndGiveWhatExists) {
  VocLibBuilder lib;
  lib.Clip("7", kMaxClipBytes + 500).Clip("8", 40);
  std::string bytes = lib.Bytes();
  // The second clip claims 40 bytes; only 25 exist (the table is the clips).
  bytes.resize(bytes.size() - 15);
  bytes.replace(8, 4, VocLibBuilder::U32(0));
  std::filesystem::create_directory("cut");
  testing_support::WriteFile("cut/VtVocLib.dat", bytes);
  ASSERT_EQ(hypy_.LoadVocLib("cut\\"), 0);
  EXPECT_EQ(hypy_.TextToVocFile("78", "o.raw"), 2);
  EXPECT_EQ(testing_support::ReadFile("o.raw"),
            lib.ClipOf("7").substr(0, kMaxClipBytes) + lib.ClipOf("8").substr(0, 25));
}

TEST_F(SyllableLibTest, LoadsOnceAndRetriesAfterAFailure) {
  EXPECT_EQ(Walk("3"), Names{});  // not loaded: nothing
  EXPECT_EQ(hypy_.TextToVocFile("3", "o.wav"), kVocNoSpeech);
  EXPECT_EQ(hypy_.LoadVocLib("missing"), kVocLibNotLoaded);
  EXPECT_FALSE(hypy_.loaded());
  ASSERT_EQ(hypy_.LoadVocLib("lib"), 0);
  // Another library elsewhere changes nothing.
  VocLibBuilder other;
  other.Clip("3", 5);
  std::filesystem::create_directory("other");
  other.WriteTo("other");
  EXPECT_EQ(hypy_.LoadVocLib("other"), 0);
  EXPECT_EQ(hypy_.TextToVocFile("3", "o.raw"), 1);
  EXPECT_EQ(testing_support::ReadFile("o.raw"), lib_.ClipOf("3"));
}

TEST_F(SyllableLibTest, LibrariesReachingBeyondTheirEndAreRefused) {
  const std::string good = lib_.Bytes();
  auto with_u32 = [&](size_t at, uint32_t v) {
    std::string b = good;
    b.replace(at, 4, VocLibBuilder::U32(v));
    return b;
  };
  const struct {
    const char* what;
    std::string bytes;
  } kCases[] = {
      {"short header", good.substr(0, 10)},
      {"entries beyond the end", with_u32(0, 0x10000000)},
      {"entries wrapping 32 bits", with_u32(0, 0x10000001)},
      {"clip base beyond the end", with_u32(4, static_cast<uint32_t>(good.size() + 1))},
      {"table beyond the end", with_u32(8, 0xFFFFFF00)},
  };
  std::filesystem::create_directory("bad");
  for (const auto& c : kCases) {
    testing_support::WriteFile("bad/VtVocLib.dat", c.bytes);
    CGetHypy hypy;
    EXPECT_EQ(hypy.LoadVocLib("bad"), kVocLibNotLoaded) << c.what;
  }
  EXPECT_NE(Log().find("refused"), std::string::npos);
}

}  // namespace
}  // namespace telephony
