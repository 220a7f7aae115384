// E1 calls with TUP signalling on the simulated board, the test acting as
// the far end through the board's control socket: incoming calls answered
// with their charge and answer messages, plays heard at the far end, keys
// pressed there, recordings of what it sends, releases both ways, outgoing
// calls answered, rejected, blocked and unanswered.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

// A WAV fixture: a 46-byte A-law header and `bytes` samples counting up.
std::string AlawWav(size_t bytes) {
  std::string data;
  for (size_t i = 0; i < bytes; ++i) data.push_back(static_cast<char>(i * 7 + 1));
  auto u32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  return "RIFF" + u32(static_cast<uint32_t>(bytes + 38)) + "WAVEfmt " + u32(18) + u16(6) + u16(1) +
         u32(8000) + u32(8000) + u16(1) + u16(8) + u16(0) + "data" +
         u32(static_cast<uint32_t>(bytes)) + data;
}

TEST(TupCallTest, IncomingCallFromRingToHangup) {
  TupLine line;
  TagDjTupCall& call = line.call();
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  EXPECT_EQ(call.WaitRing(1), 0);
  EXPECT_EQ(call.callState.load(), engine::kCallConnected);
  EXPECT_EQ(call.callingNo, "13900000000");
  EXPECT_EQ(call.calledNo, "8001");
  auto charge = line.far().Wait("CHARGE", "E3", 2000);
  auto answer = line.far().Wait("ANSWER", "E3", 2000);
  EXPECT_EQ(EventArgs(charge), "37");
  EXPECT_EQ(EventArgs(answer), "1");
  EXPECT_LT(EventSeq(charge), EventSeq(answer));
  EXPECT_EQ(line.State("state"), "9");

  // A play of a WAV name holding ".WAV" starts 200 bytes into the file; the
  // board gets the upper-cased name, which still finds the file.
  const std::string wav = AlawWav(1800);
  testing_support::WriteFile(line.File("hello.WAV"), wav);
  ASSERT_EQ(line.far().CaptureStart("E3", "heard.raw"), "OK");
  EXPECT_EQ(call.Play("hello.WAV", 0, 0), 1);
  ASSERT_EQ(line.far().CaptureStop("E3"), "OK");
  EXPECT_EQ(testing_support::ReadFile(line.File("heard.raw")).value_or(""), wav.substr(200));

  // Keys: "#" ends the input unkept, the rest waits for the next GetKeys.
  ASSERT_EQ(line.far().Keys("E3", "12#34", 20), "OK");
  std::string keys;
  EXPECT_EQ(call.GetKeys(keys, 4, 10, "#"), 2);
  EXPECT_EQ(keys, "12");
  EXPECT_EQ(call.GetKeys(keys, 2, 10, ""), 2);
  EXPECT_EQ(keys, "34");

  // A recording holds what the far end sends, then its silence, as a
  // 46-byte-header A-law WAV file.
  std::string sent;
  for (int i = 0; i < 800; ++i) sent.push_back(static_cast<char>(0x10 + i % 100));
  testing_support::WriteFile(line.File("far.raw"), sent);
  ASSERT_EQ(line.far().Inject("E3", "far.raw"), "OK");
  EXPECT_EQ(call.Record(line.File("rec.wav"), 1, 0), 1);
  std::string recorded = testing_support::ReadFile(line.File("rec.wav")).value_or("");
  ASSERT_EQ(recorded.size(), 46u + kRecordBytesPerSecond);
  EXPECT_EQ(recorded.substr(0, 4), "RIFF");
  EXPECT_EQ(recorded.substr(46, 800), sent);
  EXPECT_EQ(recorded.substr(846), std::string(kRecordBytesPerSecond - 800, '\xD5'));
  EXPECT_FALSE(testing_support::FileExists(line.File("rec._wa")));

  call.Hangup();
  EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "12");
  EXPECT_EQ(call.callState.load(), engine::kCallReleased);
  EXPECT_EQ(line.State("state"), "1");
  EXPECT_EQ(line.folder().board().Violations(), std::vector<std::string>());
}

TEST(TupCallTest, FarEndReleaseEndsTheCall) {
  TupLine line;
  TagDjTupCall& call = line.call();
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  ASSERT_EQ(call.WaitRing(1), 0);
  EXPECT_TRUE(call.IsOnline());
  ASSERT_EQ(line.far().Hangup("E3"), "OK");
  EXPECT_FALSE(call.IsOnline());
  EXPECT_EQ(call.callState.load(), engine::kCallReleased);
  EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "1");
  EXPECT_EQ(line.State("state"), "1");
}

// An idle line reads its circuit once a poll; its pauses are the 180 ms
// period (the first one shortened to meet the lines' common instant, never
// longer).
TEST(TupCallTest, WaitRingPollsOncePerPeriodUntilACallComes) {
  TupLine line("ChangeWait=0\n");  // a board without the wait for changes
  platform::FakeClock clock(1000);
  platform::ScopedClock use(&clock);
  simboard::SimBoard& board = line.folder().board();
  board.ClearJournal();
  auto ring = std::async(std::launch::async, [&] { return line.call().WaitRing(1); });
  while (clock.SleepCalls() < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(board.Call(*simboard::Address::Parse("E3"), "13900000000", "8001"), "");
  ASSERT_EQ(ring.get(), 0);
  EXPECT_EQ(line.call().callState.load(), engine::kCallConnected);
  const uint64_t pauses = clock.SleepCalls();
  EXPECT_LE(clock.SleptMillis(), pauses * 180);
  EXPECT_GT(clock.SleptMillis(), (pauses - 1) * 180);
  uint64_t reads = 0;
  for (const simboard::JournalEntry& e : board.Journal()) {
    if (e.Ordinal() == "tup:1" && e.args == "0, 3") ++reads;
  }
  // Every poll reads the circuit; ClearKeys before and after the wait reads
  // it once each.
  EXPECT_EQ(reads, pauses + 1 + 2);
  EXPECT_EQ(board.Violations(), std::vector<std::string>());
}

TEST(TupCallTest, StopEndsWaitRingWithinAPoll) {
  TupLine line;
  auto ring = std::async(std::launch::async, [&] { return line.call().WaitRing(1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto stopped = std::chrono::steady_clock::now();
  line.call().RaiseStop();
  ASSERT_EQ(ring.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(ring.get(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(1000));
}

TEST(TupCallTest, OfferedCallIsReportedAndChargedOnce) {
  TupLine line;
  TagDjTupCall& call = line.call();
  std::string calling, called;
  EXPECT_EQ(call.IsRinging(calling, called), 0);
  ASSERT_EQ(line.far().Call("E3", "13900000000", "8001"), "OK");
  EXPECT_EQ(call.IsRinging(calling, called), 1);
  EXPECT_EQ(calling, "13900000000");
  EXPECT_EQ(called, "8001");
  EXPECT_EQ(call.SetCharge(0), 0);
  EXPECT_EQ(call.SetCharge(0), 0);
  EXPECT_EQ(EventArgs(line.far().Wait("CHARGE", "E3", 1000)), "38");
  EXPECT_FALSE(line.far().Wait("CHARGE", "E3", 300).has_value());
  EXPECT_EQ(call.WaitRing(0), -1);
  EXPECT_EQ(call.IsRings(0), 0);
}

TEST(TupCallTest, OutgoingCallConnectsOnAnswerAndFailsOnReject) {
  for (int32_t progress : {0, 3, 4, 8}) {
    SCOPED_TRACE(progress);
    TupLine line;
    TagDjTupCall& call = line.call();
    call.callerId = "80012345678901234567890";
    auto result = std::async(std::launch::async, [&] { return call.OutCall("13900000000"); });
    EXPECT_EQ(EventArgs(line.far().Wait("CALLOUT", "E3", 3000)),
              "13900000000 80012345678901234567");
    ASSERT_EQ(progress == 0 ? line.far().Answer("E3") : line.far().Reject("E3", progress), "OK");
    if (progress == 0) {
      EXPECT_EQ(result.get(), 0);
      EXPECT_EQ(call.callState.load(), engine::kCallConnected);
    } else {
      EXPECT_EQ(result.get(), -3);
      EXPECT_EQ(call.callState.load(), engine::kCallFailed);
    }
    call.Hangup();
    EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "14");
  }
}

TEST(TupCallTest, BlockedCircuitAndUnansweredCallGiveUpInTime) {
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  {
    TupLine line;
    ASSERT_EQ(line.far().Block("E3"), "OK");
    const uint32_t start = clock.TickCount();
    EXPECT_EQ(line.call().Dial("13900000000"), -1);
    EXPECT_GT(clock.TickCount() - start, 40000u);
    EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "14");
    EXPECT_EQ(line.call().blocked.load(), 1);
  }
  {
    TupLine line;
    EXPECT_EQ(line.call().OutCall("13900000000"), -2);
    EXPECT_EQ(line.call().callState.load(), engine::kCallReleased);
    EXPECT_EQ(EventArgs(line.far().Wait("RELEASE", "E3", 2000)), "14");
  }
}

}  // namespace
}  // namespace telephony
