#include "frame/monitor.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "frame/monitor_cursor.h"
#include "frame/monitor_grid.h"
#include "frame/run_cfg.h"
#include "platform/clock.h"

namespace frame {
namespace {

// Line facts as the line drive and the engine would give them.
class FakeLineInfo : public LineInfoSource {
 public:
  bool DriveReady() override { return ready; }
  std::string LineName(int line) override { return "L" + std::to_string(line); }
  bool HasScript(int line) override { return scripts.count(line) != 0; }
  std::string ScriptFileName(int line) override { return scripts[line]; }
  int CompileResult(int line) override { return compile[line]; }
  bool KeyDisplayMode(int line, int* mode) override {
    if (scripts.count(line) == 0) return false;
    *mode = key_mode;
    return true;
  }
  std::string StatementText(int line, int32_t index) override {
    ++statement_calls;
    return "L" + std::to_string(line) + " S" + std::to_string(index) + note;
  }

  bool ready = true;
  std::map<int, std::string> scripts;
  std::map<int, int> compile;
  int key_mode = 1;
  std::string note;
  int statement_calls = 0;
};

class MonitorTest : public ::testing::Test {
 protected:
  MonitorTest() : saved_(RunCfg()) {
    monitor_.SetLineInfoSource(&info_);
    SetProcessMonitor(&monitor_);
    for (int line = 0; line < 10; ++line) info_.scripts[line] = "s.vts";
  }
  ~MonitorTest() override {
    SetProcessMonitor(nullptr);
    RunCfg() = saved_;
  }

  // Sizes the grid for the given column groups.
  void InitAll(int groups) {
    RunCfg().column_groups = groups;
    monitor_.InitGrid(&grid_);
  }

  TagRunCfg saved_;
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  FakeLineInfo info_;
  TagMonitor monitor_{10};
  TagMonitorGrid grid_;
};

TEST(MonitorColors, TableAndGbkWords) {
  EXPECT_EQ(kMonitorColors[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(kMonitorColors[9], (Rgb{166, 202, 240}));
  EXPECT_EQ(kMonitorColors[10], (Rgb{0, 255, 64}));
  EXPECT_EQ(kMonitorColors[13], (Rgb{255, 0, 128}));
  EXPECT_EQ(kMonitorColors[12], kMonitorColors[4]);
  EXPECT_EQ(kMonitorColors[15], (Rgb{255, 255, 255}));
  // The status words are GBK bytes.
  EXPECT_EQ(StatusShownText("运行", false, false), "\xD4\xCB\xD0\xD0");
}

TEST(MonitorTable, AtLeastOneRecord) {
  TagMonitor m(0);
  EXPECT_EQ(m.LineCount(), 1);
  EXPECT_EQ(m.ColumnGroups(), 1);
  EXPECT_EQ(m.State(0), kStateLoading);
  EXPECT_EQ(m.GetStatusColors(0), (ColorPair{0, 15}));
  EXPECT_EQ(m.State(1), -1);
  EXPECT_EQ(m.GetUserColors(5), (ColorPair{0, 15}));
  EXPECT_FALSE(m.IsConnected(-1));
}

struct StatusCase {
  const char* word;
  uint8_t language;
  int32_t talk_time;
  const char* shown;
  int state;  // -1: the word sets none
  ColorPair colors;
};

TEST_F(MonitorTest, StatusWordsByLanguageAndTalkTime) {
  const StatusCase cases[] = {
      {"已停止", 0, 0, "已停止", kStateEnded, {0, 13}},
      {"已停止", 1, 0, "End", kStateEnded, {0, 13}},
      {"End", 0, 0, "End", kStateEnded, {0, 13}},
      {"加载...", 1, 0, "Loading...", kStateLoading, {0, 10}},
      {"Loading...", 0, 0, "Loading...", kStateLoading, {0, 10}},
      {"初始化失败", 0, 0, "初始化失败", kStateInitError, {14, 4}},
      {"初始化失败", 1, 0, "InitErr", kStateInitError, {14, 4}},
      {"InitErr", 1, 0, "InitErr", kStateInitError, {14, 4}},
      {"未配置", 1, 0, "未配置", kStateUnset, {0, 11}},
      {"Unset", 0, 0, "Unset", kStateUnset, {0, 11}},
      {"运行", 1, 0, "Running", kStateRunning, {0, 15}},
      {"Running", 0, 0, "Running", kStateRunning, {0, 15}},
      {"堵塞", 0, 0, "堵塞", kStateRunning, {14, 4}},
      {"堵塞", 1, 1, "Blocked", kStateRunning, {14, 4}},
      {"Blocked", 0, 0, "Blocked", kStateRunning, {14, 4}},
      {"连通 1:05", 0, 1, "连通 1:05", -1, {}},
      {"连通 1:05", 1, 1, "Conn 1:05", -1, {}},
      {"连通 1:05", 1, 0, "Conn", -1, {}},
      {"连通", 1, 1, "Conn", -1, {}},
      {"Initialize failed.", 1, 0, "Initialize failed.", -1, {}},
      {"运行 ", 0, 0, "运行 ", -1, {}},  // matched exactly
      {"running", 1, 0, "running", -1, {}},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.word);
    TagMonitor m(2);
    SetProcessMonitor(&m);
    RunCfg().language = c.language;
    RunCfg().disp_talk_time = c.talk_time;
    m.SetColors(1, 6, 7);
    EXPECT_EQ(SetLineStatus(1, c.word), 0);
    EXPECT_EQ(m.CellText(1, kCellStatus), c.shown);
    if (c.state < 0) {
      EXPECT_EQ(m.State(1), kStateLoading);
      EXPECT_EQ(m.GetStatusColors(1), (ColorPair{6, 7}));
    } else {
      EXPECT_EQ(m.State(1), c.state);
      EXPECT_EQ(m.GetStatusColors(1), c.colors);
    }
    EXPECT_EQ(m.CellText(0, kCellStatus), "");
  }
  SetProcessMonitor(&monitor_);
}

TEST_F(MonitorTest, BlockedThenRunningRepaintsCellsZeroToFour) {
  TagMonitorCursor client(monitor_);
  MonitorCell cell;
  for (int c = 0; c < kMonitorCells; ++c) client.Take(4, c, &cell);
  SetLineStatus(4, "堵塞");
  EXPECT_EQ(monitor_.GetStatusColors(4), (ColorPair{14, 4}));
  for (int c = 0; c < kMonitorCells; ++c) {
    EXPECT_EQ(client.Changed(4, c), c <= kLastStatusCell) << c;
  }
  ASSERT_TRUE(client.Take(4, kCellLine, &cell));
  EXPECT_EQ(cell.colors, (ColorPair{14, 4}));
  SetLineStatus(4, "运行");
  EXPECT_EQ(monitor_.GetStatusColors(4), (ColorPair{0, 15}));
  ASSERT_TRUE(client.Take(4, kCellScript, &cell));
  EXPECT_EQ(cell.colors, (ColorPair{0, 15}));
  for (int c = kCellUser; c < kMonitorCells; ++c) EXPECT_FALSE(client.Changed(4, c));
}

TEST_F(MonitorTest, SetCellRecomputesColoursOfARunningLine) {
  struct Case {
    uint8_t state;
    int32_t blocked;
    bool connected;
    ColorPair expect;
  } cases[] = {
      {kStateRunning, 1, true, {14, 4}},
      {kStateRunning, 0, true, {1, 14}},
      {kStateRunning, -1, false, {0, 15}},
      {kStateEnded, 1, true, {6, 7}},  // not running: colours kept
  };
  for (const Case& c : cases) {
    monitor_.SetState(2, c.state);
    monitor_.SetColors(2, 6, 7);
    monitor_.SetBlocked(2, c.blocked);
    monitor_.SetConnected(2, c.connected);
    monitor_.SetCell("x", 2, kCellRunInfo);
    EXPECT_EQ(monitor_.GetStatusColors(2), c.expect) << int(c.state) << c.blocked;
    // A user cell never touches the status colours.
    monitor_.SetColors(2, 6, 7);
    monitor_.SetCell("u", 2, kCellUser);
    EXPECT_EQ(monitor_.GetStatusColors(2), (ColorPair{6, 7}));
  }
}

TEST_F(MonitorTest, UserColoursAndCells) {
  TagMonitorCursor client(monitor_);
  MonitorCell cell;
  for (int line = 0; line < 3; ++line) {
    for (int c = 0; c < kMonitorCells; ++c) client.Take(line, c, &cell);
  }
  EXPECT_EQ(SetLineUserColor(1, 4, 16), 0);  // 16 is no colour: kept
  EXPECT_EQ(monitor_.GetUserColors(1), (ColorPair{4, 15}));
  SetLineUserColor(1, -1, 14);
  EXPECT_EQ(monitor_.GetUserColors(1), (ColorPair{4, 14}));
  for (int c = 0; c < kMonitorCells; ++c) EXPECT_FALSE(client.Changed(1, c));
  EXPECT_EQ(SetLineUserInfo(1, 2, "客户"), 0);
  ASSERT_TRUE(client.Take(1, 7, &cell));
  EXPECT_EQ(cell.text, "客户");
  EXPECT_EQ(cell.colors, (ColorPair{4, 14}));
  for (int n : {3, -6, 1000, -1000}) SetLineUserInfo(1, n, "no");  // beyond the row
  for (int line = 0; line < 3; ++line) {
    for (int c = 0; c < kMonitorCells; ++c) EXPECT_FALSE(client.Changed(line, c)) << c;
  }
  EXPECT_EQ(SetLineScript(1, "a.vts"), 0);
  EXPECT_EQ(monitor_.CellText(1, kCellScript), "a.vts");
  // Bad lines and cells are ignored.
  monitor_.SetCell("x", 10, 0);
  monitor_.SetCell("x", 1, 8);
  monitor_.SetCell("x", 1, -1);
  EXPECT_EQ(monitor_.CellText(1, kCellLine), "");
}

// "DispInfo(" writes cell n + 5 of its line's row: n -5 to -1 reach the
// row's other cells, with their colours.
TEST_F(MonitorTest, UserInfoReachesEveryCellOfTheRow) {
  const struct {
    int n;
    int cell;
  } cases[] = {{-5, kCellLine}, {-4, kCellScript}, {-3, kCellStatus}, {-2, 3},
               {-1, 4},         {0, kCellUser},     {2, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    TagMonitorCursor client(monitor_);
    MonitorCell cell;
    for (int k = 0; k < kMonitorCells; ++k) client.Take(2, k, &cell);
    const std::string text = "n" + std::to_string(c.n);
    EXPECT_EQ(SetLineUserInfo(2, c.n, text), 0);
    EXPECT_EQ(monitor_.CellText(2, c.cell), text);
    for (int k = 0; k < kMonitorCells; ++k) EXPECT_EQ(client.Changed(2, k), k == c.cell) << k;
    ASSERT_TRUE(client.Take(2, c.cell, &cell));
    EXPECT_EQ(cell.colors, c.cell >= kCellUser ? monitor_.GetUserColors(2)
                                               : monitor_.GetStatusColors(2));
  }
}

TEST_F(MonitorTest, SettersWithoutTableOrWithNegativeLine) {
  EXPECT_EQ(SetLineStatus(-1, "运行"), -1);
  EXPECT_EQ(SetLineScript(-2, "x"), -1);
  EXPECT_EQ(SetLineUserInfo(-1, 0, "x"), -1);
  EXPECT_EQ(SetLineUserColor(-1, 1, 2), -1);
  EXPECT_EQ(DispSentence("x", -1), -1);
  EXPECT_EQ(DispKeys(-1, "1"), -1);
  SetLineKeys(3, "12");
  SetProcessMonitor(nullptr);
  EXPECT_EQ(SetLineStatus(3, "运行"), 0);
  EXPECT_EQ(DispKeys(3, "9"), 0);
  EXPECT_EQ(GetLineKeys(3), "");
  EXPECT_EQ(GetLineKeysLen(3), 0);
  EXPECT_FALSE(TakeLineKeysPrefix(3, "1"));
  MarkLineStep(3, 4);
  SetProcessMonitor(&monitor_);
  EXPECT_EQ(GetLineKeys(3), "12");
  EXPECT_EQ(monitor_.State(3), kStateLoading);
}

TEST_F(MonitorTest, DispKeysByDisplayMode) {
  const std::string keys25(25, '5');
  struct Case {
    int mode;
    std::string keys;
    std::string shown;
  } cases[] = {
      {1, "123#", "123#"}, {3, "9*", "9*"},       {2, "123", "***"},
      {2, keys25, std::string(20, '*')},         {2, "", ""},
      {0, "777", "before"},
  };
  for (const Case& c : cases) {
    info_.key_mode = c.mode;
    SetLineKeys(2, "before");
    EXPECT_EQ(DispKeys(2, c.keys), 0);
    EXPECT_EQ(GetLineKeys(2), c.shown) << c.mode << " " << c.keys;
  }
  info_.key_mode = 1;
  info_.scripts.erase(2);
  SetLineKeys(2, "before");
  DispKeys(2, "1");
  EXPECT_EQ(GetLineKeys(2), "before");  // no script: nothing
  monitor_.SetLineInfoSource(nullptr);
  DispKeys(3, "1");
  EXPECT_EQ(GetLineKeys(3), "");
}

TEST_F(MonitorTest, DispSentenceByMode) {
  struct Case {
    int32_t mode;
    const char* text;
    const char* shown;
  } cases[] = {
      {1, "Play(\"a.wav\") // 问候", "Play(\"a.wav\") // 问候"},
      {2, "Play(\"a.wav\") //问候 // x", "问候 // x"},
      {2, "Play(\"a.wav\")", ""},
      {2, "x=1 //", ""},
      {0, "x=1 // note", "previous"},
      {3, "x=1 // note", "previous"},
  };
  for (const Case& c : cases) {
    RunCfg().sentence_mode = c.mode;
    monitor_.SetCell("previous", 6, kCellRunInfo);
    EXPECT_EQ(DispSentence(c.text, 6), 0);
    EXPECT_EQ(monitor_.CellText(6, kCellRunInfo), c.shown) << c.mode << c.text;
  }
}

TEST_F(MonitorTest, StepHookBuildsTheTextWhenRead) {
  struct Case {
    int32_t mode;
    const char* note;
    const char* shown;
  } cases[] = {
      {1, " //hi", "L5 S7 //hi"},
      {2, " //hi", "hi"},
      {2, "", ""},
  };
  for (const Case& c : cases) {
    RunCfg().sentence_mode = c.mode;
    info_.note = c.note;
    monitor_.SetCell("old", 5, kCellRunInfo);
    int calls = info_.statement_calls;
    uint32_t v = monitor_.CellVersion(5, kCellRunInfo);
    MarkLineStep(5, 7);
    EXPECT_EQ(info_.statement_calls, calls);  // nothing built on the line thread
    EXPECT_NE(monitor_.CellVersion(5, kCellRunInfo), v);
    EXPECT_EQ(monitor_.CellText(5, kCellRunInfo), c.shown);
    // The same text as DispSentence gives for that statement.
    DispSentence("L5 S7" + std::string(c.note), 4);
    EXPECT_EQ(monitor_.CellText(4, kCellRunInfo), c.shown);
  }
  // The same statement again changes nothing; another one does.
  uint32_t v = monitor_.CellVersion(5, kCellRunInfo);
  MarkLineStep(5, 7);
  EXPECT_EQ(monitor_.CellVersion(5, kCellRunInfo), v);
  MarkLineStep(5, 8);
  EXPECT_NE(monitor_.CellVersion(5, kCellRunInfo), v);
  // A text set afterwards wins over the index.
  DispSentence("given", 5);
  EXPECT_EQ(monitor_.CellText(5, kCellRunInfo), "");  // mode 2, no "//"
  RunCfg().sentence_mode = 0;
  v = monitor_.CellVersion(5, kCellRunInfo);
  MarkLineStep(5, 9);
  EXPECT_EQ(monitor_.CellVersion(5, kCellRunInfo), v);
}

TEST_F(MonitorTest, GridGeometryWithFourGroups) {
  grid_.Resize(1, 8);
  grid_.SetColumnWidth(4, 300);
  InitAll(4);
  EXPECT_EQ(monitor_.ColumnGroups(), 4);
  EXPECT_EQ(grid_.ColCount(), 32);
  EXPECT_EQ(grid_.RowCount(), 4);
  EXPECT_EQ(monitor_.GridRow(9), 3);
  EXPECT_EQ(monitor_.GridColumn(9, 0), 8);
  EXPECT_EQ(monitor_.GridColumn(9, 7), 15);
  EXPECT_EQ(monitor_.GridRow(3), 1);
  EXPECT_EQ(monitor_.GridColumn(3, 3), 27);
  for (int col = 8; col <= 15; ++col) EXPECT_EQ(monitor_.LineOfGridCell(3, col), 9);
  EXPECT_EQ(monitor_.LineOfGridCell(2, 31), 7);
  EXPECT_EQ(monitor_.LineOfGridCell(0, 3), -1);
  for (int g = 0; g < 4; ++g) {
    EXPECT_EQ(grid_.ColumnWidth(g * 8 + 4), 300);
    EXPECT_EQ(grid_.ColumnWidth(g * 8 + 7), 62);
    EXPECT_EQ(grid_.Cell(0, g * 8 + 0).text, "线路");
    EXPECT_EQ(grid_.Cell(0, g * 8 + 3).text, "当前按键");
    EXPECT_EQ(grid_.Cell(0, g * 8 + 5).text, "用户消息1");
    EXPECT_EQ(grid_.Cell(0, g * 8 + 7).text, "用户消息3");
  }
  grid_.Select(3, 12);
  EXPECT_EQ(monitor_.SelectedLine(), 9);
  grid_.Select(0, 12);
  EXPECT_EQ(monitor_.SelectedLine(), -1);
}

TEST_F(MonitorTest, GridHeadersInEnglishAndNoneBeforeTheDriveIsReady) {
  RunCfg().language = 1;
  RunCfg().titles[1] = "Caller";
  InitAll(3);
  EXPECT_EQ(grid_.RowCount(), 5);  // 10 lines in 3 groups: 4 rows + header
  EXPECT_EQ(grid_.Cell(0, 8 + 4).text, "Run Info");
  EXPECT_EQ(grid_.Cell(0, 16 + 6).text, "Caller");
  TagMonitorGrid other;
  info_.ready = false;
  monitor_.InitGrid(&other);
  EXPECT_EQ(other.Cell(0, 0).text, "");
}

TEST_F(MonitorTest, DispMonitorFillsTheCells) {
  info_.scripts.erase(1);
  info_.compile[2] = -3;
  DispMonitor(&grid_);
  EXPECT_EQ(monitor_.CellText(0, kCellLine), "0 : L0");
  EXPECT_EQ(monitor_.CellText(0, kCellScript), "s.vts");
  EXPECT_EQ(monitor_.CellText(0, kCellStatus), "运行");
  EXPECT_EQ(monitor_.State(0), kStateRunning);
  EXPECT_EQ(monitor_.CellText(1, kCellStatus), "未配置");
  EXPECT_EQ(monitor_.State(1), kStateUnset);
  EXPECT_EQ(monitor_.GetStatusColors(1), (ColorPair{0, 11}));
  EXPECT_EQ(monitor_.CellText(2, kCellStatus), "初始化失败");
  EXPECT_EQ(monitor_.State(2), kStateInitError);
  EXPECT_EQ(grid_.RowCount(), 11);
  EXPECT_EQ(monitor_.Refresh(), 80);
  EXPECT_EQ(grid_.Cell(3, kCellLine).text, "2 : L2");
  EXPECT_EQ(grid_.Cell(3, kCellLine).colors, (ColorPair{14, 4}));
  // English: the failure text sets no state.
  TagMonitor m(2);
  m.SetLineInfoSource(&info_);
  SetProcessMonitor(&m);
  RunCfg().language = 1;
  info_.compile[1] = 5;
  info_.scripts[1] = "b.vts";
  DispMonitor(&grid_);
  EXPECT_EQ(m.CellText(0, kCellStatus), "Running");
  EXPECT_EQ(m.CellText(1, kCellStatus), "Initialize failed.");
  EXPECT_EQ(m.State(1), kStateLoading);
  // A drive that is not ready fills nothing but still sizes the grid.
  TagMonitor n(3);
  n.SetLineInfoSource(&info_);
  SetProcessMonitor(&n);
  info_.ready = false;
  DispMonitor(&grid_);
  EXPECT_EQ(n.CellText(0, kCellLine), "");
  EXPECT_EQ(grid_.RowCount(), 4);
  SetProcessMonitor(&monitor_);
}

TEST_F(MonitorTest, RefreshCopiesOnlyDirtyVisibleCells) {
  InitAll(1);
  EXPECT_EQ(monitor_.Refresh(), 80);  // a new grid gets every cell
  EXPECT_EQ(monitor_.Refresh(), 0);
  SetLineScript(0, "x.vts");
  SetLineUserInfo(0, 0, "u");
  EXPECT_TRUE(monitor_.IsDirty(0, kCellScript));
  EXPECT_FALSE(monitor_.IsDirty(0, kCellStatus));
  EXPECT_EQ(monitor_.Refresh(), 2);
  EXPECT_EQ(grid_.Cell(1, kCellScript).text, "x.vts");
  EXPECT_EQ(grid_.Cell(1, kCellUser).text, "u");
  EXPECT_FALSE(monitor_.IsDirty(0, kCellScript));

  // Rows 1 to 3 (lines 0-2) and columns 0 to 2 are visible.
  grid_.SetVisibleArea(1, 0, 2, 2);
  SetLineScript(8, "late.vts");
  SetLineUserInfo(1, 0, "hidden column");
  SetLineScript(2, "seen.vts");
  EXPECT_EQ(monitor_.Refresh(), 1);
  EXPECT_EQ(grid_.Cell(3, kCellScript).text, "seen.vts");
  EXPECT_EQ(grid_.Cell(9, kCellScript).text, "");
  EXPECT_TRUE(monitor_.IsDirty(8, kCellScript));
  EXPECT_TRUE(monitor_.IsDirty(1, kCellUser));
  // The operator scrolls down, then right.
  grid_.SetVisibleArea(7, 0, 3, 2);
  EXPECT_EQ(monitor_.Refresh(), 1);
  EXPECT_EQ(grid_.Cell(9, kCellScript).text, "late.vts");
  grid_.SetVisibleArea(1, 4, 3, 4);
  EXPECT_EQ(monitor_.Refresh(), 1);
  EXPECT_EQ(grid_.Cell(2, kCellUser).text, "hidden column");
}

TEST_F(MonitorTest, RefreshPausesAfterBursts) {
  InitAll(1);
  // 10 lines of 8 cells: the count passes 20 after lines 2, 5 and 8.
  EXPECT_EQ(monitor_.Refresh(), 80);
  EXPECT_EQ(clock_.SleepCalls(), 3u);
  EXPECT_EQ(clock_.SleptMillis(), 3u * kRefreshPauseMs);
  for (int line = 0; line < 10; ++line) SetLineScript(line, "y");
  EXPECT_EQ(monitor_.Refresh(), 10);
  EXPECT_EQ(clock_.SleepCalls(), 3u);
}

TEST_F(MonitorTest, RefreshBeforeInitGridDoesNothing) {
  SetLineScript(0, "x");
  EXPECT_EQ(monitor_.Refresh(), 0);
  EXPECT_TRUE(monitor_.IsDirty(0, kCellScript));
  EXPECT_EQ(monitor_.SelectedLine(), -1);
}

TEST_F(MonitorTest, KeysStoreKeepsWhatTheOperatorTyped) {
  InitAll(2);
  monitor_.Refresh();
  const int row = monitor_.GridRow(3), col = monitor_.GridColumn(3, kCellKeys);
  monitor_.OperatorTypedKeys(3, "12");
  EXPECT_EQ(grid_.Cell(row, col).text, "12");  // shown at once
  AppendLineKeys(3, "#");
  monitor_.OperatorTypedKeys(3, "4");
  EXPECT_EQ(GetLineKeys(3), "12#4");
  EXPECT_EQ(GetLineKeysLen(3), 4);
  EXPECT_GE(monitor_.Refresh(), 1);
  EXPECT_EQ(grid_.Cell(row, col).text, "12#4");
  // A virtual line takes "12#" only when the store still begins with it.
  EXPECT_FALSE(TakeLineKeysPrefix(3, "13#"));
  EXPECT_TRUE(TakeLineKeysPrefix(3, "12#"));
  EXPECT_EQ(GetLineKeys(3), "4");
  monitor_.Refresh();
  EXPECT_EQ(grid_.Cell(row, col).text, "4");
  ClearLineKeys(3);
  EXPECT_EQ(GetLineKeysLen(3), 0);
  EXPECT_TRUE(monitor_.IsDirty(3, kCellKeys));
}

TEST_F(MonitorTest, NewClientSeesEveryCellThenOnlyChanges) {
  SetLineStatus(0, "运行");
  TagMonitorCursor client(monitor_);
  MonitorCell cell;
  int taken = 0;
  for (int line = 0; line < 10; ++line) {
    for (int c = 0; c < kMonitorCells; ++c) taken += client.Take(line, c, &cell);
  }
  EXPECT_EQ(taken, 80);
  EXPECT_FALSE(client.Take(0, kCellStatus, &cell));
  SetLineUserInfo(9, 1, "x");
  EXPECT_TRUE(client.Take(9, 6, &cell));
  EXPECT_EQ(cell.text, "x");
  EXPECT_FALSE(client.Changed(9, 6));
  EXPECT_FALSE(client.Changed(10, 0));
  client.MarkAllChanged();
  EXPECT_TRUE(client.Changed(0, 0));
}

}  // namespace
}  // namespace frame
