// The paced file device on the real clock: voice takes its play time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/wave_device.h"
#include "tests/test_support.h"

namespace platform {
namespace {

TEST(PacedWaveSlow, SixteenThousandAlawBytesTakeTwoSeconds) {
  testing_support::TempDir dir;
  auto devices = MakePacedWaveDevices(dir.path());
  WaveNoticeQueue queue;
  std::unique_ptr<WaveOut> out;
  ASSERT_EQ(devices->OpenOut(kWaveDefaultDevice, AlawVoiceFormat(), "L0", &queue, &out), kWaveOk);
  ASSERT_EQ(queue.Wait().kind, WaveNoticeKind::kOpened);
  const std::string voice(16000, '\x5A');
  constexpr uint32_t kBuffer = 2048;
  const auto start = std::chrono::steady_clock::now();
  for (uint32_t at = 0; at < voice.size(); at += kBuffer) {
    const auto n = std::min<uint32_t>(kBuffer, static_cast<uint32_t>(voice.size()) - at);
    ASSERT_EQ(out->Write(reinterpret_cast<const uint8_t*>(voice.data()) + at, n, at), kWaveOk);
    ASSERT_EQ(queue.Wait().kind, WaveNoticeKind::kDone);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NEAR(ms, 2000.0, 40.0);
  out.reset();
  EXPECT_EQ(testing_support::ReadFile(dir.File("out-L0-1.wav")).value_or("").substr(46), voice);
}

}  // namespace
}  // namespace platform
