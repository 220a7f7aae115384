#include "frame/display_pass.h"

#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/monitor.h"
#include "frame/monitor_grid.h"
#include "gtest/gtest.h"
#include "platform/clock.h"
#include "platform/named_event.h"
#include "tests/test_support.h"

namespace frame {
namespace {

struct FakeWindow : WindowView {
  void SetVersionText(std::string_view) override {}
  void SetInfoText(std::string_view text) override { info = text; }
  void SetLinesText(std::string_view text) override { lines = text; }
  std::string info, lines;
  void ApplyPosition(const TagMapCfg& saved) override { applied_x = saved.GetInt("WinX"); }
  void StorePosition(TagMapCfg* cfg) override { cfg->SetInt("WinX", 77); }
  int32_t applied_x = -2;
  void SetClockText(std::string_view text) override { clock = text; }
  void ShowFromTray() override { ++shown; }
  void SetTrayIcon(int icon, std::string_view tip) override { tray.push_back({icon, std::string(tip)}); }
  void GridRefreshed(int cells) override { refreshed += cells; }
  void SetCountText(std::string_view text) override { counts.push_back(std::string(text)); }
  void PostQuit() override { ++quits; }

  struct Tray {
    int icon;
    std::string tip;
  };
  std::string clock;
  int shown = 0;
  std::vector<Tray> tray;
  int refreshed = 0;
  std::vector<std::string> counts;
  int quits = 0;
};

struct FakeSummary : SummaryTarget {
  void SetSummary(std::string_view text) override { last = text; }
  std::string last;
};

struct FakeFacts : LineDriveFacts {
  int32_t GetBlockState(int32_t line) const override {
    if (close_at_line == line) flags->closing = true;
    auto it = blocked.find(line);
    return it == blocked.end() ? 0 : it->second;
  }
  bool GetTalkTime(int32_t line, int32_t* seconds, int32_t* connect_time) const override {
    auto it = talking.find(line);
    if (it == talking.end()) return false;
    *seconds = it->second;
    *connect_time = 0;
    return true;
  }
  int32_t CountConnectedLines(int32_t* ex, int32_t* in, int32_t* vir, int32_t* ip) const override {
    *ex = 3, *in = 2, *vir = 1, *ip = 4;
    return 10;
  }
  int32_t CountDialingLines(int32_t* ex, int32_t* ip) const override {
    *ex += 5, *ip += 6;
    return 11;
  }
  int32_t CountReloadPending() const override { return reload_pending; }

  std::map<int32_t, int32_t> blocked;
  std::map<int32_t, int32_t> talking;  // line -> talk seconds
  int32_t reload_pending = 0;
  int32_t close_at_line = -1;
  FrameFlags* flags = nullptr;
};

constexpr int kLines = 61;  // three trunks' first channels: 0, 30, 60

class DisplayPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProcessMonitor(&monitor_);
    for (int i = 0; i < kLines; ++i) SetLineStatus(i, "运行");
    flags_.closing = false;
    facts_.flags = &flags_;
    Make(DisplayOptions{});
  }
  void TearDown() override { SetProcessMonitor(nullptr); }

  void Make(const DisplayOptions& options) {
    pass_ = std::make_unique<DisplayPass>(&window_, &flags_, options);
    pass_->SetLineFacts(&facts_);
    pass_->SetSummaryTarget(&summary_);
  }
  std::string Status(int line) const { return monitor_.CellText(line, kCellStatus); }

  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  TagMonitor monitor_{kLines};
  FakeWindow window_;
  FakeSummary summary_;
  FakeFacts facts_;
  FrameFlags flags_;
  std::unique_ptr<DisplayPass> pass_;
};

TEST_F(DisplayPassTest, ClockShowsLocalTime) {
  pass_->Run();
  EXPECT_EQ(window_.clock, "08:15:00");
  clock_.Advance(61 * 1000);
  pass_->Run();
  EXPECT_EQ(window_.clock, "08:16:01");
}

TEST_F(DisplayPassTest, InactiveFrameOnlyShowsClockAndAnswersShow) {
  platform::NamedEvent show;  // not created: Set/IsSet/Reset work on the flag
  platform::NamedEvent quit;
  pass_->SetEvents(&show, &quit);
  show.Set();
  quit.Set();
  flags_.closing = true;
  pass_->Run();
  EXPECT_EQ(window_.clock, "08:15:00");
  EXPECT_EQ(window_.shown, 1);
  EXPECT_FALSE(show.IsSet());
  EXPECT_TRUE(window_.counts.empty());
  EXPECT_EQ(window_.quits, 0);  // a quit request waits until the frame runs
  EXPECT_TRUE(quit.IsSet());
  EXPECT_FALSE(flags_.timer_busy);
}

TEST_F(DisplayPassTest, RunningPassIsNotEntered) {
  flags_.timer_busy = true;
  pass_->Run();
  EXPECT_TRUE(window_.counts.empty());
  EXPECT_TRUE(flags_.timer_busy);  // the running pass clears it
}

TEST_F(DisplayPassTest, BlockedTrunkShowsAndStaysAProblemWhileBlocked) {
  facts_.blocked = {{30, 1}, {31, 1}};  // 31 is no trunk's first channel
  pass_->Run();
  EXPECT_EQ(Status(30), "堵塞");
  EXPECT_EQ(monitor_.GetStatusColors(30), (ColorPair{14, 4}));
  EXPECT_EQ(Status(31), "运行");
  ASSERT_EQ(window_.tray.size(), 1u);
  EXPECT_EQ(window_.tray[0].icon, kTrayIconProblem);
  EXPECT_EQ(window_.tray[0].tip, "注意: 脚本退出或线路堵塞");
  pass_->Run();
  EXPECT_EQ(window_.tray.size(), 1u);  // still blocked: no return to normal
  facts_.blocked.clear();
  pass_->Run();
  EXPECT_EQ(Status(30), "运行");
  EXPECT_EQ(monitor_.GetStatusColors(30), (ColorPair{0, 15}));
  ASSERT_EQ(window_.tray.size(), 2u);
  EXPECT_EQ(window_.tray[1].icon, kTrayIconOk);
  EXPECT_EQ(window_.tray[1].tip, "Vantorel语音平台");
}

TEST_F(DisplayPassTest, EndedAndFailedLinesAreProblems) {
  SetLineStatus(7, "已停止");
  pass_->Run();
  ASSERT_EQ(window_.tray.size(), 1u);
  EXPECT_EQ(window_.tray[0].icon, kTrayIconProblem);
  SetLineStatus(7, "运行");
  SetLineStatus(9, "初始化失败");
  pass_->Run();
  EXPECT_EQ(window_.tray.size(), 1u);  // same count: unchanged
  SetLineStatus(9, "运行");
  pass_->Run();
  ASSERT_EQ(window_.tray.size(), 2u);
  EXPECT_EQ(window_.tray[1].icon, kTrayIconOk);
}

// Lines with a script whose compile failed, as the line drive answers.
struct FailedScripts : LineInfoSource {
  bool DriveReady() override { return true; }
  std::string LineName(int) override { return "L"; }
  bool HasScript(int line) override { return line != kNoScriptLine; }
  std::string ScriptFileName(int) override { return "a.vts"; }
  int CompileResult(int line) override { return failed.count(line) != 0 ? -3 : 0; }
  bool KeyDisplayMode(int, int*) override { return false; }
  std::string StatementText(int, int32_t) override { return {}; }
  static constexpr int kNoScriptLine = 5;
  std::set<int> failed;
};

// A failed load leaves a status word without a state ("加载不成功" after
// "加载...", or "Initialize failed." in English mode): the line is a
// problem all the same, for as long as its script stays failed.
TEST_F(DisplayPassTest, LineWhoseScriptFailedToLoadIsAProblem) {
  FailedScripts scripts;
  monitor_.SetLineInfoSource(&scripts);
  for (const char* word : {"加载不成功", "Initialize failed."}) {
    SCOPED_TRACE(word);
    window_.tray.clear();
    SetLineStatus(12, "加载...");
    SetLineStatus(12, word);
    scripts.failed = {12};
    pass_->Run();
    ASSERT_EQ(window_.tray.size(), 1u);
    EXPECT_EQ(window_.tray[0].icon, kTrayIconProblem);
    pass_->Run();
    EXPECT_EQ(window_.tray.size(), 1u);  // still failed: no return to normal
    scripts.failed.clear();  // reloaded with a good script
    SetLineStatus(12, "运行");
    pass_->Run();
    ASSERT_EQ(window_.tray.size(), 2u);
    EXPECT_EQ(window_.tray[1].icon, kTrayIconOk);
  }
  monitor_.SetLineInfoSource(nullptr);
}

TEST_F(DisplayPassTest, TalkTimeAdvancesAndCallEndRestoresRunning) {
  Make(DisplayOptions{false, true, true});
  facts_.talking[5] = 0;
  const uint32_t keys_version = monitor_.CellVersion(5, kCellKeys);
  pass_->Run();
  EXPECT_EQ(Status(5), "连通 0:00");
  EXPECT_TRUE(monitor_.IsConnected(5));
  EXPECT_EQ(monitor_.GetStatusColors(5), (ColorPair{1, 14}));
  EXPECT_NE(monitor_.CellVersion(5, kCellKeys), keys_version);  // repainted
  facts_.talking[5] = 61;
  pass_->Run();
  EXPECT_EQ(Status(5), "连通 1:01");
  facts_.talking.clear();
  pass_->Run();
  EXPECT_EQ(Status(5), "运行");
  EXPECT_FALSE(monitor_.IsConnected(5));
  EXPECT_EQ(monitor_.GetStatusColors(5), (ColorPair{0, 15}));
}

TEST_F(DisplayPassTest, ConnectedWithoutTalkTimeShowsTheWordOnce) {
  facts_.talking[3] = 42;
  pass_->Run();
  EXPECT_EQ(Status(3), "连通");
  const uint32_t version = monitor_.CellVersion(3, kCellStatus);
  pass_->Run();
  EXPECT_EQ(monitor_.CellVersion(3, kCellStatus), version);
}

TEST_F(DisplayPassTest, RepaintKeepsTheLineTexts) {
  monitor_.SetKeys(4, "123");
  monitor_.SetCell("Goto(1)", 4, kCellRunInfo);
  facts_.talking[4] = 1;
  pass_->Run();
  EXPECT_EQ(monitor_.Keys(4), "123");
  EXPECT_EQ(monitor_.CellText(4, kCellRunInfo), "Goto(1)");
}

TEST_F(DisplayPassTest, BlockedLineIsNotAskedForTalkTime) {
  facts_.blocked[0] = 1;
  facts_.talking[0] = 5;
  pass_->Run();
  EXPECT_EQ(Status(0), "堵塞");
  EXPECT_FALSE(monitor_.IsConnected(0));
}

TEST_F(DisplayPassTest, CountTextGoesToWindowAndSummary) {
  pass_->Run();
  const std::string chinese = "连通数:10.11: 外:3.5, 内:2, 虚:1, Ip:4.6";
  ASSERT_EQ(window_.counts.size(), 1u);
  EXPECT_EQ(window_.counts[0], chinese);
  EXPECT_EQ(summary_.last, chinese);
  Make(DisplayOptions{true, false, true});
  facts_.reload_pending = 2;
  pass_->Run();
  EXPECT_EQ(summary_.last, "Connected:10.11: Ex:3.5, In:2, Vir:1, Ip:4.6 Waiting Reload Num:2");
  pass_->SetLineFacts(nullptr);
  pass_->Run();
  EXPECT_EQ(summary_.last, "Connected:0.0: Ex:0.0, In:0, Vir:0, Ip:0.0");
}

TEST_F(DisplayPassTest, CountsWithoutMonitorTable) {
  SetProcessMonitor(nullptr);
  pass_->Run();
  EXPECT_EQ(window_.counts.size(), 1u);
  EXPECT_TRUE(window_.tray.empty());
}

TEST_F(DisplayPassTest, ClosingDuringTheLinesEndsThePass) {
  facts_.close_at_line = 10;
  facts_.talking[20] = 1;
  pass_->Run();
  EXPECT_FALSE(monitor_.IsConnected(20));  // lines after the close untouched
  EXPECT_TRUE(window_.counts.empty());
  EXPECT_FALSE(flags_.timer_busy);
}

TEST_F(DisplayPassTest, ChangedCellsReachTheGrid) {
  TagMonitorGrid grid;
  monitor_.InitGrid(&grid);
  pass_->Run();
  const int first = window_.refreshed;
  EXPECT_GT(first, 0);
  pass_->Run();
  EXPECT_EQ(window_.refreshed, first);  // nothing changed
  facts_.talking[2] = 1;
  pass_->Run();
  EXPECT_GT(window_.refreshed, first);
  EXPECT_EQ(grid.Cell(monitor_.GridRow(2), monitor_.GridColumn(2, kCellStatus)).text, "连通");
}

TEST_F(DisplayPassTest, LogIsFlushedUnlessWrittenImmediately) {
  testing_support::TempDir dir;
  const std::string file = dir.File("msg_log.txt");
  struct Case {
    bool immediate_log;
    bool flushed;
  };
  for (const Case c : {Case{false, true}, Case{true, false}}) {
    OpenProcessLog(std::make_unique<TagWriteLog>(file, 0, false, true));
    Make(DisplayOptions{false, false, c.immediate_log});
    LogAlways(c.immediate_log ? "second line" : "first line");
    pass_->Run();
    const std::string text = testing_support::ReadFile(file).value_or("");
    EXPECT_EQ(text.find(c.immediate_log ? "second line" : "first line") != std::string::npos,
              c.flushed);
    CloseProcessLog();
  }
}

TEST_F(DisplayPassTest, SignalledEventsShowAndQuit) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
  const std::string suffix = std::to_string(::getpid());
  platform::NamedEvent show, quit;
  ASSERT_TRUE(show.Create("frame show " + suffix));
  ASSERT_TRUE(quit.Create("frame quit " + suffix));
  pass_->SetEvents(&show, &quit);
  pass_->Run();
  EXPECT_EQ(window_.shown, 0);
  EXPECT_EQ(window_.quits, 0);
  ASSERT_TRUE(platform::SignalNamedEvent(show.name()));
  ASSERT_TRUE(platform::SignalNamedEvent(quit.name()));
  pass_->Run();
  EXPECT_EQ(window_.shown, 1);
  EXPECT_EQ(window_.quits, 1);
  pass_->Run();  // both were reset
  EXPECT_EQ(window_.shown, 1);
  EXPECT_EQ(window_.quits, 1);
}

}  // namespace
}  // namespace frame
