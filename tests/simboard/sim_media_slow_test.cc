// The simulated board in real time: plays, recordings, switching and
// conference mixing at 8000 bytes/s, and the sending that takes time (keys,
// DTMF, FSK, fax). Each case runs a few hundred ms of media.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/g711.h"
#include "simboard/sim_board.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

bool HasEvent(SimBoard& board, const std::string& type, const std::string& text) {
  std::vector<std::string> all = EventsOf(board, type);
  return std::find(all.begin(), all.end(), text) != all.end();
}

class MediaTest : public SimBoardTest {};

TEST_F(MediaTest, ClockKeepsTime) {
  Make("");
  ASSERT_EQ(b().CaptureStart(E(0), "cap.raw"), "");  // something to clock
  uint64_t start = b().ClockTicks();
  std::this_thread::sleep_for(milliseconds(1000));
  uint64_t ticks = b().ClockTicks() - start;
  EXPECT_GE(ticks, 47u);
  EXPECT_LE(ticks, 53u);
}

// With nothing to clock (no media, timers, far-end files, voices or fax)
// the clock rests; whatever an entry starts wakes it, also right after it
// went to rest, and the rest never cuts a play.
TEST_F(MediaTest, ClockRestsWhileTheBoardIsIdle) {
  Make("");
  std::string file = Pattern(800);
  Write("p.raw", file);
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::this_thread::sleep_for(milliseconds(100));
    const uint64_t resting = b().ClockTicks();
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(b().ClockTicks(), resting);
    ASSERT_EQ(b().CaptureStart(E(round), "cap.raw"), "");
    ASSERT_GE(b().ChannelPlay(round, Path("p.raw"), 0, -1), 0);
    const int32_t id = b().ChannelPlayId(round);
    ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(id) != 0; }));
    b().FreeVoice(id);
    ASSERT_EQ(b().CaptureStop(E(round)), "");
    EXPECT_EQ(Read("cap.raw"), file);
  }
}

TEST_F(MediaTest, CaptureOfAPlayIsTheFileFromTheOffset) {
  Make("AnalogPorts=0");
  std::string file = Pattern(1000);
  Write("p.raw", file);
  ASSERT_EQ(b().CaptureStart(E(3), "cap.raw"), "");
  std::this_thread::sleep_for(milliseconds(60));  // idle: nothing captured
  auto start = Clock::now();
  ASSERT_GE(b().ChannelPlay(3, Path("p.raw"), 200, -1), 0);
  int32_t id = b().ChannelPlayId(3);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(id) != 0; }));
  auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(80));   // 800 bytes at 8000 bytes/s
  EXPECT_LT(took, milliseconds(400));
  EXPECT_EQ(b().ChannelPlayId(3), id);  // the id stays after the end
  std::this_thread::sleep_for(milliseconds(60));
  ASSERT_EQ(b().CaptureStop(E(3)), "");
  EXPECT_EQ(Read("cap.raw"), file.substr(200));
  EXPECT_EQ(EventsOf(b(), "PLAYEND"), (std::vector<std::string>{"E3"}));

  // A play with a length; an analog port plays the same way.
  ASSERT_EQ(b().CaptureStart(A(0), "cap2.raw"), "");
  ASSERT_GE(b().PortPlay(0, Path("p.raw"), 10, 330), 0);
  int32_t port_id = b().PortPlayId(0);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(port_id) != 0; }));
  ASSERT_EQ(b().CaptureStop(A(0)), "");
  EXPECT_EQ(Read("cap2.raw"), file.substr(10, 330));
}

TEST_F(MediaTest, RecordingTakesTheInjectedBytesThenSilence) {
  Make("");
  std::string sent = Pattern(400);
  Write("in.raw", sent);
  ASSERT_EQ(b().Inject(E(0), "in.raw"), "");
  ASSERT_NE(b().ChannelRecord(0, Path("rec.raw"), 0, 1000), 0);
  int32_t id = b().ChannelRecordId(0);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(id) != 0; }));
  EXPECT_EQ(b().ChannelRecordId(0), id);  // ended, not stopped
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(Read("rec.raw"), sent + std::string(600, '\xD5'));
  b().StopChannelRecord(0);
  EXPECT_EQ(EventsOf(b(), "RECORDEND"), (std::vector<std::string>{"E0 1000"}));
}

TEST_F(MediaTest, RecordingFromAPositionKeepsTheFileBefore) {
  Make("");
  std::string old(500, 'o');
  Write("rec.raw", old);
  Write("in.raw", std::string(160, 'z'));
  ASSERT_EQ(b().Inject(E(1), "in.raw"), "");
  ASSERT_NE(b().ChannelRecord(1, Path("rec.raw"), 100, 160), 0);
  int32_t id = b().ChannelRecordId(1);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(id) != 0; }));
  b().StopChannelRecord(1);
  EXPECT_EQ(Read("rec.raw"), old.substr(0, 100) + std::string(160, 'z') + old.substr(260));
}

TEST_F(MediaTest, StopWritesEveryRecordedByte) {
  Make("");
  ASSERT_NE(b().ChannelRecord(2, Path("rec.raw"), 0, 80000), 0);
  std::this_thread::sleep_for(milliseconds(150));
  b().StopChannelRecord(2);
  std::string got = Read("rec.raw");
  std::vector<std::string> ends = EventsOf(b(), "RECORDEND");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0], "E2 " + std::to_string(got.size()));
  EXPECT_GE(got.size(), 800u);
  EXPECT_EQ(got, std::string(got.size(), '\xD5'));
}

TEST_F(MediaTest, SwitchedLinesCarryEachOthersAudio) {
  Make("AnalogPorts=0");
  std::string x = Pattern(480), y(480, 'y');
  Write("x.raw", x);
  Write("y.raw", y);
  ASSERT_EQ(b().Inject(E(0), "x.raw"), "");
  ASSERT_EQ(b().Inject(A(0), "y.raw"), "");
  ASSERT_EQ(b().CaptureStart(E(0), "c0.raw"), "");
  ASSERT_EQ(b().CaptureStart(A(0), "ca.raw"), "");
  ASSERT_NE(b().ChannelRecord(0, Path("r0.raw"), 0, 480), 0);
  ASSERT_EQ(b().LinkTrunkAndUser(0, 0), 1);
  int32_t id = b().ChannelRecordId(0);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(id) != 0; }));
  std::this_thread::sleep_for(milliseconds(40));
  ASSERT_EQ(b().ClearLinkTrunkAndUserByTrunk(0), 1);
  b().CaptureStop(E(0));
  b().CaptureStop(A(0));
  std::string c0 = Read("c0.raw"), ca = Read("ca.raw");
  // The recording started a tick before the link at most: the port hears
  // the channel's far end from where the link began.
  std::string r0 = Read("r0.raw");
  EXPECT_EQ(r0, x);
  ASSERT_GE(ca.size(), 320u);
  EXPECT_NE(x.find(ca.substr(0, 160)), std::string::npos);
  ASSERT_GE(c0.size(), 320u);
  EXPECT_EQ(c0.substr(0, 320), y.substr(0, 320));
}

TEST_F(MediaTest, ConferenceMixesTheOtherTalkersAndThePlay) {
  Make("ConfGroups=4");
  const uint8_t c0 = platform::LinearToAlaw(1000), c1 = platform::LinearToAlaw(-3000), cp = platform::LinearToAlaw(500);
  Write("t0.raw", std::string(2400, static_cast<char>(c0)));
  Write("t1.raw", std::string(2400, static_cast<char>(c1)));
  Write("play.raw", std::string(2400, static_cast<char>(cp)));
  for (int ch : {0, 1, 2}) ASSERT_EQ(b().CaptureStart(E(ch), "c" + std::to_string(ch)), "");
  ASSERT_EQ(b().Inject(E(0), "t0.raw"), "");
  ASSERT_EQ(b().Inject(E(1), "t1.raw"), "");
  ASSERT_EQ(b().ConfJoin(1, 0, 0, 2, 0, 0, 1), 0);
  ASSERT_EQ(b().ConfJoin(1, 0, 1, 2, 0, 0, 1), 0);
  ASSERT_EQ(b().ConfJoin(1, 0, 2, 1, 0, 0, 1), 0);
  ASSERT_GT(b().ConfPlay(1, Path("play.raw"), 0, -1), 0);
  int32_t rec = b().ConfRecord(1, Path("conf.raw"), 0, 1600);
  ASSERT_GT(rec, 0);
  ASSERT_TRUE(WaitUntil([&] { return b().IsVoiceEnded(rec) != 0; }));
  for (int ch : {0, 1, 2}) b().CaptureStop(E(ch));
  auto d = [](uint8_t c) { return platform::AlawToLinear(c); };
  auto most = [](const std::string& s) {
    std::array<int, 256> n{};
    for (unsigned char c : s) ++n[c];
    return static_cast<uint8_t>(std::max_element(n.begin(), n.end()) - n.begin());
  };
  EXPECT_EQ(most(Read("c0")), platform::LinearToAlaw(static_cast<int16_t>(d(c1) + d(cp))));
  EXPECT_EQ(most(Read("c1")), platform::LinearToAlaw(static_cast<int16_t>(d(c0) + d(cp))));
  EXPECT_EQ(most(Read("c2")), platform::LinearToAlaw(static_cast<int16_t>(d(c0) + d(c1) + d(cp))));
  EXPECT_EQ(most(Read("conf.raw")), platform::LinearToAlaw(static_cast<int16_t>(d(c0) + d(c1) + d(cp))));
  EXPECT_EQ(Read("conf.raw").size(), 1600u);
}

TEST_F(MediaTest, KeysArriveWithTheirGaps) {
  Make("");
  auto start = Clock::now();
  ASSERT_EQ(b().Keys(E(4), "123", 150), "");
  EXPECT_EQ(b().ChannelKey(4), '1');  // the first at once
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(b().ChannelKey(4), 0);
  ASSERT_TRUE(WaitUntil([&] { return StateOf(b(), E(4)).find("keys=2") != std::string::npos; }));
  EXPECT_GE(Clock::now() - start, milliseconds(300));
  EXPECT_EQ(b().ChannelKey(4), '2');
  EXPECT_EQ(b().ChannelKey(4), '3');
}

TEST_F(MediaTest, DtmfTakesItsTime) {
  Make("DtmfDigitMs=50");
  b().SendDtmf(1, "999");  // replaced by the next one
  b().SendDtmf(1, "1234");
  EXPECT_EQ(b().IsDtmfSent(1), 0);
  std::this_thread::sleep_for(milliseconds(120));
  EXPECT_EQ(b().IsDtmfSent(1), 0);
  ASSERT_TRUE(WaitUntil([&] { return b().IsDtmfSent(1) != 0; }, 1000));
  EXPECT_EQ(EventsOf(b(), "DTMF"), (std::vector<std::string>{"E1 1234"}));
}

TEST_F(MediaTest, FskTakesBell202Time) {
  Make("AnalogPorts=1,0");
  EXPECT_EQ(b().FskInit(1), 0);
  std::vector<uint8_t> message = {0x80, 0x0E, 0x01, 0x08, '0', '1', '0', '1',
                                  '1', '2', '3', '0', 0x02, '8', '8', 0xAB};
  EXPECT_LT(b().FskSend(0, message.data(), 16, 1), 0);  // not a phone port
  EXPECT_LT(b().FskSend(1, message.data(), 0, 1), 0);
  EXPECT_LT(b().FskSend(2, message.data(), 16, 1), 0);
  auto start = Clock::now();
  ASSERT_GE(b().FskSend(1, message.data(), 16, 1), 0);
  std::this_thread::sleep_until(start + milliseconds(400));
  EXPECT_EQ(b().FskIsSent(1, 1), 0);
  std::this_thread::sleep_until(start + milliseconds(700));
  EXPECT_NE(b().FskIsSent(1, 1), 0);
  b().FskEndSend(1, 1);
  b().FskClose();
  EXPECT_EQ(EventsOf(b(), "FSK"),
            (std::vector<std::string>{"A1 800E01083031303131323330023838AB"}));
}

TEST_F(MediaTest, FaxTransfers) {
  Make("FaxMs=100\nFaxResources=3");
  Write("doc.tif", "II*\0page");
  // Send on a connected circuit: done.
  ASSERT_EQ(b().Call(E(0), "1", "2"), "");
  b().TupSendMessage(0, 0, 6, 1);
  ASSERT_NE(b().FaxAttachChannel(0, 0), 0);
  b().FaxSetLocalId(0, "8000");
  ASSERT_GT(b().FaxStartSend(0, Path("doc.tif")), 0);
  EXPECT_EQ(b().FaxState(0), 0);
  ASSERT_TRUE(WaitUntil([&] { return b().FaxState(0) != 0; }));
  EXPECT_EQ(b().FaxState(0), 1);
  // Send while the far end has gone: failed.
  ASSERT_NE(b().FaxAttachChannel(1, 1), 0);
  ASSERT_GT(b().FaxStartSend(1, Path("doc.tif")), 0);
  ASSERT_TRUE(WaitUntil([&] { return b().FaxState(1) != 0; }));
  EXPECT_EQ(b().FaxState(1), -1);
  // Receive: the injected document, or nothing.
  Write("far.tif", std::string("II*\0far document", 16));
  ASSERT_EQ(b().Inject(E(2), "far.tif"), "");
  ASSERT_NE(b().FaxAttachChannel(2, 2), 0);
  ASSERT_GT(b().FaxStartReceive(2, Path("got.tif")), 0);
  ASSERT_TRUE(WaitUntil([&] { return b().FaxState(2) != 0; }));
  EXPECT_EQ(b().FaxState(2), 1);
  EXPECT_EQ(b().FaxReceiveResult(2), 1);
  EXPECT_EQ(Read("got.tif"), std::string("II*\0far document", 16));
  ASSERT_GT(b().FaxStartReceive(2, Path("none.tif")), 0);
  ASSERT_TRUE(WaitUntil([&] { return b().FaxState(2) != 0; }));
  EXPECT_EQ(b().FaxState(2), -2);
  b().FaxRelease(2);
  b().FaxDetach(2, 2);
  EXPECT_EQ(b().FaxFreeResource(), 2);
  EXPECT_TRUE(HasEvent(b(), "FAX", "E0 send " + Path("doc.tif") + " 1"));
  EXPECT_TRUE(HasEvent(b(), "FAX", "E1 send " + Path("doc.tif") + " -1"));
  EXPECT_TRUE(HasEvent(b(), "FAX", "E2 recv " + Path("got.tif") + " 1"));
  EXPECT_TRUE(HasEvent(b(), "FAX", "E2 recv " + Path("none.tif") + " -2"));
}

}  // namespace
}  // namespace simboard
