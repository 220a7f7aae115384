// tools/make_voclib.py from Debian data: the pinyin table names every
// GB2312 character, and a two-clip library speaks "你好" into a WAV file
// that sox reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/pipe_process.h"
#include "telephony/voice/syllable_lib.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

const std::string kTool = std::string(VTTEL_SOURCE_DIR) + "/tools/make_voclib.py";

class VocLibToolTest : public VoiceScratchTest {};

TEST_F(VocLibToolTest, TheTableNamesEveryGb2312Character) {
  ASSERT_EQ(platform::RunProcess({"python3", kTool, "--out", "t", "--no-clips"}, "", nullptr)
                .exit_status, 0);
  const std::string lib = testing_support::ReadFile("t/VtVocLib.dat").value_or("");
  ASSERT_GT(lib.size(), kVocLibHeaderBytes);
  const std::string table = lib.substr(kVocLibHeaderBytes);
  int named = 0;
  for (int lead = 0xB0; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead == 0xD7 && trail >= 0xFA) continue;  // not assigned in GB2312
      const size_t at = static_cast<size_t>(((lead - 0xB0) * 94 + trail - 0xA1) * 10);
      ASSERT_LE(at + kPinyinNameBytes, table.size());
      const std::string name = table.substr(at, kPinyinNameBytes).c_str();
      const bool shaped = name.size() >= 2 && name.back() >= '1' && name.back() <= '5' &&
                          name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == name.size() - 1;
      EXPECT_TRUE(shaped) << std::hex << lead << trail << " '" << name << "'";
      named += shaped;
    }
  }
  // Rows 0xB0..0xD7 are 3,755 characters, 0xD8..0xF7 3,008.
  EXPECT_EQ(named, 6763);
}

TEST_F(VocLibToolTest, ATwoClipLibrarySpeaksIntoAWavThatSoxReads) {
  ASSERT_EQ(platform::RunProcess({"python3", kTool, "--out", "lib", "--only", "NI2,HAO3"}, "",
                                 nullptr).exit_status, 0);
  CGetHypy hypy;
  ASSERT_EQ(hypy.LoadVocLib("lib"), 0);
  EXPECT_EQ(hypy.TextToVocFile("你好", "o.wav"), 2);
  std::string info;
  EXPECT_EQ(platform::RunProcess({kSox, "--i", "o.wav"}, "", &info).exit_status, 0);
  EXPECT_NE(info.find("8000"), std::string::npos) << info;
  EXPECT_NE(info.find("A-law"), std::string::npos) << info;
}

}  // namespace
}  // namespace telephony
