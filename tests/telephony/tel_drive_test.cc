// The line drive: its line table over the simulated board and the virtual
// card, "LinesList.txt", the queries and counts, and the line threads
// (loading, running, reload, stopping) with small load delays.
#include "telephony/tel_drive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/client_libraries.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "frame/version_text.h"
#include "telephony/tel_line_kind.h"
#include "telephony/tel_lines_list.h"
#include "tests/telephony/tel_drive_fixture.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 5000;
// A script that waits for a call, keeps it until the far end hangs up or a
// key comes, and hangs up.
constexpr const char* kWaitScript = "k = \"\"\nWaitRing(1)\nGetKeys(k, 1, 30)\nHangup()\n";

std::string Row(int line, const char* kind, const std::string& name) {
  char text[96];
  std::snprintf(text, sizeof text, "%6d  %4s  %s\n", line, kind, name.c_str());
  return text;
}

std::string E1Name(int channel) {
  char text[16];
  std::snprintf(text, sizeof text, "E1:%02d", channel);
  return text;
}

int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// --- Kinds and the lines list ------------------------------------------

TEST(LineKindTest, TextAndGroupOfEveryKind) {
  struct Case {
    uint8_t kind;
    const char* text;
    LineGroup group;
  };
  const Case cases[] = {
      {0, "VIR ", LineGroup::kVirtual},  {1, "A_EX", LineGroup::kExternal},
      {2, "A_IN", LineGroup::kInternal}, {3, "REC ", LineGroup::kNotCounted},
      {4, "DIG ", LineGroup::kExternal}, {5, "H323", LineGroup::kIp},
      {6, "SIP ", LineGroup::kIp},       {7, "VOIP", LineGroup::kIp},
      {8, "FAX ", LineGroup::kIp},       {9, "OTH ", LineGroup::kIp},
      {127, "OTH ", LineGroup::kIp},     {128, "OTH ", LineGroup::kNotCounted},
      {255, "OTH ", LineGroup::kNotCounted},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetLineKindName(c.kind), c.text) << int(c.kind);
    EXPECT_EQ(GetLineGroup(c.kind), c.group) << int(c.kind);
  }
}

TEST(LinesListTest, StatisticsAreOrderedByKindTextNotByLine) {
  const std::vector<LinesListRow> rows = {
      {0, 4, "E1:00"}, {1, 4, "E1:01"}, {2, 0, "v0"}, {3, 0, "v1"}, {4, 4, "E1:04"}};
  const std::string text = FormatLinesList(rows);
  const std::string rule(36, '-'), block(46, '=');
  EXPECT_EQ(text, "linesCount: 5\n线路号  类型  名称\n" + rule + "\n" + Row(0, "DIG ", "E1:00") +
                      Row(1, "DIG ", "E1:01") + rule + "\n" + Row(2, "VIR ", "v0") +
                      Row(3, "VIR ", "v1") + rule + "\n" + Row(4, "DIG ", "E1:04") + block +
                      "\n线路统计：\n0-1 = DIG  (2)\n4-4 = DIG  (1)\n2-3 = VIR  (2)\n" + block +
                      "\n");
}

TEST(LinesListTest, EmptyTableHasNoGroups) {
  const std::string block(46, '=');
  EXPECT_EQ(FormatLinesList({}),
            "linesCount: 0\n线路号  类型  名称\n" + block + "\n线路统计：\n" + block + "\n");
}

TEST(LinesListTest, BoardOfSixtyE1ChannelsAndTwoVirtualLines) {
  DriveFolder f("Trunks=2\n", RunCfgText(""));
  ASSERT_EQ(f.MakeDrive().status.load(), kDriveReady);
  const std::string rule(36, '-'), block(46, '=');
  std::string expected = "linesCount: 62\n线路号  类型  名称\n" + rule + "\n";
  for (int i = 0; i < 60; ++i) expected += Row(i, "DIG ", E1Name(i));
  expected += rule + "\n" + Row(60, "VIR ", "虚拟线路0#") + Row(61, "VIR ", "虚拟线路1#");
  expected += block + "\n线路统计：\n0-59 = DIG  (60)\n60-61 = VIR  (2)\n" + block + "\n";
  EXPECT_EQ(testing_support::ReadFile("LinesList.txt").value_or("(none)"), expected);
}

TEST(LinesListTest, AnalogPortsOfEachTypeAfterTheE1Channels) {
  DriveFolder f("Trunks=2\nAnalogPorts=0,1,5\n", RunCfgText(""));
  ASSERT_EQ(f.MakeDrive().status.load(), kDriveReady);
  const std::string rule(36, '-'), block(46, '=');
  std::string expected = "linesCount: 65\n线路号  类型  名称\n" + rule + "\n";
  for (int i = 0; i < 60; ++i) expected += Row(i, "DIG ", E1Name(i));
  expected += rule + "\n" + Row(60, "A_IN", "A_IN:60") + rule + "\n" + Row(61, "A_EX", "A_EX:61") +
              rule + "\n" + Row(62, "OTH ", "A_UN:62") + rule + "\n" +
              Row(63, "VIR ", "虚拟线路0#") + Row(64, "VIR ", "虚拟线路1#");
  // Grouped by the kind text in byte order.
  expected += block + "\n线路统计：\n61-61 = A_EX (1)\n60-60 = A_IN (1)\n0-59 = DIG  (60)\n" +
              "62-62 = OTH  (1)\n63-64 = VIR  (2)\n" + block + "\n";
  EXPECT_EQ(testing_support::ReadFile("LinesList.txt").value_or("(none)"), expected);
  int32_t ext = -1, in = -1, vir = -1, ip = -1;
  EXPECT_EQ(f.drive().CountLinesByKind(&ext, &in, &vir, &ip), 64);  // not the other port
  EXPECT_EQ(ext, 61);
  EXPECT_EQ(in, 1);
  EXPECT_EQ(vir, 2);
  EXPECT_EQ(ip, 0);
}

// --- The line table ------------------------------------------------------

TEST(TelDriveTableTest, BoardLinesFirstThenVirtualLines) {
  DriveFolder f("Trunks=1\n", RunCfgText(""));
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.status.load(), kDriveReady);
  ASSERT_EQ(drive.LineCount(), 32);
  EXPECT_EQ(engine::LinesCount(), 32);
  for (int i = 0; i < 32; ++i) {
    const TagTelLine& line = *drive.Line(i);
    EXPECT_EQ(line.lineNo(), i);
    EXPECT_EQ(line.call().lineNo, i);
    EXPECT_EQ(line.call().lineKind, i < 30 ? engine::kLineE1 : engine::kLineVirtual);
    EXPECT_EQ(line.lineName(), i < 30 ? E1Name(i) : "虚拟线路" + std::to_string(i - 30) + "#");
    EXPECT_EQ(line.Script(), nullptr);
  }
  EXPECT_EQ(drive.Line(32), nullptr);
  EXPECT_EQ(drive.Line(-1), nullptr);
}

// The drive's meeting-room registry is the one the call objects use while
// the drive stands; a drive whose configuration failed installs none.
TEST(TelDriveTableTest, TheDriveInstallsItsMeetingRoomsForTheCalls) {
  DriveFolder f("Trunks=1\n", RunCfgText(""));
  TagTelDrive& drive = f.MakeDrive();
  EXPECT_EQ(InstalledNameConfCtrl(), &drive.nameConf());
  f.DeleteDrive();
  EXPECT_EQ(InstalledNameConfCtrl(), nullptr);
  DriveFolder bad("Trunks=1\n", "");
  std::remove("VtTelRun.cfg");
  bad.MakeDrive();
  EXPECT_EQ(InstalledNameConfCtrl(), nullptr);
}

TEST(TelDriveTableTest, GetCallGivesTheCardKindByNumber) {
  DriveFolder f("Trunks=1\n", RunCfgText(""));
  TagTelDrive& drive = f.MakeDrive();
  const std::pair<int32_t, int32_t> cases[] = {
      {0, kCardPhysical}, {29, kCardPhysical}, {30, kCardVirtual},
      {31, kCardVirtual}, {32, kCardNone},     {-1, kCardNone}};
  for (const auto& [line, kind] : cases) {
    int32_t card = -7;
    TagVtCall* call = drive.GetCall(line, &card);
    EXPECT_EQ(card, kind) << line;
    EXPECT_EQ(call, kind == kCardNone ? nullptr : &drive.Line(line)->call()) << line;
  }
  EXPECT_NE(f.Log().find("TagTelDrive::GetCall(ch=32): pPhyCard->telCount=30, "
                         "pSipCard->telCount=0, pVirCard->telCount=2"),
            std::string::npos);
}

TEST(TelDriveTableTest, TotalLinesCutsTheLinesInUse) {
  DriveFolder f("Trunks=1\n", RunCfgText("TOTAL_LINES_NUM=10\n"));
  TagTelDrive& drive = f.MakeDrive();
  EXPECT_EQ(drive.LineCount(), 10);
  EXPECT_EQ(drive.CreatedLineCount(), 32);
  int32_t ext = 0, in = 0, vir = 0, ip = 0;
  EXPECT_EQ(drive.CountLinesByKind(&ext, &in, &vir, &ip), 10);
  EXPECT_EQ(ext, 10);
  EXPECT_EQ(vir, 0);
  EXPECT_EQ(drive.Line(10), nullptr);
  EXPECT_EQ(drive.LoadLine(10, "a.vts"), -1);
  EXPECT_EQ(testing_support::ReadFile("LinesList.txt").value_or("").rfind("linesCount: 10\n", 0),
            0u);
}

TEST(TelDriveTableTest, EnglishNamesAndNoVirtualLines) {
  struct Case {
    std::string cfg;
    int32_t lines;
    std::string last_name;
  };
  const Case cases[] = {{"LANGUAGE_TYPE=English\n", 32, "VirtualLine1#"},
                        {"VIR_LINES_NUM=0\n", 30, "E1:29"}};
  for (const Case& c : cases) {
    DriveFolder f("Trunks=1\n", RunCfgText(c.cfg));
    TagTelDrive& drive = f.MakeDrive();
    ASSERT_EQ(drive.LineCount(), c.lines) << c.cfg;
    EXPECT_EQ(drive.Line(c.lines - 1)->lineName(), c.last_name);
  }
}

// Bytes that are no configuration, with two line lists in them that give
// line 3 twice.
std::string GarbageCfg() {
  std::string junk;
  uint32_t x = 777;
  for (int i = 0; i < 3000; ++i) {
    x = x * 1103515245u + 12345u;
    const char c = static_cast<char>(x >> 24);
    junk.push_back(c == '=' ? '.' : c);  // no key=value line by chance
  }
  return junk + "\n3\x81\xfe=\x07\n" + junk + "\n1-4\xff=\x01\n";
}

// The status and the message box are the system's; the log says what failed.
TEST(TelDriveTableTest, ConfigurationErrorsLeaveNoLines) {
  struct Case {
    const char* name;
    bool write;
    std::string text;
    const char* logged;
  };
  const Case cases[] = {
      {"overlapping lists", true, RunCfgText("0-3=a.vts\n2=b.vts\n"),
       "[\"VtTelRun.cfg\": two line lists give the same line; no line is made.]"},
      {"garbage file", true, GarbageCfg(), "gives line 3 again: the line lists overlap.]"},
      {"missing file", false, "",
       "[\"VtTelRun.cfg\": the file cannot be opened; no line is made.]"}};
  for (const Case& c : cases) {
    DriveFolder f("Trunks=1\n", c.text);
    if (!c.write) std::remove("VtTelRun.cfg");
    TagTelDrive& drive = f.MakeDrive();
    EXPECT_EQ(drive.status.load(), kDriveCfgError) << c.name;
    EXPECT_EQ(drive.CreatedLineCount(), 0) << c.name;
    EXPECT_EQ(drive.LineCount(), 0) << c.name;
    const auto messages = f.folder().messages();
    ASSERT_FALSE(messages.empty()) << c.name;
    EXPECT_EQ(messages.back().text, "\"VtTelRun.cfg\" File Open Error.") << c.name;
    EXPECT_EQ(messages.back().caption, "Vantorel System") << c.name;
    EXPECT_FALSE(testing_support::FileExists("LinesList.txt")) << c.name;
    EXPECT_NE(f.Log().find(c.logged), std::string::npos) << c.name << "\n" << f.Log();
  }
}

// The drive loads the database client libraries after its version text and
// before it reads the configuration (so also when that fails), and frees
// them after the cards, before "Driver Closed.".
TEST(TelDriveTableTest, ClientLibrariesLoadBeforeTheConfigurationAndFreeAfterTheCards) {
  using engine::ClientLibrarySlot;
  engine::RegisterClientLibrary(
      ClientLibrarySlot::kMySql, [] { frame::WriteRawLog("load MySQL"); return 0; },
      [] { frame::WriteRawLog("free MySQL"); });
  for (const bool cfg_error : {false, true}) {
    SCOPED_TRACE(cfg_error);
    DriveFolder f("Trunks=1\n", RunCfgText("IS_WRITE_LOG=2\n"));
    frame::GetSettings().log_level = 2;
    if (cfg_error) std::remove("VtTelRun.cfg");
    f.MakeDrive();
    f.DeleteDrive();
    const std::string raw = testing_support::ReadFile("RawLog.txt").value_or("");
    size_t at = 0;
    for (const std::string& line : {frame::VersionText(), std::string("load MySQL"),
                                    std::string("delete pPhyCard OK."), std::string("free MySQL"),
                                    std::string("Driver Closed.")}) {
      at = raw.find(line, at);
      ASSERT_NE(at, std::string::npos) << line << " in order in\n" << raw;
    }
    if (!cfg_error) {
      EXPECT_LT(raw.find("load MySQL"), raw.find("Driver OK."));
    }
  }
  frame::GetSettings().log_level = 0;
  engine::RegisterClientLibrary(ClientLibrarySlot::kMySql, nullptr, nullptr);
}

// The line table holds at most frame::kMaxTableLines lines: a larger
// virtual line count is cut where the file is read, and the virtual card
// gets what the board's lines leave.
TEST(TelDriveTableTest, LineTableIsBoundByItsCapacity) {
  DriveFolder f("Trunks=1\n", RunCfgText("VIR_LINES_NUM=4294967295\n"));
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.status.load(), kDriveReady);
  EXPECT_EQ(drive.CreatedLineCount(), frame::kMaxTableLines);
  EXPECT_EQ(drive.LineCount(), frame::kMaxTableLines);
  EXPECT_EQ(drive.VirCount(), frame::kMaxTableLines - 30);
  EXPECT_EQ(drive.Line(frame::kMaxTableLines - 1)->call().lineKind, engine::kLineVirtual);
  int32_t card = 0;
  EXPECT_EQ(drive.GetCall(frame::kMaxTableLines, &card), nullptr);
  const std::string log = f.Log();
  EXPECT_NE(log.find("[\"VtTelRun.cfg\" line 3: VIR_LINES_NUM=4294967295 cut to 5120: the most "
                     "lines the line table holds.]"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[Init Lines: the line table holds at most 5120 lines; 5090 of the card's "
                     "5120 lines are made.]"),
            std::string::npos)
      << log;
}

// Line numbers that name no line of the table are refused and logged,
// once a list, with the file, the list and the script. (4294967295 reads
// as 2147483647, so the two lists overlap where the drive reads the file;
// the pass that loads the lines does not look for overlaps.)
TEST(TelDriveRunTest, LineNumbersOutsideTheTableAreLogged) {
  DriveFolder f("Trunks=1\n", RunCfgText("-5=d.vts\n"));
  f.WriteScript("lists.cfg", "2147483647=a.vts\n4294967295=b.vts\n32-40,0-=c.vts\n");
  f.WriteScript("c.vts", "x = 1\n");
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("lists.cfg"), kRunOk);
  const std::string log = f.Log();
  for (const char* logged :
       {"[\"lists.cfg\": 2147483647=a.vts: 1 line number(s) not in the line table of 32 "
        "lines (the first 2147483647); not loaded.]",
        "[\"lists.cfg\": 4294967295=b.vts: 1 line number(s) not in the line table of 32 "
        "lines (the first 2147483647); not loaded.]",
        "[\"lists.cfg\": 32-40,0-=c.vts: 9 line number(s) not in the line table of 32 lines "
        "(the first 32); not loaded.]",
        "[\"VtTelRun.cfg\" line 3: -5=d.vts is ignored: a line list begins with a digit.]"}) {
    EXPECT_NE(log.find(logged), std::string::npos) << logged << "\n" << log;
  }
  EXPECT_TRUE(f.WaitRunning(0));  // the line of the list that is in the table
  EXPECT_EQ(drive.Line(1)->Script(), nullptr);
}

TEST(TelDriveTableTest, CountsByKindAndState) {
  DriveFolder f("Trunks=1\n", RunCfgText(""));
  TagTelDrive& drive = f.MakeDrive();
  int32_t ext = -5, in = -5, vir = -5, ip = -5;
  EXPECT_EQ(drive.CountConnectedLines(&ext, &in, &vir, &ip), 0);
  EXPECT_EQ(ext + in + vir + ip, 0);  // set even when the caller passed garbage
  drive.Line(0)->call().callState = engine::kCallConnected;
  drive.Line(5)->call().callState = engine::kCallConnected;
  drive.Line(31)->call().callState = engine::kCallConnected;
  drive.Line(7)->call().callState = engine::kCallDialing;
  drive.Line(30)->call().callState = engine::kCallDialing;
  EXPECT_EQ(drive.CountConnectedLines(&ext, &in, &vir, &ip), 3);
  EXPECT_EQ(ext, 2);
  EXPECT_EQ(in, 0);
  EXPECT_EQ(vir, 1);
  EXPECT_EQ(ip, 0);
  int32_t dial_ext = 0, dial_ip = 0;
  EXPECT_EQ(drive.CountDialingLines(&dial_ext, &dial_ip), 1);  // the virtual line is not counted
  EXPECT_EQ(drive.CountLinesByKind(&ext, &in, &vir, &ip), 32);
  EXPECT_EQ(ext, 30);
  EXPECT_EQ(vir, 2);
  // Without a script a line has no talk time and no block state.
  int32_t talk = -9, since = -9;
  EXPECT_FALSE(drive.GetTalkTime(0, &talk, &since));
  EXPECT_EQ(talk, -9);
  EXPECT_EQ(drive.GetBlockState(0), -1);
  EXPECT_EQ(drive.GetBlockState(99), -1);
  EXPECT_EQ(drive.CountReloadPending(), 0);
  EXPECT_EQ(drive.CountReloadPending(), 0);
}

// --- Line threads -----------------------------------------------------------

TEST(TelDriveRunTest, RunAllLinesResults) {
  {
    DriveFolder f("Trunks=0\n", "VIR_LINES_NUM=0\n");
    TagTelDrive& drive = f.MakeDrive();
    EXPECT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunNoLines);
    EXPECT_EQ(f.folder().messages().back().text, "Lines number is 0");
  }
  {
    DriveFolder f("Trunks=1\n", RunCfgText(""));
    TagTelDrive& drive = f.MakeDrive();
    EXPECT_EQ(drive.RunAllLines("nosuch.cfg"), kRunNoFile);
    EXPECT_EQ(f.folder().messages().back().text, "Open cfg file error: nosuch.cfg");
    EXPECT_EQ(f.folder().messages().back().caption, "Vantorel System");
  }
}

TEST(TelDriveRunTest, RunsTheAssignedScriptsAndStops) {
  DriveFolder f("Trunks=1\n",
                RunCfgText("// lines\n0-1 = wait.vts // two\n x=3\n31=wait.vts\n4=\n"));
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  EXPECT_TRUE(drive.started());
  EXPECT_TRUE(f.WaitRunning(0)) << testing_support::ReadFile("errmsg0.txt").value_or("");
  EXPECT_TRUE(f.WaitRunning(1));
  EXPECT_EQ(drive.Line(0)->ScriptFile(), "wait.vts");
  EXPECT_EQ(drive.Line(2)->Script(), nullptr);
  EXPECT_EQ(drive.GetBlockState(0), 0);
  int32_t talk = -9, since = -9;
  EXPECT_FALSE(drive.GetTalkTime(0, &talk, &since));
  EXPECT_EQ(f.Status(0), "加载...");
  EXPECT_TRUE(WaitUntil([&] { return f.Status(4) == "加载不成功"; }, kWaitMs));  // "4=" names no file
  const std::string log = f.Log();
  EXPECT_NE(log.find("0: new TagTelBasic(wait.vts) OK. ret=0"), std::string::npos);
  EXPECT_NE(log.find("31: new TagTelBasic(wait.vts) OK. ret=0"), std::string::npos);
  EXPECT_NE(log.find("LOAD_DELAY = 8"), std::string::npos);
  drive.CloseAllTelLine();
  for (int i : {0, 1, 31}) {
    EXPECT_EQ(drive.Line(i)->Script(), nullptr) << i;
    EXPECT_FALSE(drive.Line(i)->taken()) << i;
  }
}

TEST(TelDriveRunTest, StoppingALineWaitingForARingTakesUnderASecond) {
  DriveFolder f("Trunks=1\n", RunCfgText("0=wait.vts\n"));
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(0));
  const auto start = std::chrono::steady_clock::now();
  f.DeleteDrive();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(TelDriveRunTest, CompileErrorShowsLoadFailedAndReloadRestartsAllLines) {
  DriveFolder f("Trunks=1\n", RunCfgText("0=bad.vts\n1=wait.vts\n"));
  f.WriteScript("bad.vts", "WaitRing(1\nif (\n");
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(1));
  ASSERT_TRUE(WaitUntil([&] { return f.Status(0) == "加载不成功"; }, kWaitMs));
  const auto bad = drive.Line(0)->Script();
  const auto good = drive.Line(1)->Script();
  ASSERT_NE(bad, nullptr);
  EXPECT_NE(bad->initResult, 0);
  EXPECT_EQ(bad->notRunning.load(), 1);  // never runs
  f.WriteScript("bad.vts", kWaitScript);
  drive.StartReload();
  ASSERT_TRUE(drive.WaitReload(kWaitMs));
  ASSERT_TRUE(f.WaitRunning(0));
  ASSERT_TRUE(f.WaitRunning(1));
  EXPECT_NE(drive.Line(0)->Script(), bad);
  EXPECT_NE(drive.Line(1)->Script(), good);  // the good line was restarted too
  EXPECT_EQ(drive.Line(0)->Script()->initResult, 0);
}

TEST(TelDriveRunTest, ReloadWaitsForTheConnectedCallToEnd) {
  DriveFolder f("Trunks=1\n", RunCfgText("3=call.vts\n"));
  f.WriteScript("call.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  f.ConnectFarEnd();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(3));
  ASSERT_EQ(f.far().Call("E3", "8675", "100"), "OK");
  ASSERT_NE(f.far().Wait("ANSWER", "E3", kWaitMs), std::nullopt);
  ASSERT_TRUE(WaitUntil([&] { return drive.Line(3)->call().callState == 1; }, kWaitMs));
  int32_t talk = -1, since = -1;
  EXPECT_TRUE(drive.GetTalkTime(3, &talk, &since));
  EXPECT_GE(talk, 0);
  const auto before = drive.Line(3)->Script();
  f.WriteScript("call.vts", std::string("// version 2\n") + kWaitScript + "Hangup()\n");
  drive.StartReload();
  ASSERT_TRUE(drive.WaitReload(kWaitMs));
  EXPECT_EQ(drive.CountReloadPending(), 1);
  EXPECT_EQ(drive.CountReloadPending(), 1);
  // The call is not cut while the reload waits.
  EXPECT_EQ(f.far().Wait("RELEASE", "E3", 300), std::nullopt);
  EXPECT_EQ(drive.Line(3)->call().callState, 1);
  EXPECT_EQ(drive.Line(3)->Script(), before);
  ASSERT_EQ(f.far().Hangup("E3"), "OK");
  ASSERT_TRUE(WaitUntil([&] {
    auto now = drive.Line(3)->Script();
    return now != nullptr && now != before && now->notRunning.load() == 0;
  }, kWaitMs));
  EXPECT_EQ(drive.Line(3)->Script()->statementCount, before->statementCount + 1);
  EXPECT_EQ(drive.CountReloadPending(), 0);
}

// A reader (the monitor, the window) may hold the old script past a
// reload and free it last, on its own thread: the line's new run keeps its
// stop flag and its temporary play and speech files. The old script did its
// part when it left the line, and the new one does its part when the lines
// are closed.
TEST(TelDriveRunTest, AScriptFreedAfterItsReloadLeavesTheNewRunAlone) {
  DriveFolder f("Trunks=1\n", RunCfgText("3=play.vts\n"));
  f.WriteScript("play.vts", std::string("SetPlayToFile(1)\n") + kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(3));
  // Reloads the line: true once its new script waits in WaitRing.
  std::shared_ptr<engine::TagTelBasic> now = drive.Line(3)->Script();
  auto reload = [&] {
    const auto before = now;
    drive.StartReload();
    return drive.WaitReload(kWaitMs) && WaitUntil([&] {
      now = drive.Line(3)->Script();
      return now != nullptr && now != before && now->currentIndex.load() >= 1;
    }, kWaitMs);
  };
  // Twice: the second old script is one the line's run thread compiled.
  ASSERT_TRUE(reload());
  auto held = now;
  ASSERT_TRUE(reload());
  testing_support::WriteFile("tts3.WAV", "speech");
  ASSERT_TRUE(testing_support::ReadFile("t3.WAV").has_value());
  held.reset();  // the old script's last reference
  EXPECT_EQ(drive.Line(3)->call().stopFlag.load(), 0);
  EXPECT_TRUE(testing_support::ReadFile("t3.WAV").has_value());
  EXPECT_TRUE(testing_support::ReadFile("tts3.WAV").has_value());
  EXPECT_EQ(now->notRunning.load(), 0);
  EXPECT_EQ(drive.Line(3)->Script(), now);
  now.reset();
  drive.CloseAllTelLine();
  EXPECT_FALSE(testing_support::ReadFile("t3.WAV").has_value());
  EXPECT_FALSE(testing_support::ReadFile("tts3.WAV").has_value());
}

TEST(TelDriveRunTest, ALineListedTwiceGetsOneScript) {
  DriveFolder f("Trunks=1\n", RunCfgText(""));
  f.WriteScript("a.vts", kWaitScript);
  f.WriteScript("b.vts", kWaitScript);
  testing_support::WriteFile("twice.cfg", "0=a.vts\n0,1=b.vts\n");
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("twice.cfg"), kRunOk);
  ASSERT_TRUE(f.WaitRunning(0));
  ASSERT_TRUE(f.WaitRunning(1));
  EXPECT_EQ(drive.Line(0)->ScriptFile(), "a.vts");
  EXPECT_EQ(drive.Line(1)->ScriptFile(), "b.vts");
  const std::string log = f.Log();
  EXPECT_EQ(Count(log, "0 Loading..."), 1);
  EXPECT_NE(log.find("0: the line is loaded already; 'b.vts' is not loaded on it."),
            std::string::npos);
  // Handing the line a script again keeps the one it has.
  EXPECT_EQ(drive.LoadLine(0, "b.vts"), 0);
  EXPECT_EQ(drive.Line(0)->ScriptFile(), "a.vts");
}

TEST(TelDriveRunTest, NoPassAfterShutdownBegins) {
  DriveFolder f("Trunks=1\n", RunCfgText("0=wait.vts\n"));
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  drive.BeginShutdown();
  EXPECT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunShuttingDown);
  EXPECT_EQ(drive.LoadLine(0, "wait.vts"), -1);
  drive.StartReload();
  EXPECT_TRUE(drive.WaitReload(0));
  EXPECT_FALSE(drive.Line(0)->taken());
}

}  // namespace
}  // namespace telephony
