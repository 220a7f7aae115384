// The line drive in real time: thirty E1 lines handed out one after the
// other, LOAD_DELAY/4 + 55 ms apart, each compiling and running its script.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "telephony/tel_drive.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kLines = 30;
constexpr int kLoadDelayMs = 100;

TEST(TelDriveSlowTest, ThirtyE1LinesLoadStaggeredAndRun) {
  DriveFolder f("Trunks=1\n", RunCfgText("0-29=wait.vts\n", kLoadDelayMs));
  f.WriteScript("wait.vts", "k = \"\"\nWaitRing(1)\nGetKeys(k, 1, 30)\nHangup()\n");
  TagTelDrive& drive = f.MakeDrive();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  const auto handed_out = std::chrono::steady_clock::now() - start;
  const auto pause = std::chrono::milliseconds(kLoadDelayMs / 4 + kLoadPauseExtraMs);
  EXPECT_GE(handed_out, kLines * pause);
  EXPECT_LT(handed_out, kLines * pause + std::chrono::seconds(3));
  for (int line = 0; line < kLines; ++line) {
    EXPECT_TRUE(f.WaitRunning(line, 5000)) << line;
  }
  EXPECT_EQ(LoadedLineCount(), kLines);
  // The loads began one after the other, in line order.
  const std::string log = f.Log();
  size_t at = 0;
  for (int line = 0; line < kLines; ++line) {
    const size_t next = log.find("\n", log.find(std::to_string(line) + " Loading...]", at));
    ASSERT_NE(next, std::string::npos) << line;
    at = next;
  }
  const auto stop = std::chrono::steady_clock::now();
  f.DeleteDrive();
  EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(2));
}

}  // namespace
}  // namespace telephony
