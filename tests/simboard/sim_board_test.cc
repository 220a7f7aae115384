// The simulated board's contract, call by call, without real-time waits.
#include "simboard/sim_board.h"

#include <gtest/gtest.h>

#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

TEST_F(SimBoardTest, CountsAndSerial) {
  Make("Trunks=2\nAnalogPorts=0,1,5\nSerialNo=777");
  EXPECT_EQ(b().OpenBoard("", "prompt.ini"), 0);
  EXPECT_EQ(b().TrunkCount(), 2);
  EXPECT_EQ(b().ChannelsOfTrunks(2), 60);
  EXPECT_EQ(b().ChannelsOfTrunks(3), 90);
  EXPECT_EQ(b().AnalogPortCount(12345), 3);
  EXPECT_EQ(b().SerialNumber(0), 777);
  EXPECT_EQ(b().PortType(0), 0);
  EXPECT_EQ(b().PortType(1), 1);
  EXPECT_EQ(b().PortType(2), 5);
  EXPECT_EQ(b().PortType(3), -1);
  EXPECT_EQ(b().PortType(-1), -1);
  b().SetAnalogParams(100, 100);
  b().InitPort(0);
  b().PumpBoard();
  b().TupPump();
}

TEST_F(SimBoardTest, OpenResultIsReturned) {
  Make("OpenResult=3\nStrict=1");
  EXPECT_EQ(b().OpenBoard("", "prompt.ini"), 3);
  b().TrunkCount();  // the board did not open
  ASSERT_EQ(b().Violations().size(), 1u);
  EXPECT_NE(b().Violations()[0].find("before the board was opened"), std::string::npos);
}

TEST_F(SimBoardTest, CloseStopsAllMedia) {
  Make("Trunks=1\nConfGroups=2");
  Write("a.raw", std::string(80000, 'a'));
  ASSERT_EQ(b().OpenBoard("", "prompt.ini"), 0);
  ASSERT_GE(b().ChannelPlay(0, Path("a.raw"), 0, -1), 0);
  ASSERT_NE(b().ChannelRecord(1, Path("r.raw"), 0, 80000), 0);
  int32_t conf = b().ConfPlay(1, Path("a.raw"), 0, -1);
  int32_t play = b().ChannelPlayId(0);
  int32_t rec = b().ChannelRecordId(1);
  b().CloseBoard();
  for (int32_t id : {play, rec, conf}) EXPECT_NE(b().IsVoiceEnded(id), 0) << id;
  EXPECT_EQ(EventsOf(b(), "PLAYEND"), (std::vector<std::string>{"E0", "G1"}));
  EXPECT_EQ(EventsOf(b(), "RECORDEND").size(), 1u);
  EXPECT_TRUE(testing_support::FileExists(Path("r.raw")));
}

// --- TUP circuits. ---

struct TupStep {
  const char* op;  // far: call hangup answer reject block unblock; system: release answer callout
  int32_t arg;
  uint8_t state;   // circuit state after the step
  bool ok;         // far-end operations: accepted
};

class TupTest : public SimBoardTest {
 protected:
  void SetUp() override { Make("Trunks=1"); }
  bool Run(const TupStep& s) {
    if (std::string(s.op) == "release") return b().TupRelease(0, 5, s.arg), true;
    if (std::string(s.op) == "answermsg") return b().TupSendMessage(0, 5, 6, s.arg), true;
    if (std::string(s.op) == "callout") return b().TupCallout(0, 5, "800", "100") == 1;
    std::string op = s.op, r;
    if (op == "call") r = b().Call(E(5), "13900000000", "8000");
    if (op == "hangup") r = b().Hangup(E(5));
    if (op == "answer") r = b().Answer(E(5));
    if (op == "reject") r = b().Reject(E(5), s.arg);
    if (op == "block") r = b().Block(E(5));
    if (op == "unblock") r = b().Unblock(E(5));
    return r.empty();
  }
};

TEST_F(TupTest, StateTransitions) {
  const std::vector<std::vector<TupStep>> sequences = {
      // Incoming call answered, released by the far end, then by the system.
      {{"call", 0, 8, true}, {"answermsg", 1, 9, true}, {"answermsg", 2, 9, true},
       {"hangup", 0, 2, true}, {"release", 1, 1, true}},
      // An offered call released by the far end before the answer.
      {{"call", 0, 8, true}, {"call", 0, 8, false}, {"hangup", 0, 2, true},
       {"hangup", 0, 2, false}, {"release", 12, 1, true}},
      // The system releases its own connected call.
      {{"call", 0, 8, true}, {"answermsg", 1, 9, true}, {"release", 14, 1, true}},
      // Answer messages on an idle circuit change nothing.
      {{"answermsg", 1, 1, true}, {"hangup", 0, 1, false}},
      // Outgoing call answered, then released.
      {{"callout", 0, 3, true}, {"callout", 0, 3, false}, {"answer", 0, 6, true},
       {"hangup", 0, 2, true}, {"release", 1, 1, true}},
      // Outgoing call rejected: state stays until the system releases.
      {{"callout", 0, 3, true}, {"reject", 5, 3, false}, {"reject", 4, 3, true},
       {"release", 1, 1, true}},
      {{"callout", 0, 3, true}, {"hangup", 0, 2, true}, {"release", 1, 1, true}},
      // Blocking an idle circuit, unblocking it.
      {{"block", 0, 5, true}, {"block", 0, 5, false}, {"call", 0, 5, false},
       {"callout", 0, 5, false}, {"release", 1, 5, true}, {"unblock", 0, 1, true},
       {"unblock", 0, 1, false}},
      // A block on a busy circuit takes effect at the system's release.
      {{"call", 0, 8, true}, {"block", 0, 8, true}, {"answermsg", 1, 9, true},
       {"release", 1, 5, true}, {"unblock", 0, 1, true}},
      // An unblock cancels a pending block.
      {{"callout", 0, 3, true}, {"block", 0, 3, true}, {"unblock", 0, 3, true},
       {"release", 1, 1, true}},
      // No answer to a call the far end did not offer.
      {{"answer", 0, 1, false}, {"reject", 3, 1, false}},
  };
  for (size_t s = 0; s < sequences.size(); ++s) {
    Make("Trunks=1");
    for (size_t i = 0; i < sequences[s].size(); ++i) {
      const TupStep& step = sequences[s][i];
      EXPECT_EQ(Run(step), step.ok) << "sequence " << s << " step " << i << " " << step.op;
      EXPECT_EQ(b().TupCircuitState(0, 5), step.state)
          << "sequence " << s << " step " << i << " " << step.op;
    }
  }
}

TEST_F(TupTest, ProgressOfAnOutgoingCall) {
  ASSERT_EQ(b().TupCallout(0, 5, "800", "100"), 1);
  EXPECT_EQ(b().TupProgress(0, 5), 0);
  for (int32_t p : {3, 4, 8}) {
    EXPECT_EQ(b().Reject(E(5), p), "");
    EXPECT_EQ(b().TupProgress(0, 5), p);
  }
  b().TupRelease(0, 5, 1);
  EXPECT_EQ(b().TupProgress(0, 5), 0);
}

TEST_F(TupTest, NumbersAreKeptCutAndCleared) {
  std::string longer(200, '7');
  ASSERT_EQ(b().Call(E(5), longer, "8000"), "");
  std::string called, calling;
  b().TupCalledNumber(0, 5, called);
  b().TupCallingNumber(0, 5, calling);
  EXPECT_EQ(called, "8000");
  EXPECT_EQ(calling, std::string(board::kTupNumberMax, '7'));
  b().TupRelease(0, 5, 1);
  b().TupCalledNumber(0, 5, called);
  EXPECT_EQ(called, "");
  ASSERT_EQ(b().TupCallout(0, 5, "95555", "8000"), 1);
  b().TupCalledNumber(0, 5, called);
  b().TupCallingNumber(0, 5, calling);
  EXPECT_EQ(called, "95555");
  EXPECT_EQ(calling, "8000");
}

TEST_F(TupTest, CircuitsOutsideTheBoard) {
  EXPECT_EQ(b().TupCircuitState(1, 0), 0);   // one trunk only
  EXPECT_EQ(b().TupCircuitState(0, 30), 0);  // 30 slots
  EXPECT_EQ(b().TupCallout(1, 0, "1", "2"), 0);
  b().TupRelease(1, 0, 1);
  b().TupSendMessage(1, 0, 6, 1);
  std::string number = "x";
  b().TupCalledNumber(1, 0, number);
  EXPECT_EQ(number, "");
  EXPECT_EQ(b().TupCircuitState(0, 29), 1);
  EXPECT_EQ(b().Call(E(30), "1", "2"), "no such E1 line");
}

TEST_F(TupTest, Events) {
  ASSERT_EQ(b().Call(E(5), "1390", "8000"), "");
  b().TupSendMessage(0, 5, 6, 1);
  b().TupSendMessage(0, 5, 4, 37);
  b().TupSendMessage(0, 5, 4, 38);
  b().TupRelease(0, 5, 12);
  b().TupCallout(0, 6, "95555", "8000");
  EXPECT_EQ(EventsOf(b(), "ANSWER"), (std::vector<std::string>{"E5 1"}));
  EXPECT_EQ(EventsOf(b(), "CHARGE"), (std::vector<std::string>{"E5 37", "E5 38"}));
  EXPECT_EQ(EventsOf(b(), "RELEASE"), (std::vector<std::string>{"E5 12"}));
  EXPECT_EQ(EventsOf(b(), "CALLOUT"), (std::vector<std::string>{"E6 95555 8000"}));
}

// --- Voices. ---

TEST_F(SimBoardTest, PlayIdsLiveUntilStoppedOrFreed) {
  Make("Trunks=1\nAnalogPorts=0");
  Write("a.raw", std::string(8000, '\x11'));
  EXPECT_LT(b().ChannelPlay(0, Path("missing.raw"), 0, -1), 0);
  EXPECT_LT(b().ChannelPlay(30, Path("a.raw"), 0, -1), 0);
  EXPECT_LT(b().ChannelPlayId(0), 0);
  EXPECT_NE(b().IsVoiceEnded(999), 0);  // unknown ids are ended

  // An offset beyond the end plays nothing and ends at once; the id stays.
  ASSERT_GE(b().ChannelPlay(0, Path("a.raw"), 9000, -1), 0);
  int32_t first = b().ChannelPlayId(0);
  EXPECT_GT(first, 0);
  EXPECT_NE(b().IsVoiceEnded(first), 0);
  EXPECT_EQ(b().ChannelPlayId(0), first);
  EXPECT_EQ(b().IsFilePlay(first), 1);
  EXPECT_EQ(b().IsIndexPlay(first), 0);

  // A new play stops the old one and gets a higher id.
  ASSERT_GE(b().ChannelPlay(0, Path("a.raw"), 0, -1), 0);
  int32_t second = b().ChannelPlayId(0);
  EXPECT_GT(second, first);
  EXPECT_EQ(b().IsVoiceEnded(second), 0);
  b().StopFilePlay(0);
  EXPECT_LT(b().ChannelPlayId(0), 0);
  EXPECT_NE(b().IsVoiceEnded(second), 0);

  // Freeing a running play ends it too; ids are shared with analog ports.
  ASSERT_GE(b().ChannelPlay(0, Path("a.raw"), 0, -1), 0);
  int32_t third = b().ChannelPlayId(0);
  b().FreeVoice(third);
  EXPECT_LT(b().ChannelPlayId(0), 0);
  EXPECT_NE(b().IsVoiceEnded(third), 0);
  ASSERT_GE(b().PortPlay(0, Path("a.raw"), 0, -1), 0);
  EXPECT_GT(b().PortPlayId(0), third);
  b().PortStopPlay(0);
  EXPECT_LT(b().PortPlayId(0), 0);

  std::vector<std::string> want = {"E0 " + Path("a.raw") + " 9000", "E0 " + Path("a.raw") + " 0",
                                   "E0 " + Path("a.raw") + " 0", "A0 " + Path("a.raw") + " 0"};
  EXPECT_EQ(EventsOf(b(), "PLAY"), want);
  EXPECT_EQ(EventsOf(b(), "PLAYEND"), (std::vector<std::string>{"E0", "E0", "E0", "A0"}));
}

TEST_F(SimBoardTest, RecordResultsAndStop) {
  Make("Trunks=1\nAnalogPorts=0");
  // 250: non-zero is success, 0 failure; 253: >= 0 success.
  EXPECT_EQ(b().ChannelRecord(0, Path("no/such/dir.raw"), 0, 8000), 0);
  EXPECT_EQ(b().ChannelRecord(99, Path("r.raw"), 0, 8000), 0);
  EXPECT_LT(b().PortRecord(0, Path("no/such/dir.raw"), 0, 8000), 0);
  EXPECT_LT(b().ChannelRecordId(0), 0);
  EXPECT_NE(b().ChannelRecord(0, Path("r.raw"), 0, 80000), 0);
  int32_t id = b().ChannelRecordId(0);
  EXPECT_GT(id, 0);
  EXPECT_EQ(b().IsVoiceEnded(id), 0);
  EXPECT_EQ(b().IsFilePlay(id), 0);
  b().StopChannelRecord(0);
  EXPECT_LT(b().ChannelRecordId(0), 0);
  EXPECT_NE(b().IsVoiceEnded(id), 0);
  EXPECT_TRUE(testing_support::FileExists(Path("r.raw")));
  EXPECT_GE(b().PortRecord(0, Path("p.raw"), 0, 80000), 0);
  EXPECT_GT(b().PortRecordId(0), id);
  b().PortStopRecord(0);
  EXPECT_EQ(EventsOf(b(), "RECORD"),
            (std::vector<std::string>{"E0 " + Path("r.raw") + " 80000",
                                      "A0 " + Path("p.raw") + " 80000"}));
  EXPECT_EQ(EventsOf(b(), "RECORDEND").size(), 2u);
}

TEST_F(SimBoardTest, KeysArriveInOrderAndClear) {
  Make("Trunks=1\nAnalogPorts=0");
  EXPECT_EQ(b().ChannelKey(0), 0);
  EXPECT_EQ(b().Keys(E(0), "12#", 0), "");
  EXPECT_EQ(b().Keys(E(0), "x", 0), "not a key: x");
  EXPECT_EQ(StateOf(b(), E(0)),
            "state=1 playing=0 recording=0 keys=3 switched=- group=-1");
  EXPECT_EQ(b().ChannelKey(0), '1');
  EXPECT_EQ(b().ChannelKey(0), '2');
  EXPECT_EQ(b().ChannelKey(0), '#');
  EXPECT_EQ(b().ChannelKey(0), 0);
  EXPECT_EQ(b().Keys(A(0), "*9", 0), "");
  b().PortClearKeys(0);
  EXPECT_EQ(b().PortKey(0), 0);
  EXPECT_EQ(b().Keys(E(0), "5", 0), "");
  b().ClearChannelKeys(0);
  EXPECT_EQ(b().ChannelKey(0), 0);
}

// --- Switching. ---

TEST_F(SimBoardTest, SwitchingLinksAndClears) {
  Make("Trunks=1\nAnalogPorts=0,0,1");
  EXPECT_EQ(b().ChannelSwitchState(0), -1);
  EXPECT_EQ(b().LinkTrunkAndTrunk(0, 0), 0);
  EXPECT_EQ(b().LinkTrunkAndTrunk(0, 30), 0);
  EXPECT_NE(b().LinkTrunkAndTrunk(0, 1), 0);
  EXPECT_EQ(b().LinkTrunkAndTrunk(0, 2), 0);  // already switched
  EXPECT_EQ(b().LinkTrunkAndUser(2, 0), 1);
  EXPECT_EQ(b().LinkTrunkAndUser(1, 1), 0);
  EXPECT_EQ(b().ChannelSwitchState(0), 1);
  EXPECT_EQ(b().ChannelSwitchState(1), 0);
  EXPECT_EQ(b().ChannelSwitchState(2), 30);  // the card index of port 0
  EXPECT_EQ(b().LinkUserAndUser(1, 2), 1);
  EXPECT_EQ(b().LinkUserAndUser(1, 2), 0);
  EXPECT_EQ(StateOf(b(), A(1)),
            "hook=0 ringing=0 connected=0 playing=0 recording=0 keys=0 switched=A2 group=-1");
  EXPECT_EQ(b().ClearLinkTrunkAndTrunk(1), 1);
  EXPECT_EQ(b().ChannelSwitchState(0), -1);
  EXPECT_EQ(b().ClearLinkTrunkAndTrunk(0), 0);
  EXPECT_EQ(b().ClearLinkTrunkAndUserByTrunk(2), 1);
  EXPECT_EQ(b().ClearLinkUserAndUser(2), 1);
  EXPECT_EQ(b().ClearLinkUserAndUser(2), 0);
  EXPECT_EQ(EventsOf(b(), "LINK"), (std::vector<std::string>{"E0 E1", "E1 E0", "E2 A0", "A0 E2",
                                                             "A1 A2", "A2 A1"}));
  EXPECT_EQ(EventsOf(b(), "UNLINK"),
            (std::vector<std::string>{"E1", "E0", "E2", "A0", "A2", "A1"}));
}

// --- Conferences. ---

uint16_t GroupCount(const board::ConfInfoRecord& r) {
  return static_cast<uint16_t>(r[board::kConfInfoGroupCountOffset] | r[board::kConfInfoGroupCountOffset + 1] << 8);
}

TEST_F(SimBoardTest, NoConferenceInterface) {
  Make("Conference=none");
  EXPECT_LT(b().ConfInitOld(), 0);
  EXPECT_LT(b().ConfInitNew(), 0);
  board::ConfInfoRecord r;
  r.fill(0xFF);
  b().ConfInfoOld(r);
  EXPECT_EQ(GroupCount(r), 0);
  b().ConfInfoNew(r);
  EXPECT_EQ(GroupCount(r), 0);
  EXPECT_LT(b().ConfJoin(0, 0, 1, 2, 0, 0, 1), 0);
  EXPECT_LT(b().ConfPlay(0, Path("x"), 0, -1), 0);
}

TEST_F(SimBoardTest, OlderConferenceInterface) {
  Make("Conference=older\nConfGroups=300\nAnalogPorts=0");
  EXPECT_EQ(b().ConfInitOld(), 0);
  EXPECT_LT(b().ConfInitNew(), 0);
  board::ConfInfoRecord r{};
  b().ConfInfoOld(r);
  EXPECT_EQ(GroupCount(r), 300);
  EXPECT_EQ(b().ConfEnter(3, 0, 0, 4, 5, 0), 0);
  EXPECT_EQ(b().ConfEnter(3, 1, 1, 0, 0, 0), 0);
  EXPECT_LT(b().ConfEnter(4, 0, 0, 4, 0, 0), 0);    // already in a group
  EXPECT_LT(b().ConfEnter(300, 0, 0, 5, 0, 0), 0);  // bad group
  EXPECT_LT(b().ConfEnter(1, 0, 2, 5, 0, 0), 0);    // bad member type
  EXPECT_LT(b().ConfEnter(1, 0, 0, 30, 0, 0), 0);   // bad channel
  EXPECT_EQ(b().ConfGroupOfOld(0, 4), 3);
  EXPECT_EQ(b().ConfGroupOfOld(0, 5), -1);
  EXPECT_EQ(b().ConfModuleFree(0), 30);
  EXPECT_EQ(b().ConfModuleFree(1), 32);
  EXPECT_EQ(b().ConfLeave(0, 4), 0);
  EXPECT_EQ(b().ConfModuleFree(0), 31);
  EXPECT_EQ(b().ConfEnter(4, 0, 0, 4, 0, 0), 0);
  b().ConfFreeOld(3);
  EXPECT_EQ(b().ConfGroupOfOld(1, 0), -1);
  EXPECT_EQ(b().ConfGroupOfOld(0, 4), 4);
  EXPECT_EQ(StateOf(b(), E(4)), "state=1 playing=0 recording=0 keys=0 switched=- group=4");
  b().ConfReleaseOld();
  EXPECT_EQ(EventsOf(b(), "CONFJOIN"),
            (std::vector<std::string>{"E4 3 talk 5", "A0 3 listen 0", "E4 4 talk 0"}));
  EXPECT_EQ(EventsOf(b(), "CONFLEAVE"), (std::vector<std::string>{"E4 3", "A0 3"}));
}

TEST_F(SimBoardTest, ModuleFreeNeverNegative) {
  Make("Conference=older");
  for (int32_t ch = 0; ch < 30; ++ch) ASSERT_EQ(b().ConfEnter(ch % 16, 0, 0, ch, 0, 0), 0);
  EXPECT_EQ(b().ConfModuleFree(0), 2);
  Make("Trunks=2\nConference=older");
  for (int32_t ch = 0; ch < 40; ++ch) ASSERT_EQ(b().ConfEnter(0, 0, 0, ch, 0, 0), 0);
  EXPECT_EQ(b().ConfModuleFree(0), 0);
}

TEST_F(SimBoardTest, NewerConferenceInterfaceAndRetry) {
  Make("ConfGroups=8\nAnalogPorts=0");
  EXPECT_LT(b().ConfInitOld(), 0);
  EXPECT_EQ(b().ConfInitNew(), 0);
  board::ConfInfoRecord r{};
  b().ConfInfoNew(r);
  EXPECT_EQ(GroupCount(r), 8);
  b().ConfSetMode(1, 0);
  EXPECT_EQ(b().ConfJoin(2, 0, 7, 2, 3, 100, 1), 0);
  EXPECT_EQ(b().ConfTalkSetup(0, 7, 0), 0);
  // Already in a group: -5; leave with flag 1 and try again.
  EXPECT_EQ(b().ConfJoin(5, 0, 7, 1, 0, 0, 1), -5);
  EXPECT_EQ(b().ConfLastResult(), -5);
  EXPECT_EQ(b().ConfExit(0, 7, 1), 0);
  EXPECT_EQ(b().ConfJoin(5, 0, 7, 1, 0, 0, 1), 0);
  EXPECT_EQ(b().ConfGroupOfNew(0, 7), 5);
  EXPECT_EQ(b().ConfGroupOfNew(0, 8), -1);
  EXPECT_LT(b().ConfJoin(8, 0, 1, 2, 0, 0, 1), 0);  // bad group
  EXPECT_LT(b().ConfJoin(1, 0, 1, 3, 0, 0, 1), 0);  // bad mode
  EXPECT_LT(b().ConfJoin(1, 1, 4, 2, 0, 0, 1), 0);  // bad port
  EXPECT_NE(b().ConfJoin(1, 1, 4, 2, 0, 0, 1), -5);
  EXPECT_LT(b().ConfExit(0, 8, 0), 0);              // not in a group
  EXPECT_EQ(b().ConfJoin(5, 1, 0, 2, 0, 0, 1), 0);
  EXPECT_EQ(b().ConfFreeNew(5), 0);
  EXPECT_EQ(b().ConfGroupOfNew(1, 0), -1);
  EXPECT_LT(b().ConfFreeNew(8), 0);
  b().ConfReleaseNew();
  EXPECT_EQ(EventsOf(b(), "CONFJOIN"),
            (std::vector<std::string>{"E7 2 talk 3", "E7 5 listen 0", "A0 5 talk 0"}));
  EXPECT_EQ(EventsOf(b(), "CONFLEAVE"), (std::vector<std::string>{"E7 2", "E7 5", "A0 5"}));
}

TEST_F(SimBoardTest, ConferenceMediaIds) {
  Make("ConfGroups=4");
  Write("a.raw", std::string(4000, '\x22'));
  EXPECT_LT(b().ConfPlay(4, Path("a.raw"), 0, -1), 0);
  EXPECT_LT(b().ConfPlay(0, Path("missing"), 0, -1), 0);
  int32_t play = b().ConfPlay(0, Path("a.raw"), 0, -1);
  int32_t rec = b().ConfRecord(0, Path("g.raw"), 0, 16000);
  EXPECT_GT(play, 0);
  EXPECT_GT(rec, play);
  EXPECT_EQ(b().IsVoiceEnded(play), 0);
  EXPECT_EQ(b().IsVoiceEnded(rec), 0);
  b().ConfStopPlay(play);
  b().ConfStopRecord(rec);
  EXPECT_NE(b().IsVoiceEnded(play), 0);
  EXPECT_NE(b().IsVoiceEnded(rec), 0);
  EXPECT_EQ(EventsOf(b(), "PLAY"), (std::vector<std::string>{"G0 " + Path("a.raw") + " 0"}));
  EXPECT_EQ(EventsOf(b(), "PLAYEND"), (std::vector<std::string>{"G0"}));
  EXPECT_EQ(EventsOf(b(), "RECORDEND").size(), 1u);
}

// --- Fax. ---

TEST_F(SimBoardTest, FaxAllocateAndAttach) {
  Make("FaxResources=2\nFaxInit=0\nAnalogPorts=0");
  EXPECT_EQ(b().FaxInit(2048), 0);
  EXPECT_EQ(b().FaxResourceCount(), 2);
  EXPECT_EQ(b().FaxFreeResource(), 0);
  EXPECT_EQ(b().FaxFreeResource(), 0);  // asking does not reserve
  EXPECT_NE(b().FaxAttachChannel(0, 3), 0);
  EXPECT_EQ(b().FaxAttachChannel(0, 4), 0);  // already attached
  EXPECT_EQ(b().FaxAttachChannel(2, 4), 0);  // no such resource
  EXPECT_EQ(b().FaxAttachChannel(1, 99), 0);
  EXPECT_EQ(b().FaxFreeResource(), 1);
  EXPECT_NE(b().FaxAttachPort(1, 0), 0);
  EXPECT_EQ(b().FaxFreeResource(), -1);
  EXPECT_EQ(b().FaxStartSend(0, Path("missing.tif")), 0);
  EXPECT_EQ(b().FaxStartSend(1, Path("missing.tif")), 0);
  b().FaxRelease(0);
  b().FaxDetach(0, 3);
  EXPECT_EQ(b().FaxFreeResource(), 0);
  Write("doc.tif", "TIFF");
  EXPECT_EQ(b().FaxStartSend(0, Path("doc.tif")), 0);  // not attached
  EXPECT_EQ(b().FaxStartReceive(0, Path("in.tif")), 0);
  b().FaxClose();
  Make("FaxInit=-7\nFaxResources=0");
  EXPECT_EQ(b().FaxInit(2048), -7);
  EXPECT_EQ(b().FaxResourceCount(), 0);
  EXPECT_EQ(b().FaxFreeResource(), -1);
}

// --- Analog ports. ---

TEST_F(SimBoardTest, PhonePortRingAndHook) {
  Make("AnalogPorts=0,1");
  EXPECT_EQ(b().PortIsOffHook(0), 0);
  EXPECT_GE(b().PortStartRing(0), 0);
  EXPECT_LT(b().PortStartRing(1), 0);  // a trunk port does not ring
  EXPECT_EQ(StateOf(b(), A(0)),
            "hook=0 ringing=1 connected=0 playing=0 recording=0 keys=0 switched=- group=-1");
  EXPECT_EQ(b().Lift(A(0)), "");
  EXPECT_NE(b().PortIsOffHook(0), 0);
  b().PortStopRing(0);  // lifting stopped the ringing already
  EXPECT_EQ(b().Drop(A(0)), "");
  EXPECT_EQ(b().PortIsOffHook(0), 0);
  b().PortStartRing(0);
  b().PortStopRing(0);
  EXPECT_EQ(b().Lift(A(1)), "not a phone port");
  EXPECT_EQ(b().Lift(A(2)), "no such analog port");
  EXPECT_EQ(b().Lift(E(0)), "no such analog port");
  EXPECT_EQ(EventsOf(b(), "RING"), (std::vector<std::string>{"A0", "A0"}));
  EXPECT_EQ(EventsOf(b(), "RINGSTOP"), (std::vector<std::string>{"A0"}));
}

TEST_F(SimBoardTest, TrunkPortDialAnswerHangup) {
  Make("AnalogPorts=0,1");
  EXPECT_EQ(b().PortDial(1, "95555"), 0);  // on hook
  EXPECT_EQ(b().PortDial(0, "95555"), 0);  // a phone port
  b().PortOffHook(1);
  EXPECT_GT(b().PortDial(1, "95555"), 0);
  EXPECT_EQ(b().PortConnected(1), 0);
  EXPECT_EQ(b().Answer(A(0)), "not a trunk port");
  EXPECT_EQ(b().Answer(A(1)), "");
  EXPECT_NE(b().PortConnected(1), 0);
  EXPECT_EQ(StateOf(b(), A(1)),
            "hook=1 ringing=0 connected=1 playing=0 recording=0 keys=0 switched=- group=-1");
  EXPECT_EQ(b().Hangup(A(1)), "");
  EXPECT_EQ(b().PortConnected(1), 0);
  EXPECT_GT(b().PortDial(1, "8"), 0);
  EXPECT_EQ(b().Answer(A(1)), "");
  b().PortOnHook(1);
  EXPECT_EQ(b().PortConnected(1), 0);
  EXPECT_EQ(b().Answer(A(1)), "no outgoing call on the port");
  EXPECT_EQ(EventsOf(b(), "CALLOUT"), (std::vector<std::string>{"A1 95555 -", "A1 8 -"}));
}

TEST_F(SimBoardTest, RejectOnATrunkPortFailsItsNextDial) {
  Make("AnalogPorts=0,1");
  EXPECT_EQ(b().Reject(A(0), 3), "not a trunk port");
  EXPECT_EQ(b().Reject(A(1), 5), "progress must be 3, 4 or 8");
  EXPECT_EQ(b().Reject(A(1), 4), "");
  b().PortOffHook(1);
  EXPECT_EQ(b().PortDial(1, "95555"), 0);  // refused once, nothing dialed
  EXPECT_GT(b().PortDial(1, "8"), 0);
  EXPECT_EQ(b().Reject(A(1), 8), "call on the port");
  EXPECT_EQ(EventsOf(b(), "CALLOUT"), (std::vector<std::string>{"A1 8 -"}));
}

TEST_F(SimBoardTest, FarEndRefusals) {
  Make("AnalogPorts=0");
  EXPECT_EQ(b().Inject(E(0), "missing.raw"), "cannot open file");
  EXPECT_EQ(b().Keys(E(99), "1", 0), "no such line");
  EXPECT_EQ(b().CaptureStop(E(0)), "no capture on the line");
  EXPECT_EQ(b().CaptureStart(E(0), "no/such/dir/c.raw"), "cannot open file");
  EXPECT_EQ(b().Reject(E(0), 3), "no outgoing call on the circuit");
  EXPECT_EQ(b().Unblock(E(0)), "circuit not blocked");
  EXPECT_EQ(b().Hangup(A(0)), "not a trunk port");
  std::string fields;
  EXPECT_EQ(b().State(A(1), fields), "no such line");
}

// --- Journal and strict mode. ---

TEST_F(SimBoardTest, JournalRecordsEveryCall) {
  Make("Trunks=1");
  b().OpenBoard("", "prompt.ini");
  b().SerialNumber(0);
  b().TupOpen();
  b().TupCircuitState(0, 3);
  b().ChannelPlay(2, "nofile", 0, -1);
  b().FskInit(1);
  EXPECT_EQ(b().JournalOrdinals(),
            (std::vector<std::string>{"e1:1", "e1:280", "tup:9", "tup:1", "e1:249", "fsk:1"}));
  std::vector<JournalEntry> j = b().Journal();
  ASSERT_EQ(j.size(), 6u);
  EXPECT_EQ(j[0].role, "OpenBoard");
  EXPECT_EQ(j[0].args, "\"\", \"prompt.ini\"");
  EXPECT_EQ(j[0].result, "0");
  EXPECT_EQ(j[1].result, "20061101");
  EXPECT_EQ(j[2].result, "-");
  EXPECT_EQ(j[3].args, "0, 3");
  EXPECT_EQ(j[3].result, "1");
  EXPECT_EQ(j[4].args, "2, \"nofile\", 0, -1");
  EXPECT_EQ(j[4].result, "-1");
  EXPECT_EQ(j[4].thread, std::this_thread::get_id());
  b().ClearJournal();
  EXPECT_TRUE(b().JournalOrdinals().empty());
}

TEST_F(SimBoardTest, JournalIsBounded) {
  Make("Journal=2");
  b().TrunkCount();
  b().SerialNumber(0);
  b().PumpBoard();
  EXPECT_EQ(b().JournalOrdinals(), (std::vector<std::string>{"e1:280", "e1:3"}));
  Make("Journal=0");
  b().TrunkCount();
  EXPECT_TRUE(b().Journal().empty());
}

TEST_F(SimBoardTest, StrictModeNeedsNoJournal) {
  Make("Journal=0\nTrunks=1\nStrict=1");
  board::BoardLock lock;
  b().WatchLock(&lock);
  b().TupCircuitState(0, 1);  // before the open
  ASSERT_EQ(b().OpenBoard("", "prompt.ini"), 0);
  b().TupOpen();
  EXPECT_EQ(b().TupCircuitState(0, 1), kTupIdle);  // without the lock
  {
    std::lock_guard<board::BoardLock> hold(lock);
    EXPECT_EQ(b().TupCircuitState(0, 1), kTupIdle);
  }
  EXPECT_EQ(b().Violations(),
            (std::vector<std::string>{"tup:1 TupCircuitState called before the board was opened",
                                      "tup:1 TupCircuitState called without the board lock"}));
  EXPECT_TRUE(b().Journal().empty());
  b().WatchLock(nullptr);
}

TEST(BoardLockTest, RecursiveAndKnowsItsHolder) {
  board::BoardLock lock;
  auto taken_elsewhere = [&lock] {
    bool taken = false;
    std::thread other([&] {
      EXPECT_FALSE(lock.HeldByCurrentThread());
      taken = lock.try_lock();
      if (taken) lock.unlock();
    });
    other.join();
    return taken;
  };
  EXPECT_FALSE(lock.HeldByCurrentThread());
  lock.lock();
  ASSERT_TRUE(lock.try_lock());  // again on the holding thread
  lock.lock();
  EXPECT_TRUE(lock.HeldByCurrentThread());
  lock.unlock();
  lock.unlock();
  EXPECT_TRUE(lock.HeldByCurrentThread());  // still held once
  EXPECT_FALSE(taken_elsewhere());
  lock.unlock();
  EXPECT_FALSE(lock.HeldByCurrentThread());
  EXPECT_TRUE(taken_elsewhere());
}

TEST_F(SimBoardTest, StrictModeFollowsTheDrivesCallingRules) {
  Make("Trunks=1\nAnalogPorts=0");
  b().SetStrict(true);
  board::BoardLock lock;
  b().WatchLock(&lock);
  b().TrunkCount();                          // 1: before the open
  ASSERT_EQ(b().OpenBoard("", "prompt.ini"), 0);
  b().SerialNumber(0);                       // opening: no lock needed
  {
    std::lock_guard<board::BoardLock> hold(lock);
    b().FaxInit(2048);
  }
  b().TupOpen();
  b().ChannelKey(0);                         // 2: without the lock
  {
    std::lock_guard<board::BoardLock> hold(lock);
    b().ChannelKey(0);
    Write("a.raw", std::string(100, 'a'));
    b().ChannelPlay(0, Path("a.raw"), 0, -1);
    int32_t id = b().ChannelPlayId(0);
    b().StopFilePlay(0);
    b().FreeVoice(id);
    b().IsVoiceEnded(id);                    // 3: a freed id used again
  }
  std::thread other([&] { b().ChannelKey(0); });  // 4: another thread, lock held here
  {
    std::lock_guard<board::BoardLock> hold(lock);
    other.join();
  }
  b().TupClose();                            // closing: no lock needed
  b().FskClose();
  b().FaxClose();
  b().ConfReleaseNew();
  b().ConfReleaseOld();
  b().PortIsOffHook(0);
  b().CloseBoard();
  b().TrunkCount();                          // 5: after the close
  std::vector<std::string> v = b().Violations();
  ASSERT_EQ(v.size(), 5u) << testing::PrintToString(v);
  EXPECT_NE(v[0].find("e1:273 TrunkCount called before the board was opened"), std::string::npos);
  EXPECT_NE(v[1].find("e1:259 ChannelKey called without the board lock"), std::string::npos);
  EXPECT_NE(v[2].find("freed voice id"), std::string::npos);
  EXPECT_NE(v[3].find("without the board lock"), std::string::npos);
  EXPECT_NE(v[4].find("after the board was closed"), std::string::npos);
  // No lock watched: the lock is not checked.
  Make("Strict=1");
  b().OpenBoard("", "prompt.ini");
  b().TupOpen();
  b().ChannelKey(0);
  EXPECT_TRUE(b().Violations().empty());
}

}  // namespace
}  // namespace simboard
