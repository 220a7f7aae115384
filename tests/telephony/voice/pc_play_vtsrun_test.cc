// "PcPlay(" through the real vtsrun, whose virtual line plays on the file
// sound device: mode -1 returns while the voice plays, mode 0 returns when
// it has played, mode 5 repeats it until "Stop(".
#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr size_t kCaptureHeader = 46;

std::string Captured(const TempDir& dir, int n) {
  const std::string file =
      ReadFile(dir.File("out-L0-" + std::to_string(n) + ".wav")).value_or("");
  return file.size() >= kCaptureHeader ? file.substr(kCaptureHeader) : "";
}

TEST(PcPlayVtsrun, ModesPlayOnceWaitOrRepeat) {
  TempDir dir;
  std::string voice;
  for (int i = 0; i < 1290; ++i) voice.push_back(static_cast<char>(i * 11 + 3));
  WriteFile(dir.File("v.raw"), voice);  // 1,200 bytes play: 150 ms
  WriteFile(dir.File("long.raw"), std::string(16090, '\x55'));  // 2 s
  WriteFile(dir.File("s.vts"),
            "SetPrintTo(\"\")\ne = 0\n"
            "r = PcPlay(\"long.raw\", -1)\nPrint(r)\nIsPcPlayEnd(e)\nPrint(e)\n"
            "r = PcPlay(\"v.raw\", 0)\nPrint(r)\nIsPcPlayEnd(e)\nPrint(e)\n"
            "r = PcPlay(\"v.raw\", 5)\nPrint(r)\nSleep(0.6)\nIsPcPlayEnd(e)\nPrint(e)\n"
            "Stop()\nIsPcPlayEnd(e)\nPrint(e)\nreturn(0)\n");
  testing_support::ScopedEnv sound("VTTEL_SOUND", "file:" + dir.path());
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir.path(), {"s.vts"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "0 : 0\n0 : 0\n0 : 0\n0 : 1\n0 : 0\n0 : 0\n0 : 1\n");
  const std::string once = voice.substr(0, 1200);
  EXPECT_LT(Captured(dir, 1).size(), 16000u);  // cut by the next play
  EXPECT_EQ(Captured(dir, 2), once);
  const std::string looped = Captured(dir, 3);
  EXPECT_GE(looped.size(), 2 * once.size());
  for (size_t at = 0; at < looped.size(); at += once.size()) {
    EXPECT_EQ(looped.substr(at, once.size()), once.substr(0, looped.size() - at)) << at;
  }
}

}  // namespace
