// The sound-card player, recorder and media bridge with their notification
// and device threads at work: many lines at once, stops and reopens that
// cross the refills, one new ".VOX" converted once for ten lines.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "telephony/board/vir_call.h"
#include "telephony/voice/wave_convert.h"
#include "telephony/voice/wave_play.h"
#include "telephony/voice/wave_record.h"
#include "tests/telephony/wave_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i * 13 + 1));
  return s;
}

TEST(WaveConcurrency, LinesReopenStopAndRecordAtOnce) {
  TempDir dir;
  auto devices = platform::MakePacedWaveDevices("");  // null devices, real clock
  platform::ScopedWaveDevices scoped(devices.get());
  WriteFile(dir.File("short"), Pattern(300));  // 210 bytes play: 26 ms
  constexpr int kLines = 8, kRounds = 15;
  std::vector<std::thread> lines;
  for (int line = 0; line < kLines; ++line) {
    lines.emplace_back([&, line] {
      const std::string tag = "L" + std::to_string(line);
      TagWavePlay player(dir.File("short"), 100, line % 2 == 0 ? -1 : 0, 0, tag);
      EXPECT_EQ(player.status(), kWavePlayOk);
      TagWaveRecord recorder(dir.File(tag + ".wav"), line % 2 == 0 ? -1 : 0, tag);
      for (int round = 0; round < kRounds; ++round) {
        player.SetLoop(round % 3 == 0);
        player.Reopen(dir.File("short"), 50 + round, round);
        EXPECT_EQ(player.status(), kWavePlayOk);
        EXPECT_EQ(recorder.Start(), kRecordStarted);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4 * 5));
        player.Stop();
        EXPECT_TRUE(player.Finished());
        recorder.Stop();
        EXPECT_TRUE(recorder.IsFinished());
      }
    });
  }
  for (std::thread& t : lines) t.join();
}

TEST(WaveConcurrency, TheMediaBridgeStartsAndEndsWhileBuffersMove) {
  auto devices = platform::MakePacedWaveDevices("");
  platform::ScopedWaveDevices scoped(devices.get());
  TagVirCall call(3, nullptr);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(call.StartRtp(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a few 40 ms buffers
    EXPECT_EQ(call.EndRtp(), 0);
  }
}

class VoxConcurrencyTest : public WaveFixture {
 protected:
  void SetUp() override {
    vox_ = dir_.File("x.VOX");
    WriteFile(vox_, Pattern(4000));
    ASSERT_EQ(ConvertVoxToWav(vox_, dir_.File("expected.wav")), kConvertDone);
    expected_ = ReadFile(dir_.File("expected.wav")).value();
  }
  std::string vox_, expected_;
};

TEST_F(VoxConcurrencyTest, TenLinesPlayingOneNewVoxConvertItOnce) {
  constexpr int kLines = 10;
  std::vector<std::unique_ptr<TagWavePlay>> players(kLines);
  std::vector<std::thread> threads;
  for (int i = 0; i < kLines; ++i) {
    threads.emplace_back([&, i] {
      players[i] = std::make_unique<TagWavePlay>(vox_, 100, platform::kWaveDefaultDevice, 0,
                                                 "L" + std::to_string(i));
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kLines; ++i) {
    ASSERT_EQ(players[i]->status(), kWavePlayOk) << i;
    ASSERT_TRUE(AdvanceUntil([&] { return players[i]->Finished(); })) << i;
  }
  players.clear();
  EXPECT_EQ(ReadFile(vox_ + ".wav"), expected_);
  for (int i = 0; i < kLines; ++i) {
    EXPECT_EQ(Captured("L" + std::to_string(i)), expected_.substr(46)) << i;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
  }
}

}  // namespace
}  // namespace telephony
