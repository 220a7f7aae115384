// The named meeting rooms on a line kind that has room operations: a test
// line whose rooms live in a small media service shared by the lines, so
// that what the registry keeps can be held against what the media side
// was asked to do. The registry is the one the statements use.
#include "telephony/name_conf.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

constexpr int32_t kFirstSession = 100;
constexpr int32_t kFirstId = 500;

// The media side of the rooms: open sessions with their members, running
// recordings and plays. A play ends when the test says so.
struct RoomMedia {
  int32_t nextSession = kFirstSession;
  int32_t nextId = kFirstId;
  std::map<int32_t, std::set<int32_t>> open;  // session -> joined handles
  std::set<int32_t> recordings, plays, endedPlays;
  bool refuseJoin = false;
  std::vector<std::string> stopped;  // "rec 501", "play 502", "ch 503", "close 100"
};

class MeetingLine : public TagVtCall {
 public:
  MeetingLine(RoomMedia& media, int32_t line) : media_(media) {
    lineNo = line;
    mediaChannel = 70 + line;
  }
  bool IsOnline() override {
    TagVtCall::IsOnline();
    return true;
  }
  int32_t CreateConfRoom(int32_t& is_sip, int32_t& session) override {
    is_sip = 0;
    session = media_.nextSession++;
    media_.open[session];
    return 0;
  }
  int32_t JoinConfRoom(int32_t session, int32_t, int32_t) override {
    if (media_.refuseJoin || media_.open.count(session) == 0) return -1;
    media_.open[session].insert(mediaChannel);
    return 0;
  }
  int32_t ExitConfRoom(int32_t session, int32_t) override {
    media_.open[session].erase(mediaChannel);
    return 0;
  }
  int32_t CloseConfRoom(int32_t session, int32_t) override {
    media_.open.erase(session);
    media_.stopped.push_back("close " + std::to_string(session));
    return 0;
  }
  int32_t StartConfRecord(int32_t, int32_t, std::string_view, int32_t& id) override {
    media_.recordings.insert(id = media_.nextId++);
    return 0;
  }
  int32_t StopConfRecord(int32_t, int32_t, int32_t id) override { return Stop("rec", id); }
  int32_t StartConfChRecord(int32_t, std::string_view, int32_t& id) override {
    media_.recordings.insert(id = media_.nextId++);
    return 0;
  }
  int32_t StopConfChRecord(int32_t id) override { return Stop("ch", id); }
  int32_t StartConfPlay(int32_t, int32_t, std::string_view, int32_t& id) override {
    media_.plays.insert(id = media_.nextId++);
    return 0;
  }
  int32_t IsConfPlayEnd(int32_t, int32_t, int32_t id) override {
    return media_.endedPlays.count(id) != 0 ? 1 : 0;
  }
  int32_t StopConfPlay(int32_t, int32_t, int32_t id) override { return Stop("play", id); }
  void TraceLog(std::string_view) override {}

 private:
  int32_t Stop(const char* what, int32_t id) {
    media_.stopped.push_back(std::string(what) + " " + std::to_string(id));
    media_.recordings.erase(id);
    media_.plays.erase(id);
    return 0;
  }
  RoomMedia& media_;
};

class NameConfTest : public ::testing::Test {
 protected:
  NameConfTest() {
    RegisterTelephonyStatements();
    InstallNameConfCtrl(&rooms_);
  }
  ~NameConfTest() override { InstallNameConfCtrl(nullptr); }

  // Runs text once on line: the script's variables afterwards by name.
  std::map<std::string, std::string> Run(MeetingLine& line, const std::string& text,
                                         const std::vector<std::string>& names) {
    ScriptOnLine run(text + "\nreturn(0)\n", line);
    EXPECT_TRUE(run.compiled()) << run.Errors();
    run.RunHere();
    std::map<std::string, std::string> values;
    for (const std::string& name : names) values[name] = run.Text(name);
    return values;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  TagNameConfCtrl rooms_;
  RoomMedia media_;
  MeetingLine a_{media_, 1}, b_{media_, 2};
};

TEST_F(NameConfTest, TwoLinesJoiningAStringShareTheRoomKeyedInQuotes) {
  EXPECT_EQ(Run(a_, "r = JoinConf(\"sales\", 0)", {"r"})["r"], "1");
  auto b = Run(b_, "room = 0\nl = 0\nm = 0\nr = JoinConf(\"sales\", 1)\n"
                   "i = IsInConf(_lineNo, room, l)\nn = GetConfNum(\"sales\", m)\n"
                   "v = \"\" + m[1] + m[2];",
               {"r", "i", "room", "l", "n", "v"});
  const std::map<std::string, std::string> expected = {
      {"r", "2"}, {"i", "1"}, {"room", "\"sales\""}, {"l", "1"}, {"n", "2"}, {"v", "01"}};
  EXPECT_EQ(b, expected);
  // One media session holds both lines.
  ASSERT_EQ(media_.open.size(), 1u);
  EXPECT_EQ(media_.open.begin()->second, (std::set<int32_t>{71, 72}));
}

TEST_F(NameConfTest, TheIntegerSevenAndTheStringSevenAreTwoRooms) {
  auto a = Run(a_, "m = 0\nr = JoinConf(7, 0)\nn = GetConfNum(\"7\", m)\nk = GetConfNum(7, m)",
               {"r", "n", "k"});
  EXPECT_EQ(a["n"], "0");
  EXPECT_EQ(a["k"], "1");
  EXPECT_EQ(Run(b_, "r = JoinConf(\"7\", 0)", {"r"})["r"], "1");
  EXPECT_EQ(rooms_.RoomCount(), 2u);
  EXPECT_EQ(media_.open.size(), 2u);
}

TEST_F(NameConfTest, ARefusedJoinClosesTheRoomItCreated) {
  media_.refuseJoin = true;
  EXPECT_EQ(a_.JoinNameConf("\"x\"", 0), -3);
  EXPECT_EQ(rooms_.RoomCount(), 0u);
  EXPECT_TRUE(media_.open.empty());
  EXPECT_EQ(media_.stopped, std::vector<std::string>{"close 100"});
}

TEST_F(NameConfTest, TheLastExitStopsTheRoomsRecordingAndPlayAndClosesIt) {
  ASSERT_EQ(a_.JoinNameConf("r", 0), 1);
  ASSERT_EQ(b_.JoinNameConf("r", 0), 2);
  const int32_t rec = a_.RecNameConf("r", "rec.WAV");
  const int32_t play = a_.PlayNameConf("r", "p.WAV", 0);
  EXPECT_EQ(a_.RecNameConfCh("r", 2, "ch.WAV"), 0);
  const std::string ch = "ch " + std::to_string(play + 1);
  EXPECT_EQ(a_.RecNameConf("r", "again.WAV"), -2);
  // The first exit takes the member's own recording with it, nothing else.
  EXPECT_EQ(b_.ExitNameConf(), kFirstSession);
  EXPECT_EQ(media_.stopped, std::vector<std::string>{ch});
  EXPECT_EQ(b_.nameConfClosed, 0);
  EXPECT_EQ(a_.ExitNameConf(), kFirstSession);
  const std::vector<std::string> stopped = {ch, "rec " + std::to_string(rec),
                                            "play " + std::to_string(play), "close 100"};
  EXPECT_EQ(media_.stopped, stopped);
  EXPECT_EQ(a_.nameConfClosed, 1);
  EXPECT_EQ(rooms_.RoomCount(), 0u);
  EXPECT_TRUE(media_.recordings.empty() && media_.plays.empty() && media_.open.empty());
  EXPECT_EQ(a_.ExitNameConf(), 0);
}

TEST_F(NameConfTest, APlayNobodyWaitedForIsForgottenOnceItEnded) {
  ASSERT_EQ(a_.JoinNameConf("r", 0), 1);
  const int32_t first = a_.PlayNameConf("r", "p.WAV", 0);
  EXPECT_EQ(a_.PlayNameConf("r", "p.WAV", 0), -2);  // still playing
  media_.endedPlays.insert(first);
  const int32_t second = a_.PlayNameConf("r", "p.WAV", 0);
  EXPECT_GT(second, first);
  EXPECT_EQ(media_.plays, std::set<int32_t>{second});
}

TEST_F(NameConfTest, AWaitedPlayPollsUntilItEndsAndIsStopped) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  ASSERT_EQ(a_.JoinNameConf("r", 0), 1);
  // The play's end is seen at the third look; each look is 100 ms apart.
  struct EndingLine : MeetingLine {
    using MeetingLine::MeetingLine;
    int32_t IsConfPlayEnd(int32_t, int32_t, int32_t) override { return ++looks >= 3; }
    int looks = 0;
  } line(media_, 3);
  ASSERT_EQ(line.JoinNameConf("r", 0), 2);
  const int32_t id = line.PlayNameConf("r", "p.WAV", 1);
  EXPECT_EQ(line.looks, 3);
  EXPECT_EQ(clock.SleptMillis(), 200u);
  EXPECT_EQ(media_.stopped, std::vector<std::string>{"play " + std::to_string(id)});
  // The room can play again at once.
  EXPECT_GT(a_.PlayNameConf("r", "p.WAV", 0), id);
}

TEST_F(NameConfTest, AMembersRecordingReportsItsAge) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  ASSERT_EQ(a_.JoinNameConf("r", 0), 1);
  EXPECT_EQ(a_.RecNameConfCh("r", 1, ""), 0);  // none runs, none started
  EXPECT_TRUE(media_.recordings.empty());
  EXPECT_EQ(a_.RecNameConfCh("r", 1, "ch.WAV"), 0);
  clock.Advance(1234);
  EXPECT_EQ(a_.RecNameConfCh("r", 1, ""), 1234);
  // Joining again changes the member, not its running recording.
  EXPECT_EQ(a_.JoinNameConf("r", 1), 1);
  EXPECT_EQ(a_.RecNameConfCh("r", 1, ""), 1234);
  EXPECT_EQ(a_.ExitNameConf(), kFirstSession);
  EXPECT_EQ(media_.stopped.front(), "ch " + std::to_string(kFirstId));
  EXPECT_EQ(a_.RecNameConfCh("r", 2, ""), -1);
}

}  // namespace
}  // namespace telephony
