// Voice, keys and fax of an E1 channel on the simulated board, one rule at
// a time, the test acting as the far end.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <iterator>
#include <string>

#include "platform/clock.h"
#include "platform/wave_device.h"
#include "telephony/voice/wave_pc_voice.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 3000;

void Connect(TupLine& line) {
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  ASSERT_EQ(line.call().WaitRing(1), 0);
}

std::string Raw(size_t bytes, char first = 1) {
  std::string data;
  for (size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>(first + i % 90));
  return data;
}

TEST(E1MediaTest, GetKeysWithoutEndKeyReturnsAtTheMaximum) {
  TupLine line;
  Connect(line);
  ASSERT_EQ(line.far().Keys("E3", "1234", 20), "OK");
  std::string keys;
  EXPECT_EQ(line.call().GetKeys(keys, 3, 10, ""), 3);
  EXPECT_EQ(keys, "123");
  EXPECT_EQ(line.call().KeysLen(), 1);  // the fourth key stays
  EXPECT_EQ(line.call().keyBuf, "4");
}

TEST(E1MediaTest, GetKeysTimesOutWithTheKeysSoFar) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  TupLine line;
  Connect(line);
  line.call().keyBuf = "12";
  std::string keys;
  EXPECT_EQ(line.call().GetKeys(keys, 5, 3, "#"), -1);
  EXPECT_EQ(keys, "12");
  EXPECT_EQ(line.call().keyBuf, "");
}

TEST(E1MediaTest, GetKeysEndsWhenTheFarEndHangsUp) {
  TupLine line;
  Connect(line);
  ASSERT_EQ(line.far().Keys("E3", "7", 0), "OK");
  auto keys = std::async(std::launch::async, [&] {
    std::string got;
    int32_t r = line.call().GetKeys(got, 5, 10, "#");
    return std::make_pair(r, got);
  });
  ASSERT_TRUE(line.far().Wait("CHARGE", "E3", kWaitMs));
  platform::GetClock().Sleep(300);
  ASSERT_EQ(line.far().Hangup("E3"), "OK");
  auto [r, got] = keys.get();
  EXPECT_EQ(r, -1);
  EXPECT_EQ(got, "7");
}

TEST(E1MediaTest, ManyKeysAreHeldUpToTheLimit) {
  TupLine line;
  Connect(line);
  line.call().keyBuf = std::string(kKeyBufMax - 2, '1');
  ASSERT_EQ(line.far().Keys("E3", "2345", 0), "OK");
  platform::GetClock().Sleep(100);
  EXPECT_EQ(line.call().KeysLen(), static_cast<int32_t>(kKeyBufMax));
  EXPECT_EQ(line.call().keyBuf.substr(kKeyBufMax - 2), "23");
}

TEST(E1MediaTest, PlayWithKeysWaitingIsCutBeforeItStarts) {
  TupLine line;
  Connect(line);
  testing_support::WriteFile(line.File("v.raw"), Raw(4000));
  line.call().keyBuf = "5";
  EXPECT_EQ(line.call().Play(line.File("v.raw"), 1, 0), 1);
  EXPECT_FALSE(line.far().Wait("PLAY", "E3", 200).has_value());
}

TEST(E1MediaTest, PlayIsCutByAKeyAndStopped) {
  TupLine line;
  Connect(line);
  testing_support::WriteFile(line.File("long.raw"), Raw(80000));
  auto played = std::async(std::launch::async,
                           [&] { return line.call().Play(line.File("long.raw"), 1, 0); });
  ASSERT_TRUE(line.far().Wait("PLAY", "E3", kWaitMs));
  ASSERT_EQ(line.far().Keys("E3", "9", 0), "OK");
  EXPECT_EQ(played.get(), 0);
  EXPECT_TRUE(line.far().Wait("PLAYEND", "E3", kWaitMs));
  EXPECT_EQ(line.State("playing"), "0");
}

TEST(E1MediaTest, RecordStoppedByHashKeepsTheHeaderOnlyForWavNames) {
  for (const char* name : {"stop.WAV", "stop.vox"}) {
    SCOPED_TRACE(name);
    TupLine line;
    Connect(line);
    auto recorded = std::async(std::launch::async,
                               [&] { return line.call().Record(line.File(name), 10, 1); });
    ASSERT_TRUE(line.far().Wait("RECORD", "E3", kWaitMs));
    platform::GetClock().Sleep(200);
    ASSERT_EQ(line.far().Keys("E3", "#", 0), "OK");
    EXPECT_EQ(recorded.get(), 0);
    std::string file = testing_support::ReadFile(line.File(name)).value_or("");
    const bool wav = std::string(name).find(".WAV") != std::string::npos;
    EXPECT_EQ(file.substr(0, 4) == "RIFF", wav);
    EXPECT_GT(file.size(), 800u);  // at least 100 ms were recorded
    EXPECT_LT(file.size(), 30000u);
  }
}

TEST(E1MediaTest, StopPlayEndsAPlayAndARecordingRunningTogether) {
  TupLine line;
  Connect(line);
  testing_support::WriteFile(line.File("loop.raw"), Raw(80000));
  EXPECT_EQ(line.call().StartLoopPlay(line.File("loop.raw"), 0), 0);
  EXPECT_EQ(line.call().StartRecord(line.File("both.wav"), 10), 0);
  EXPECT_EQ(line.State("playing"), "1");
  EXPECT_EQ(line.State("recording"), "1");
  platform::GetClock().Sleep(100);
  line.call().StopPlay();
  EXPECT_EQ(line.State("playing"), "0");
  EXPECT_EQ(line.State("recording"), "0");
  // The pending recording was made a WAV file once the board had stopped.
  std::string file = testing_support::ReadFile(line.File("both.wav")).value_or("");
  ASSERT_GE(file.size(), 46u);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  auto byte = [&](size_t i) { return static_cast<size_t>(static_cast<uint8_t>(file[i])); };
  EXPECT_EQ(file.size() - 46, byte(42) | byte(43) << 8 | byte(44) << 16 | byte(45) << 24);
}

TEST(E1MediaTest, LoopPlayResumesWhereItStoppedAndRestartsAtItsEnd) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  TupLine line;
  TagDjTupCall& call = line.call();
  EXPECT_EQ(call.ReLoopPlay(), -2);  // never started
  // One second of voice; the loop stops 900 ms in, so its resumed play
  // ends 100 ms later and the restarted one lasts a second.
  testing_support::WriteFile(line.File("second.raw"), Raw(8000));
  EXPECT_EQ(call.StartLoopPlay(line.File("second.raw"), 0), 0);
  EXPECT_EQ(call.ReLoopPlay(), -1);  // still running
  clock.Advance(900);
  call.StopPlay();
  EXPECT_EQ(call.loopPos, 7200);  // 8 bytes a millisecond
  EXPECT_EQ(call.ReLoopPlay(), 0);
  ASSERT_TRUE(line.far().Wait("PLAYEND", "E3", kWaitMs));
  call.Pump();  // the pump starts the ended loop again from its start
  EXPECT_EQ(line.State("playing"), "1");
  call.StopPlay();
  call.confLine().groupId = 5;
  EXPECT_EQ(call.ReLoopPlay(), -3);  // not inside a conference group
  call.confLine().groupId = -1;
}

TEST(E1MediaTest, SetKeysSendsDtmfInItsTime) {
  TupLine line("DtmfDigitMs=60\n");
  Connect(line);
  EXPECT_EQ(line.call().SetKeys("123#"), 0);
  EXPECT_EQ(EventArgs(line.far().Wait("DTMF", "E3", kWaitMs)), "123#");
}

TEST(E1MediaTest, FaxIsSentAndReceivedThroughAResource) {
  TupLine line("FaxResources=1\nFaxMs=200\n");
  Connect(line);
  TagDjTupCall& call = line.call();
  call.SetFaxLocalId("0123456789012345678901234");
  EXPECT_EQ(call.faxLocalId, "01234567890123456789");
  testing_support::WriteFile(line.File("out.tif"), std::string("II*\0page", 8));
  EXPECT_EQ(call.SendFax(line.File("out.tif")), 1);
  EXPECT_EQ(call.faxId, -1);
  const std::string document("II*\0received", 12);
  testing_support::WriteFile(line.File("doc.tif"), document);
  ASSERT_EQ(line.far().Inject("E3", "doc.tif"), "OK");
  EXPECT_EQ(call.RecvFax(line.File("in.tif")), 1);
  EXPECT_EQ(testing_support::ReadFile(line.File("in.tif")), document);
  int32_t total = 0, busy = -1;
  EXPECT_EQ(call.GetFaxResource(total, busy), 0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(call.SendFax(line.File("missing.tif")), -3);
}

TEST(E1MediaTest, FaxWithoutResourcesFails) {
  TupLine line("FaxResources=0\n");
  Connect(line);
  EXPECT_EQ(line.call().SendFax(line.File("x.tif")), -1);
  EXPECT_EQ(line.call().RecvFax(line.File("x.tif")), -1);
}

// "Play on the PC" goes to the process-wide PC player, plays without
// waiting, and gives -1 whatever happened.
TEST(E1MediaTest, PlayOnThePcGoesToThePcPlayerAndGivesMinusOne) {
  TupLine line;
  testing_support::TempDir sound;
  auto devices = platform::MakePacedWaveDevices(sound.path());
  platform::ScopedWaveDevices scoped(devices.get());
  const InstalledPcVoice pc_voice;
  testing_support::WriteFile(line.File("p.WAV"), std::string(400, '\x44'));
  EXPECT_EQ(line.call().Play(line.File("p.WAV"), 1, 1), -1);
  EXPECT_EQ(line.call().Play(line.File("p.raw"), 1, 1), -1);
  const auto captured = [&] {
    return testing_support::ReadFile(sound.File("out-pc-1.wav")).value_or("");
  };
  for (int waited = 0; waited < 2000 && captured().size() < 46 + 310; waited += 10) {
    platform::GetClock().Sleep(10);
  }
  EXPECT_EQ(captured().substr(46), std::string(310, '\x44'));
  // Nothing played on the line's own player.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sound.path()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
}  // namespace telephony
