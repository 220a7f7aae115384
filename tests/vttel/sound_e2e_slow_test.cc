// The program with two virtual lines on the file sound device: line 0
// plays a prompt, records from its input file and takes the keys that
// line 1's script types into its Keys cell.
#include <string>

#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

uint32_t Le32At(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
         static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

std::string Pattern(size_t n, int step) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i * step + 1));
  return s;
}

TEST_F(VttelTest, VirtualLinesPlayRecordAndTakeKeysOnTheFileSoundDevice) {
  TempDir sound;
  ScopedEnv sound_env("VTTEL_SOUND", "file:" + sound.path());
  const std::string prompt = Pattern(1290, 7), ok = Pattern(490, 5), input = Pattern(40000, 3);
  WriteFile(home_.File("prompt.raw"), prompt);
  WriteFile(home_.File("ok.raw"), ok);
  WriteFile(sound.File("in-L0.raw"), input);
  WriteFile(home_.File("v.vts"),
            "Play(\"" + home_.File("prompt.raw") + "\")\n"
            "SetBreak(0)\n"
            "Record(\"" + home_.File("rec.wav") + "\", 2)\n"
            "key = \"\"\n"
            "GetKeys(key, 5, 20)\n"
            "if(key == \"42\")\n{\n  Play(\"" + home_.File("ok.raw") + "\")\n}\n"
            "Sleep(120)\n");
  WriteFile(home_.File("w.vts"), "PcSetKeys(0, \"42#\")\nSleep(120)\n");
  WriteProgramFolder("VIR_LINES_NUM=2\n0=v.vts\n1=w.vts\n", "MONITOR_MAX_CONN=0\n", 0);
  ASSERT_TRUE(Start());
  const auto captured = [&](const std::string& name) {
    const std::string file = ReadFile(sound.File(name)).value_or("");
    return file.size() >= 46 ? file.substr(46) : std::string();
  };
  ASSERT_TRUE(WaitFor([&] { return captured("out-L0-2.wav").size() == ok.size() - 90; }, 90000))
      << MainLog();
  EXPECT_EQ(captured("out-L0-1.wav"), prompt.substr(0, prompt.size() - 90));
  EXPECT_EQ(captured("out-L0-2.wav"), ok.substr(0, ok.size() - 90));
  const std::string wav = ReadFile(home_.File("rec.wav")).value_or("");
  ASSERT_GT(wav.size(), 48u);
  const uint32_t recorded = Le32At(wav, 44);
  EXPECT_EQ(recorded, wav.size() - 48);
  EXPECT_NEAR(recorded, 32000.0, 4000.0);  // 2 s of 16-bit voice, stopped by a 30 ms poll
  EXPECT_EQ(wav.substr(48), input.substr(0, recorded));
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
}

}  // namespace
}  // namespace vttel_test
