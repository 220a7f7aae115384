// The logic of the call object base: the talk-time watchdog, the sound-card
// loop-play bookkeeping, PC play and speech through fake devices, the tone
// and raw-signalling stores, and the board call's conference line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/log.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "telephony/board/dj_base_call.h"
#include "telephony/voice/pc_voice.h"
#include "telephony/vt_call.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

// A call whose trace lines the test reads and whose key count it sets.
class TracedCall : public TagVtCall {
 public:
  void TraceLog(std::string_view text) override { traces.emplace_back(text); }
  int32_t KeysLen() override { return TagVtCall::KeysLen() + keys; }
  std::vector<std::string> traces;
  int32_t keys = 0;
};

struct PlayerLog {
  std::vector<std::string> opens;  // "file@offset/volume"
  int stops = 0;
};

class FakePlayer : public PcPlayer {
 public:
  FakePlayer(PlayerLog* log, bool failed, int plays_for)
      : log_(log), failed_(failed), left_(plays_for) {}
  void Reopen(std::string_view file, int32_t volume, int32_t offset) override {
    log_->opens.push_back(std::string(file) + "@" + std::to_string(offset) + "/" +
                          std::to_string(volume));
  }
  bool Failed() const override { return failed_; }
  void SetLoop(bool loop) override { loop_ = loop; }
  bool Finished() const override { return left_ <= 0; }
  void Stop() override {
    ++log_->stops;
    left_ = 0;
  }
  // One poll of a waiting play: the file plays on for plays_for polls.
  void Tick() { --left_; }
  bool loop_ = false;

 private:
  PlayerLog* log_;
  bool failed_;
  int left_;
};

class FakeSpeech : public PcSpeech {
 public:
  FakeSpeech(std::vector<std::string>* spoken, int32_t start_result)
      : spoken_(spoken), start_result_(start_result) {}
  int32_t Start(std::string_view text, bool from_file, bool is_xml) override {
    spoken_->push_back(std::string(text) + (from_file ? "/file" : "") + (is_xml ? "/xml" : ""));
    return start_result_;
  }
  bool Ended() override { return ++polls_ > 3; }

 private:
  std::vector<std::string>* spoken_;
  int32_t start_result_;
  int polls_ = 0;
};

class FakeDevices : public PcVoiceDevices {
 public:
  std::unique_ptr<PcPlayer> OpenPlayer(std::string_view file, int32_t volume, int32_t device,
                                       int32_t offset, int32_t /*line*/) override {
    EXPECT_EQ(device, kDefaultWaveDevice);
    log.opens.push_back(std::string(file) + "@" + std::to_string(offset) + "/" +
                        std::to_string(volume));
    auto player = std::make_unique<FakePlayer>(&log, fail, plays_for);
    last = player.get();
    return player;
  }
  std::unique_ptr<PcSpeech> NewSpeech(int32_t /*line*/) override {
    return std::make_unique<FakeSpeech>(&spoken, speech_start);
  }
  PlayerLog log;
  bool fail = false;
  int plays_for = 1000000;
  FakePlayer* last = nullptr;
  std::vector<std::string> spoken;
  int32_t speech_start = 0;
};

class VtCallTest : public ::testing::Test {
 protected:
  void SetUp() override { SetPcVoiceDevices(&devices_); }
  void TearDown() override { SetPcVoiceDevices(nullptr); }
  platform::FakeClock clock_;
  platform::ScopedClock scoped_{&clock_};
  FakeDevices devices_;
  TracedCall call_;
};

TEST_F(VtCallTest, MaxTalkTimeHangsUpAfterTheLimitWithOneTrace) {
  call_.maxTalkTime = 60;
  call_.callState = engine::kCallConnected;
  EXPECT_TRUE(call_.IsOnline());  // takes the connect time
  EXPECT_EQ(call_.connectTime.load(), CalendarSeconds());
  clock_.Advance(60'000);
  EXPECT_TRUE(call_.IsOnline());  // 60 s is not above the limit
  EXPECT_TRUE(call_.traces.empty());
  clock_.Advance(1'000);
  EXPECT_FALSE(call_.IsOnline());
  EXPECT_EQ(call_.callState.load(), engine::kCallReleased);
  clock_.Advance(5'000);
  EXPECT_FALSE(call_.IsOnline());
  EXPECT_EQ(call_.traces, std::vector<std::string>{"Hangup On MaxTalkTime(60)."});
}

TEST_F(VtCallTest, NoMaxTalkTimeNeverHangsUp) {
  call_.callState = engine::kCallConnected;
  EXPECT_TRUE(call_.IsOnline());
  clock_.Advance(10'000'000);
  EXPECT_TRUE(call_.IsOnline());
  EXPECT_TRUE(call_.traces.empty());
}

TEST_F(VtCallTest, LoopPlayKeepsItsPositionAcrossStopAndResume) {
  EXPECT_EQ(call_.ReLoopPlay(), -2);  // no loop play yet
  call_.playVolume = 70;
  ASSERT_EQ(call_.StartLoopPlay("music.wav", 0), 0);
  EXPECT_EQ(call_.loopFile, "music.wav");
  EXPECT_EQ(call_.loopPlaying, 1);
  EXPECT_EQ(call_.ReLoopPlay(), -1);  // running
  clock_.Advance(2'500);
  call_.StopPlay();
  EXPECT_EQ(call_.loopPos, 20'000);
  EXPECT_EQ(call_.loopPlaying, 0);
  EXPECT_EQ(call_.wavePlay, nullptr);
  EXPECT_EQ(call_.ReLoopPlay(), 20'000);
  EXPECT_EQ(call_.loopPlaying, 1);
  clock_.Advance(1'000);
  call_.StopPlay();
  EXPECT_EQ(call_.loopPos, 28'000);
  devices_.fail = true;
  EXPECT_EQ(call_.ReLoopPlay(), -3);
  EXPECT_EQ(call_.wavePlay, nullptr);
  EXPECT_EQ(devices_.log.opens,
            (std::vector<std::string>{"music.wav@0/70", "music.wav@20000/70",
                                      "music.wav@28000/70"}));
}

TEST_F(VtCallTest, KeysLenRestartsAFinishedLoopPlay) {
  ASSERT_EQ(call_.StartLoopPlay("music.wav", 0), 0);
  clock_.Advance(1'000);
  EXPECT_EQ(call_.KeysLen(), 0);  // still playing: nothing happens
  devices_.last->Stop();
  EXPECT_EQ(call_.KeysLen(), 0);
  // The player in place is reopened on the file from its start.
  EXPECT_EQ(devices_.log.opens, (std::vector<std::string>{"music.wav@0/100", "music.wav@0/100"}));
  EXPECT_EQ(call_.loopPos, 0);
  EXPECT_EQ(call_.loopPlaying, 1);
}

TEST_F(VtCallTest, PcPlayOpensWaitsAndBreaksOnAKey) {
  devices_.fail = true;
  EXPECT_EQ(call_.PcPlay("a.wav", 0, 1, 1), -2);
  EXPECT_EQ(call_.wavePlay, nullptr);
  EXPECT_EQ(call_.IsPcPlayEnd(), 1);

  devices_.fail = false;
  EXPECT_EQ(call_.PcPlay("loop.wav", 1, 1, 1), 0);  // loop: returns at once
  EXPECT_TRUE(devices_.last->loop_);
  EXPECT_EQ(call_.IsPcPlayEnd(), 0);

  devices_.plays_for = 0;  // a file that has already ended
  EXPECT_EQ(call_.Play("b.wav", 1, 0), 0);
  EXPECT_EQ(call_.IsPcPlayEnd(), 1);

  devices_.plays_for = 1000000;
  call_.keys = 1;
  const uint64_t slept = clock_.SleptMillis();
  EXPECT_EQ(call_.Play("c.wav", 1, 0), 0);
  EXPECT_EQ(devices_.log.stops, 1);
  EXPECT_GE(clock_.SleptMillis() - slept, 200u);

  call_.stopFlag = 1;  // a stopped line never waits
  EXPECT_EQ(call_.Play("d.wav", 0, 0), 0);
}

TEST_F(VtCallTest, TxtSpeakOnlyOnThePc) {
  ASSERT_EQ(call_.PcPlay("a.wav", 1, 0, 0), 0);
  EXPECT_EQ(call_.TxtSpeak("你好", 0, 0, 0), -1);
  EXPECT_NE(call_.wavePlay, nullptr);  // the player is not touched
  EXPECT_TRUE(devices_.spoken.empty());

  const uint64_t slept = clock_.SleptMillis();
  EXPECT_EQ(call_.TxtSpeak("t.xml", 1, 1, 1), 0);
  EXPECT_EQ(call_.wavePlay, nullptr);
  EXPECT_EQ(devices_.spoken, std::vector<std::string>{"t.xml/file/xml"});
  EXPECT_EQ(clock_.SleptMillis() - slept, 1800u + 3 * 30u);

  devices_.speech_start = -5;
  EXPECT_EQ(call_.TxtSpeak("你好", 0, 0, 1), -5);
}

TEST_F(VtCallTest, WithoutSoundDevicesPcVoiceFails) {
  SetPcVoiceDevices(nullptr);
  EXPECT_EQ(call_.PcPlay("a.wav", 0, 1, 0), -2);
  EXPECT_EQ(call_.StartLoopPlay("a.wav", 0), -2);
  EXPECT_EQ(call_.TxtSpeak("a", 0, 0, 1), -1);
}

TEST(SignalToneTest, KeysOutside250To256AreRefused) {
  TagVtCall call;
  for (int32_t key : {249, 257}) {
    TagSignalTone tone;
    tone.values[0] = key;
    EXPECT_EQ(call.SetSignalTone(tone), -1) << key;
  }
  EXPECT_TRUE(call.signalTones.empty());
  TagSignalTone tone;
  tone.values = {256, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(call.SetSignalTone(tone), 0);
  tone.values[9] = 99;
  EXPECT_EQ(call.SetSignalTone(tone), 0);  // replaces the record
  ASSERT_EQ(call.signalTones.size(), 1u);
  EXPECT_EQ(call.signalTones.at(256).values[9], 99);
  call.ClearSignalTones();
  EXPECT_TRUE(call.signalTones.empty());
}

TEST(SigRawDataTest, StoreAndTake) {
  TracedCall call;
  EXPECT_EQ(call.StoreSigRawData(std::string(301, 'x')), -2);
  EXPECT_EQ(call.sigRawSendLen, 0);
  EXPECT_EQ(call.StoreSigRawData(std::string("\x01\x2a\xff\x07", 4)), 4);
  EXPECT_EQ(call.sigRawSendLen, 4);

  std::string out = "kept";
  EXPECT_EQ(call.TakeSigRawData(out), 0);
  EXPECT_EQ(out, "kept");
  call.PutReceivedSigRawData(std::string("\0abcdefghij\xfe", 12));
  EXPECT_EQ(call.TakeSigRawData(out), 12);
  EXPECT_EQ(out, std::string("\0abcdefghij\xfe", 12));
  EXPECT_EQ(call.sigRawRecvLen + call.sigRawSendLen, 0);
  EXPECT_EQ(call.TakeSigRawData(out), 0);
  EXPECT_EQ(call.traces, std::vector<std::string>{"GetSigRawData=12"});
}

// A board line without a board: only what the base part does itself.
class BareBoardCall : public TagDjBaseCall {
 public:
  explicit BareBoardCall(int32_t line_no) : TagDjBaseCall(line_no, nullptr, kPacing) {}

 private:
  static constexpr BoardLinePacing kPacing{};
  int32_t BoardKey() override { return 0; }
  void BoardClearKeys() override {}
  int32_t BoardPlay(const std::string&, int32_t) override { return -1; }
  int32_t BoardPlayId() override { return -1; }
  int32_t BoardRecordId() override { return -1; }
  int32_t BoardRecord(const std::string&, int32_t, int32_t) override { return -1; }
  bool LineHeld() override { return false; }
  void PollBoard() override {}
  void ForgetLoop() override {}
  int32_t LinkTraceId() const override { return lineNo; }
};

TEST(DjBaseCallTest, OwnsItsConferenceLine) {
  BareBoardCall call(5);
  EXPECT_EQ(call.lineNo, 5);
  const TagConfLine& conf = call.confLine();
  EXPECT_EQ(conf.channel, 5);
  EXPECT_EQ(conf.ownerCall, &call);
  EXPECT_EQ(conf.confDrive, nullptr);
  EXPECT_EQ(conf.groupId, -1);
  EXPECT_EQ(conf.groupOwner, -1);
  EXPECT_TRUE(conf.members.empty());
  EXPECT_EQ(call.playing + call.recording, 0);
  // LinkTo keeps the base body until a line kind prepares the link.
  EXPECT_EQ(call.LinkTo(3, 1), 0);
}

// The trace goes to the log only when its level is not 0; a board call's
// error line always does. Both read "lcnt=<line>, <text>".
TEST(CallLogTest, TraceFollowsTheLogLevelAndErrorsAlwaysWrite) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir chdir(dir.path());
  const int32_t old_level = frame::GetSettings().log_level.load();
  frame::GetSettings().log_level = 0;
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>("msg_log.txt", 1 << 20, true, true));
  BareBoardCall call(3);
  call.TraceLog("quiet");
  call.ErrorLog("Play 'A.WAV' Err: -5");
  frame::GetSettings().log_level = 1;
  call.TraceLog("对方挂机");
  frame::CloseProcessLog();
  frame::GetSettings().log_level = old_level;
  const std::string log = testing_support::ReadFile("msg_log.txt").value_or("");
  EXPECT_EQ(log.find("quiet"), std::string::npos);
  EXPECT_NE(log.find("[lcnt=3, Play 'A.WAV' Err: -5]"), std::string::npos);
  EXPECT_NE(log.find("[lcnt=3, 对方挂机]"), std::string::npos);
}

}  // namespace
}  // namespace telephony
