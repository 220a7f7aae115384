// The virtual line on the file wave devices: its keys are the Keys cell,
// Record stops on its time-out, a key or a failure, LinkTo finds no SIP
// line, the media bridge plays A-law silence and ends its threads; and the
// process-wide PC player of the board lines.
#include "telephony/board/vir_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "frame/monitor.h"
#include "platform/thread.h"
#include "telephony/board/vir_card.h"
#include "telephony/voice/pc_sound.h"
#include "telephony/voice/wave_pc_voice.h"
#include "tests/telephony/wave_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr int32_t kLine = 2;

class VirCallTest : public WaveFixture {
 protected:
  void SetUp() override { frame::SetProcessMonitor(&monitor_); }
  void TearDown() override { frame::SetProcessMonitor(nullptr); }

  frame::TagMonitor monitor_{4};
  TagVirCard card_{2, 0};
  std::unique_ptr<TagVtCall> call_ = card_.CreateLineCall(1, kLine);
};

TEST_F(VirCallTest, KeysAreTheKeysCell) {
  ASSERT_NE(dynamic_cast<TagVirCall*>(call_.get()), nullptr);
  EXPECT_EQ(call_->lineName, "虚拟线路1#");
  frame::SetLineKeys(kLine, "12#");
  EXPECT_EQ(call_->KeysLen(), 3);
  call_->ClearKeys();
  EXPECT_EQ(call_->KeysLen(), 0);
  EXPECT_EQ(frame::GetLineKeys(kLine), "");
}

TEST_F(VirCallTest, RecordEndsOnItsTimeOutOrAKey) {
  struct Case {
    std::string keys;
    int32_t stop_on_key;
    uint32_t min_ms, max_ms;  // the time the recording took
  };
  const Case cases[] = {{"", 0, 5000, 5100}, {"5", 0, 5000, 5100}, {"5", 1, 0, 100}};
  int n = 0;
  for (const Case& c : cases) {
    frame::SetLineKeys(kLine, c.keys);
    const std::string file = dir_.File("rec" + std::to_string(n++) + ".wav");
    const uint32_t start = clock_.TickCount();
    EXPECT_EQ(call_->Record(file, 5, c.stop_on_key), 0);
    const uint32_t took = clock_.TickCount() - start;
    EXPECT_GE(took, c.min_ms) << n;
    EXPECT_LE(took, c.max_ms) << n;
    const std::string wav = ReadFile(file).value_or("");
    ASSERT_GE(wav.size(), 48u);
    if (wav.size() > 48) {
      EXPECT_EQ(Le32At(wav, 44), wav.size() - 48) << n;
    }
  }
}

TEST_F(VirCallTest, RecordFailuresAreNotSuccesses) {
  EXPECT_EQ(call_->Record(dir_.File("missing/x.wav"), 5, 0), -2);
  RefusingDevices devices;
  platform::ScopedWaveDevices scoped(&devices);
  EXPECT_EQ(call_->Record(dir_.File("x.wav"), 5, 0), -1);
  EXPECT_EQ(call_->StartRtp(), -1);
  EXPECT_EQ(call_->EndRtp(), 0);
}

TEST_F(VirCallTest, LinkToFindsNoSipLine) {
  EXPECT_EQ(call_->LinkTo(kLine, 0), kLinkBadLine);
  EXPECT_EQ(call_->LinkTo(-1, 0), kLinkBadLine);
  EXPECT_EQ(call_->LinkTo(0, 0), kLinkNoSipLine);  // no line drive: no call found
  EXPECT_EQ(call_->UnlinkTo(0, 0), -2);
  EXPECT_EQ(call_->DisconnectMedia(), -1);
  EXPECT_EQ(call_->UnlinkAll(), 0);
}

size_t MediaThreads() {
  const std::vector<std::string> names = platform::LiveThreadNames();
  return static_cast<size_t>(std::count_if(names.begin(), names.end(), [](const std::string& n) {
    return n == "media in" || n == "media out";
  }));
}

TEST_F(VirCallTest, TheMediaBridgePlaysSilenceAndEndsItsThreads) {
  ASSERT_EQ(call_->StartRtp(), 0);
  EXPECT_EQ(static_cast<TagVirCall*>(call_.get())->mediaRunning.load(), 1);
  EXPECT_EQ(MediaThreads(), 2u);
  ASSERT_TRUE(AdvanceUntil([&] { return Captured("L2").size() >= 3 * kMediaBufferBytes; }));
  EXPECT_EQ(call_->EndRtp(), 0);
  EXPECT_EQ(MediaThreads(), 0u);
  EXPECT_EQ(call_->mediaChannel, 0);
  const std::string played = Captured("L2");
  EXPECT_EQ(played.size() % kMediaBufferBytes, 0u);
  EXPECT_EQ(played, std::string(played.size(), '\xD5'));
}

TEST_F(VirCallTest, APcPlayOfABoardLineLandsInThePcCapture) {
  const InstalledPcVoice pc_voice;
  WriteFile(dir_.File("a.WAV"), std::string(400, '\x11'));
  WriteFile(dir_.File("b.wav"), std::string(300, '\x22'));
  WriteFile(dir_.File("c.raw"), std::string(300, '\x33'));
  PlayWavOnPc(dir_.File("a.WAV"));
  ASSERT_TRUE(AdvanceUntil([&] { return Captured("pc", 1).size() == 310; }));
  PlayWavOnPc(dir_.File("c.raw"));            // not a ".WAV": nothing
  PlayWavOnPc(dir_.File("missing.wav"));      // no file: nothing
  PlayWavOnPc(dir_.File("b.wav"));            // replaces the play
  ASSERT_TRUE(AdvanceUntil([&] { return Captured("pc", 2).size() == 210; }));
  StopPcSound();
  EXPECT_EQ(Captured("pc", 1), std::string(310, '\x11'));
  EXPECT_EQ(Captured("pc", 2), std::string(210, '\x22'));
  EXPECT_FALSE(testing_support::FileExists(dir_.File("out-pc-3.wav")));
}

}  // namespace
}  // namespace telephony
