// The link and meeting-room statements, compiled from script files and run
// on a call object that records what it is asked (what each statement
// passes and what it stores), then on the line kinds of the system, whose
// calls have no room operations.
#include "telephony/statements/link_statements.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"
#include "telephony/board/vir_call.h"
#include "telephony/name_conf.h"
#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/analog_lines_fixture.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

constexpr int32_t kLine = 4;
constexpr int32_t kSession = 11;
constexpr int32_t kMediaId = 21;
constexpr int32_t kHandle = 33;

// The registry installed for one case.
class InstalledRooms {
 public:
  InstalledRooms() { InstallNameConfCtrl(&rooms); }
  ~InstalledRooms() { InstallNameConfCtrl(nullptr); }
  TagNameConfCtrl rooms;
};

// The script text run once (a main script starts again at its end).
std::string Once(std::string_view text) { return std::string(text) + "\nreturn(0)\n"; }

class LinkStatementsTest : public ::testing::Test {
 protected:
  LinkStatementsTest() { RegisterTelephonyStatements(); }
  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
};

TEST(LinkStatementsRegistration, EveryLinkKeywordHasItsStatement) {
  RegisterLinkStatements();
  RegisterLinkStatements();  // a second call changes nothing
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kLinkConference),
            std::vector<int>{});
}

struct StatementCase {
  const char* label;
  const char* text;  // r takes the statement's result
  int32_t callResult;
  std::vector<std::string> ops;
  int32_t r;
  // variables afterwards (the run gives its maps back at its end: the
  // scripts copy the elements into texts)
  std::vector<std::pair<const char*, const char*>> values;
};

TEST_F(LinkStatementsTest, EachStatementPassesItsArgumentsAndStoresItsResults) {
  const char* const kJoin[] = {"CreateConfRoom()", "JoinConfRoom(11,0,0)"};
  const std::vector<StatementCase> cases = {
      {"LinkTo( converts both integers", "r = LinkTo(\"3\", 1.7)", 5, {"LinkTo(3,1)"}, 5, {}},
      {"ListenTo(", "r = ListenTo(4, \"0\")", -2, {"ListenTo(4,0)"}, -2, {}},
      {"UnlinkTo(", "r = UnlinkTo(7, 2)", -1, {"UnlinkTo(7,2)"}, -1, {}},
      {"UnlinkAll(", "r = UnlinkAll()", 0, {"UnlinkAll()"}, 0, {}},
      {"GetLinkList( into fresh variables",
       "a = 0\nb = 0\nc = 0\nr = GetLinkList(a, b, c)\nva = \"\" + a[0] + a[1] + a[2];\n"
       "vb = \"\" + b[0] + b[1] + b[2];\nvc = \"\" + c[0] + c[1] + c[2];",
       0, {"GetLinkList()"}, 2, {{"va", "379"}, {"vb", "001"}, {"vc", "105"}}},
      {"GetLinkList( keeps the other keys of a map",
       "a[9] = 99\na[1] = 5\nb = 0\nc = 0\nr = GetLinkList(a, b, c)\n"
       "va = \"\" + a[9] + \",\" + a[0] + a[1] + a[2];",
       0, {"GetLinkList()"}, 2, {{"va", "99,379"}}},
      {"JoinConf( on a string room", "r = JoinConf(\"sales\", 0)", 0,
       {kJoin[0], kJoin[1]}, 1, {}},
      {"IsInConf( for a talking member: the quoted key",
       "room = 0\nl = 0\nJoinConf(\"sales\", 0)\nr = IsInConf(\"4\", room, l)", 0,
       {kJoin[0], kJoin[1]}, 1,
       {{"room", "\"sales\""}, {"l", "0"}}},
      {"IsInConf( for a listening member: the integer key",
       "room = 0\nl = 0\nJoinConf(7, 1)\nr = IsInConf(4, room, l)", 0,
       {kJoin[0], "JoinConfRoom(11,0,1)"}, 1,
       {{"room", "7"}, {"l", "1"}}},
      {"IsInConf( for a line in no room", "room = \"x\"\nl = 5\nr = IsInConf(9, room, l)", 0,
       {}, 0, {{"room", ""}, {"l", "0"}}},
      {"GetConfNum( fills a map; the integer 7 is another room",
       "k = 0\nJoinConf(\"7\", 1)\nm[9] = 1\nr = GetConfNum(\"7\", m)\n"
       "n = GetConfNum(7, k)\nvm = \"\" + m[4] + m[9];",
       0, {kJoin[0], "JoinConfRoom(11,0,1)"}, 1, {{"n", "0"}, {"k", "0"}, {"vm", "11"}}},
      {"GetConfNum( into a read-only value",
       "const k = 3\nJoinConf(\"a\", 0)\nr = GetConfNum(\"a\", k)", 0, {kJoin[0], kJoin[1]}, 1,
       {{"k", "3"}}},
      {"ExitConf( of the last member closes the room",
       "m = 0\nJoinConf(\"a\", 0)\nr = ExitConf()\nn = GetConfNum(\"a\", m)", 0,
       {kJoin[0], kJoin[1], "ExitConfRoom(11,0)", "CloseConfRoom(11,0)"}, kSession,
       {{"n", "0"}}},
      {"ExitConf( in no room", "r = ExitConf()", 0, {}, 0, {}},
      {"RecConf( resolves the file name",
       "SetSndDir(\"voc\", \"\", \"\")\nJoinConf(\"a\", 0)\nr = RecConf(\"a\", \"rec\")\n"
       "s = RecConf(\"a\", \"rec\")\nt = RecConf(\"b\", \"rec\")",
       0, {kJoin[0], kJoin[1], "StartConfRecord(11,0,voc\\rec.WAV)"}, kMediaId,
       {{"s", "-2"}, {"t", "-1"}}},
      {"RecConfCh( passes an empty name as it is",
       "JoinConf(\"a\", 0)\nr = RecConfCh(\"a\", 4, \"\")\ns = RecConfCh(\"a\", 4, \"m\")\n"
       "t = RecConfCh(\"a\", 5, \"m\")",
       0, {kJoin[0], kJoin[1], "StartConfChRecord(33,m.WAV)"}, 0, {{"s", "0"}, {"t", "-1"}}},
      {"PlayConf( after an ended play that nobody waited for starts another",
       "JoinConf(\"a\", 0)\nr = PlayConf(\"a\", \"hi\", 0)\ns = PlayConf(\"a\", \"hi\", \"0\")\n"
       "t = PlayConf(\"b\", \"hi\", 0)",
       0,
       {kJoin[0], kJoin[1], "StartConfPlay(11,0,hi.WAV)", "IsConfPlayEnd(11,0,21)",
        "StopConfPlay(11,0,21)", "StartConfPlay(11,0,hi.WAV)"},
       kMediaId, {{"s", "21"}, {"t", "-1"}}},
      {"PlayConf( waited on a line that is not online stops the play at once",
       "JoinConf(\"a\", 0)\nr = PlayConf(\"a\", \"hi\", 1)", 0,
       {kJoin[0], kJoin[1], "StartConfPlay(11,0,hi.WAV)", "StopConfPlay(11,0,21)"}, kMediaId,
       {}},
  };
  for (const StatementCase& c : cases) {
    SCOPED_TRACE(c.label);
    InstalledRooms rooms;
    RecordingCall call;
    call.lineNo = kLine;
    call.result = c.callResult;
    call.roomSession = kSession;
    call.mediaId = kMediaId;
    call.mediaChannel = kHandle;
    call.linkList[0] = {3, 7, 9};
    call.linkList[1] = {0, 0, 1};
    call.linkList[2] = {1, 0, 5};
    call.linkGroup = 2;
    ScriptOnLine run(Once(c.text), call);
    ASSERT_TRUE(run.compiled()) << run.Errors();
    run.RunHere();
    EXPECT_EQ(call.ops, c.ops);
    EXPECT_EQ(run.Int("r"), c.r);
    for (const auto& [name, text] : c.values) EXPECT_EQ(run.Text(name), text) << name;
  }
}

TEST_F(LinkStatementsTest, GetLinkListOnALineWithoutLinksLeavesTheVariables) {
  InstalledRooms rooms;
  RecordingCall call;
  call.lineNo = kLine;
  ScriptOnLine run(
      Once("a = 5\nb = \"x\"\nc[2] = 4\nr = GetLinkList(a, b, c)\nvc = \"\" + c[2];"), call);
  ASSERT_TRUE(run.compiled()) << run.Errors();
  run.RunHere();
  EXPECT_EQ(run.Int("r"), -1);
  EXPECT_EQ(run.Text("a"), "5");
  EXPECT_EQ(run.Text("b"), "x");
  EXPECT_EQ(run.Text("vc"), "4");
}

TEST_F(LinkStatementsTest, TheSystemsLineKindsHaveNoRooms) {
  // An E1 channel, a phone port, a virtual line and a line that does
  // nothing: no room operations, so no room is ever made.
  AnalogLines board_lines;
  TagVirCall virtual_line(kLine, nullptr);
  TagVtCall bare;
  bare.lineNo = kLine + 1;
  for (engine::LineCallBase* call :
       {static_cast<engine::LineCallBase*>(&board_lines[AnalogLines::kE1]),
        static_cast<engine::LineCallBase*>(&board_lines[AnalogLines::kPhone]),
        static_cast<engine::LineCallBase*>(&virtual_line),
        static_cast<engine::LineCallBase*>(&bare)}) {
    InstalledRooms rooms;
    ScriptOnLine run(Once(
        "m = 0\nroom = 0\nl = 0\nj = JoinConf(\"sales\", 0)\ne = ExitConf()\n"
        "rc = RecConf(\"sales\", \"r\")\n"
        "p = PlayConf(\"sales\", \"p\", 0)\nn = GetConfNum(\"sales\", m)\n"
        "i = IsInConf(_lineNo, room, l)"),
        *call);
    ASSERT_TRUE(run.compiled()) << run.Errors();
    run.RunHere();
    EXPECT_EQ(run.Int("j"), -2);
    EXPECT_EQ(run.Int("e"), 0);
    EXPECT_EQ(run.Int("rc"), -1);
    EXPECT_EQ(run.Int("p"), -1);
    EXPECT_EQ(run.Int("n"), 0);
    EXPECT_EQ(run.Int("i"), 0);
    EXPECT_EQ(rooms.rooms.RoomCount(), 0u);
  }
}

}  // namespace
}  // namespace telephony
