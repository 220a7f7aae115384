// The board drive on the simulated board: "Card.ini", the open and close
// sequences read back from the board's journal, line names, the clamped
// tables, the rate-limited pump, fax resources and conference groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "telephony/board/card_options.h"
#include "telephony/board/dj_tup_call.h"
#include "telephony/board/dj_tup_drive.h"
#include "tests/telephony/board_drive_fixture.h"

namespace telephony {
namespace {

using Ordinals = std::vector<std::string>;

Ordinals Concat(std::initializer_list<Ordinals> parts) {
  Ordinals all;
  for (const Ordinals& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// --- "Card.ini" ---

struct CardIniCase {
  std::optional<std::string> text;  // none: no file
  uint8_t conf;
  uint8_t fax;
};

TEST(CardOptionsTest, ReadsSwitchesAsTheConfigurationReaderDoes) {
  const CardIniCase cases[] = {
      {std::nullopt, 1, 1},
      {"conf = no\nFax=0\n", 0, 0},
      {"CONF=maybe\nFAX=false\n", 1, 0},
      {"[Board]\nc o n f\t= N O\n\nfax\n", 0, 1},
      {"FAX=NO\nFAX=yes\n", 1, 1},
      {"CONF=TRUE=1\n", 1, 1},  // the value is everything after the first "="
      // A line longer than 79 characters is read as two; the second piece
      // is a line of its own.
      {std::string(79, 'x') + "CONF=0\n", 0, 1},
  };
  for (const CardIniCase& c : cases) {
    testing_support::TempDir dir;
    testing_support::ScopedChdir chdir(dir.path());
    if (c.text) testing_support::WriteFile(kCardOptionsFile, *c.text);
    CardOptions options = ReadCardOptions();
    EXPECT_EQ(options.conf, c.conf) << c.text.value_or("(none)");
    EXPECT_EQ(options.fax, c.fax) << c.text.value_or("(none)");
  }
}

// --- Open and close sequences ---

const Ordinals kOpenBoard = {"e1:1", "e1:280", "e1:273", "e1:25", "e1:78", "e1:348"};
const Ordinals kFaxInit = {"e1:172", "e1:175"};
const Ordinals kConfNewer = {"e1:288", "e1:364", "e1:366", "e1:407"};
const Ordinals kConfOlder = {"e1:288", "e1:290"};
const Ordinals kOpenTail = {"fsk:1", "tup:9"};

struct SequenceCase {
  const char* name;
  const char* sim_ini;
  const char* card_ini;
  Ordinals open;
  Ordinals close;
  int32_t conf_count;
  int32_t fax_count;
};

TEST(BoardDriveTest, OpensAndClosesInTheFixedOrder) {
  const SequenceCase cases[] = {
      {"defaults", "", "", Concat({kOpenBoard, kFaxInit, kConfNewer, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:365", "e1:2"}, 64, 4},
      {"older conference", "Conference=older\nConfGroups=32\n", "",
       Concat({kOpenBoard, kFaxInit, kConfOlder, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:289", "e1:2"}, 32, 4},
      {"no conference on the board", "Conference=none\n", "",
       Concat({kOpenBoard, kFaxInit, kConfNewer, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:2"}, 0, 4},
      {"CONF off", "", "CONF=no\n", Concat({kOpenBoard, kFaxInit, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:2"}, 0, 4},
      {"FAX off", "", "FAX=0\n", Concat({kOpenBoard, kConfNewer, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:365", "e1:2"}, 64, 0},
      {"fax init fails", "FaxInit=-3\n", "CONF=0\n", Concat({kOpenBoard, {"e1:172"}, kOpenTail}),
       {"tup:10", "fsk:7", "e1:173", "e1:2"}, 0, 0},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    BoardFolder folder(std::string(c.sim_ini) + "Strict=1\n", c.card_ini);
    Ordinals open, close;
    {
      TagDjTupDrive drive(folder.board());
      EXPECT_EQ(drive.status, 0);
      EXPECT_EQ(drive.telCount, 30);
      EXPECT_EQ(drive.e1Count, 30);
      EXPECT_EQ(drive.confCount, c.conf_count);
      EXPECT_EQ(drive.faxCount, c.fax_count);
      open = folder.board().JournalOrdinals();
      folder.board().ClearJournal();
    }
    close = folder.board().JournalOrdinals();
    EXPECT_EQ(open, c.open);
    EXPECT_EQ(close, c.close);
    EXPECT_EQ(folder.board().Violations(), std::vector<std::string>());
    EXPECT_EQ(CardSerialNo(), "20061101");
  }
}

TEST(BoardDriveTest, FailingBoardOpenShowsTheMessageAndLeavesNoLines) {
  BoardFolder folder("OpenResult=3\nStrict=1\n");
  {
    TagDjTupDrive drive(folder.board());
    EXPECT_EQ(drive.status, -1);
    EXPECT_EQ(drive.telCount, 0);
  }
  ASSERT_EQ(folder.messages().size(), 1u);
  EXPECT_EQ(folder.messages()[0].text, "初始化东进数字卡不成功, 返回值: 3!");
  EXPECT_EQ(folder.messages()[0].caption, "Vantorel系统");
  EXPECT_EQ(folder.messages()[0].icon, platform::MessageIcon::kError);
  EXPECT_EQ(folder.board().JournalOrdinals(),
            (Ordinals{"e1:1", "tup:9", "tup:10", "fsk:7", "e1:173", "e1:2"}));
  // The drive's opening and closing calls are its own to make unopened.
  EXPECT_EQ(folder.board().Violations(), std::vector<std::string>());
}

TEST(BoardDriveTest, BoardWithoutE1ChannelsIsNotUsed) {
  BoardFolder folder("Trunks=0\nAnalogPorts=0\n");
  TagDjTupDrive drive(folder.board());
  EXPECT_EQ(drive.status, -1);
  EXPECT_EQ(drive.telCount, 0);
  EXPECT_TRUE(folder.messages().empty());
  // No analog port is opened either.
  Ordinals journal = folder.board().JournalOrdinals();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "e1:78"), 0);
}

// --- Names and tables ---

TEST(BoardDriveTest, NamesLinesByCardIndex) {
  BoardFolder folder("Trunks=2\nAnalogPorts=0,1,5\n");
  TagDjDigitDrive drive(folder.board());
  ASSERT_EQ(drive.status, 0);
  ASSERT_EQ(drive.telCount, 63);
  std::string name;
  const std::pair<int32_t, const char*> names[] = {
      {0, "E1:00"}, {7, "E1:07"}, {59, "E1:59"}, {60, "A_IN:60"}, {61, "A_EX:61"}, {62, "A_UN:62"}};
  for (const auto& [index, expected] : names) {
    EXPECT_EQ(drive.CreateLineName(index, name), 0);
    EXPECT_EQ(name, expected);
  }
  for (int32_t outside : {-1, 63}) {
    name = "x";
    EXPECT_EQ(drive.CreateLineName(outside, name), -1);
    EXPECT_EQ(name, "");
  }
  // Phone ports go off hook (79), trunk ports on hook (80); every port is
  // initialised after the types are known.
  Ordinals journal = folder.board().JournalOrdinals();
  Ordinals ports(std::find(journal.begin(), journal.end(), "e1:348") + 1,
                 std::find(journal.begin(), journal.end(), "e1:172"));
  EXPECT_EQ(ports, (Ordinals{"e1:316", "e1:79", "e1:316", "e1:80", "e1:316", "e1:88", "e1:88",
                             "e1:88"}));
}

TEST(BoardDriveTest, ClampsCountsToItsTables) {
  std::string ports = "AnalogPorts=1";
  for (int i = 1; i < 256; ++i) ports += ",1";
  BoardFolder folder(ports + "\nConfGroups=600\n");
  TagDjDigitDrive drive(folder.board());
  EXPECT_EQ(drive.analogCount, kMaxAnalogPorts);
  EXPECT_EQ(drive.telCount, 30 + kMaxAnalogPorts);
  EXPECT_EQ(drive.confCount, kMaxConfGroups);
  std::string name;
  EXPECT_EQ(drive.CreateLineName(30 + kMaxAnalogPorts - 1, name), 0);
  EXPECT_EQ(name, "A_EX:229");
}

TEST(BoardDriveTest, PumpsTheBoardAtMostEvery200Ms) {
  platform::FakeClock clock(10000);
  platform::ScopedClock use(&clock);
  BoardFolder folder("");
  TagDjTupDrive drive(folder.board());
  folder.board().ClearJournal();
  auto pumps = [&] {
    Ordinals journal = folder.board().JournalOrdinals();
    return std::count(journal.begin(), journal.end(), "e1:3");
  };
  drive.PumpBoard();
  EXPECT_EQ(pumps(), 1);
  clock.Advance(150);
  drive.PumpBoard();
  clock.Advance(50);
  drive.PumpBoard();  // exactly 200 ms: not yet
  EXPECT_EQ(pumps(), 1);
  clock.Advance(1);
  drive.PumpBoard();
  EXPECT_EQ(pumps(), 2);
}

TEST(BoardDriveTest, MakesTheCallOfEachE1Line) {
  BoardFolder folder("");
  TagDjTupDrive drive(folder.board());
  std::unique_ptr<TagVtCall> call = drive.CreateLineCall(12);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->lineName, "E1:12");
  EXPECT_EQ(call->lineNo, 12);
  EXPECT_EQ(call->lineKind, engine::kLineE1);
  EXPECT_EQ(static_cast<TagVtCall*>(drive.calls.at(12)), call.get());
  EXPECT_EQ(drive.CreateLineCall(30), nullptr);
  EXPECT_EQ(drive.CreateLineCall(-1), nullptr);
  call.reset();  // a call leaves the drive's table with its line
  EXPECT_EQ(drive.calls.at(12), nullptr);
}

// --- Fax resources ---

TEST(BoardDriveTest, FaxResourcesAreTakenAttachedAndFreed) {
  BoardFolder folder("FaxResources=2\nStrict=1\n");
  TagDjTupDrive drive(folder.board());
  int32_t total = 0, busy = 0;
  EXPECT_EQ(drive.AcquireFax(3), 0);
  EXPECT_EQ(drive.AcquireFax(4), 1);
  EXPECT_EQ(drive.AcquireFax(5), -1);
  EXPECT_EQ(drive.FaxResources(total, busy), 2);
  EXPECT_EQ(total, 2);
  drive.ReleaseFax(0, 3);
  EXPECT_EQ(drive.FaxResources(total, busy), 1);
  EXPECT_EQ(drive.AcquireFax(5), 0);
  EXPECT_EQ(folder.board().Violations(), std::vector<std::string>());
}

TEST(BoardDriveTest, NoFaxResourcesWhenTheOptionIsOff) {
  BoardFolder folder("FaxResources=2\n", "FAX=NO\n");
  TagDjTupDrive drive(folder.board());
  EXPECT_EQ(drive.AcquireFax(3), -1);
  int32_t total = -1, busy = -1;
  EXPECT_EQ(drive.FaxResources(total, busy), 0);
  EXPECT_EQ(total, 0);
}

// --- Conference groups ---

TEST(BoardDriveTest, NewerInterfaceAllocationWrapsToTheLowestFreeGroup) {
  BoardFolder folder("Conference=newer\nConfGroups=64\n");
  TagDjTupDrive drive(folder.board());
  ASSERT_EQ(drive.newConfApi, 1);
  for (int32_t g = 1; g < 64; ++g) ASSERT_EQ(drive.AllocGroup(), g);  // after lastConfId 0
  EXPECT_EQ(drive.AllocGroup(), 0);
  EXPECT_EQ(drive.AllocGroup(), -1);
  drive.FreeGroup(5);
  drive.FreeGroup(9);
  EXPECT_EQ(drive.AllocGroup(), 5);
  EXPECT_EQ(drive.AllocGroup(), 9);
  drive.FreeGroup(64);  // outside: nothing
  drive.FreeGroup(-1);
}

TEST(BoardDriveTest, NewerInterfaceRejoinsAMemberThatIsStillInAGroup) {
  BoardFolder folder("Conference=newer\nStrict=1\n");
  TagDjTupDrive drive(folder.board());
  int32_t first = drive.AllocGroup(), second = drive.AllocGroup();
  ASSERT_EQ(drive.JoinGroup(first, 7, false), 0);
  folder.board().ClearJournal();
  // Line 7 is still in the first group: -5, it leaves, the join is retried.
  EXPECT_EQ(drive.JoinGroup(second, 7, true), 0);
  EXPECT_EQ(folder.board().JournalOrdinals(),
            (Ordinals{"e1:370", "e1:408", "e1:371", "e1:370", "e1:408"}));
  EXPECT_EQ(drive.LeaveGroup(first, 7), -1);  // no longer there
  EXPECT_EQ(drive.LeaveGroup(second, 7), 0);
  EXPECT_EQ(drive.JoinGroup(first, 30, false), -1);  // outside the card
  EXPECT_EQ(folder.board().Violations(), std::vector<std::string>());
}

TEST(BoardDriveTest, OlderInterfaceAllocatesInModulesAndJoins) {
  BoardFolder folder("Conference=older\nConfGroups=32\n");
  TagDjTupDrive drive(folder.board());
  ASSERT_EQ(drive.newConfApi, 0);
  int32_t group = drive.AllocGroup();
  EXPECT_EQ(group, 0);
  EXPECT_EQ(drive.AllocGroup(), 1);
  EXPECT_EQ(drive.JoinGroup(group, 3, false), 0);
  EXPECT_EQ(drive.JoinGroup(group, 4, true), 0);
  EXPECT_EQ(drive.LeaveGroup(group, 3), 0);
  EXPECT_NE(folder.Log().find("DJConf_EnterConf(0, 1, 0, 4, 0): 0"), std::string::npos);
  drive.FreeGroup(group);
  EXPECT_EQ(drive.confBusy[0], 0);
}

TEST(BoardDriveTest, MemberGainAtTheDefaultVolumeFollowsTheInterface) {
  const std::pair<const char*, int32_t> cases[] = {{"Conference=newer\n", -8},
                                                   {"Conference=older\n", 0}};
  for (const auto& [ini, gain] : cases) {
    BoardFolder folder(ini);
    TagDjTupDrive drive(folder.board());
    EXPECT_EQ(drive.MemberGain(0), gain) << ini;
  }
}

}  // namespace
}  // namespace telephony
