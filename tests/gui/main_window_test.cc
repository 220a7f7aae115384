#include "gui/main_window.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/debug_observer.h"
#include "engine/expression_hook.h"
#include "engine/script_cache.h"
#include "engine/tel_basic.h"
#include "frame/display_pass.h"
#include "frame/form_pos.h"
#include "frame/frame_controller.h"
#include "frame/log.h"
#include "frame/monitor.h"
#include "frame/run_cfg.h"
#include "gtest/gtest.h"
#include "gui/default_layout.h"
#include "gui/frame_loop.h"
#include "gui/qt_text.h"
#include "tests/gui/qt_app.h"
#include "tests/test_support.h"

namespace gui {
namespace {

using frame::RunCfg;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int kLines = 31;  // the first channels of two trunks: 0 and 30

// The line drive's answers, with the order the display pass asks them in.
struct FakeFacts : frame::LineDriveFacts {
  int32_t GetBlockState(int32_t line) const override {
    Note("block " + std::to_string(line));
    auto it = blocked.find(line);
    return it == blocked.end() ? 0 : it->second;
  }
  bool GetTalkTime(int32_t line, int32_t* seconds, int32_t* connect_time) const override {
    Note("talk " + std::to_string(line));
    auto it = talking.find(line);
    if (it == talking.end()) return false;
    *seconds = it->second;
    *connect_time = 0;
    return true;
  }
  int32_t CountConnectedLines(int32_t* ex, int32_t* in, int32_t* vir, int32_t* ip) const override {
    Note("connected");
    *ex = 1, *in = 0, *vir = 0, *ip = 0;
    return 1;
  }
  int32_t CountDialingLines(int32_t*, int32_t*) const override {
    Note("dialing");
    return 0;
  }
  int32_t CountReloadPending() const override {
    Note("reload");
    return 0;
  }
  void Note(std::string call) const {
    std::lock_guard<std::mutex> lock(mu);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mu);
    return calls;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mu);
    calls.clear();
  }

  std::map<int32_t, int32_t> blocked;
  std::map<int32_t, int32_t> talking;
  mutable std::mutex mu;
  mutable std::vector<std::string> calls;  // guarded by mu
};

struct FakeLineInfo : frame::LineInfoSource {
  bool DriveReady() override { return ready.load(); }
  std::string LineName(int line) override { return "E1:" + std::to_string(line); }
  bool HasScript(int line) override { return line != kNoScriptLine; }
  std::string ScriptFileName(int) override { return "demo.vts"; }
  int CompileResult(int) override { return 0; }
  bool KeyDisplayMode(int, int* mode) override {
    *mode = 1;
    return true;
  }
  std::string StatementText(int, int32_t) override { return {}; }
  static constexpr int kNoScriptLine = 4;
  std::atomic<bool> ready{true};
};

// A drive of kLines lines whose hand-out ends at once.
class FakeParts : public frame::SystemParts {
 public:
  int32_t build_status = 0;
  int32_t BuildDrive(std::string_view, frame::TagRunCfg*) override {
    has_drive_ = build_status >= 0;
    return build_status;
  }
  bool HasDrive() const override { return has_drive_; }
  int32_t DriveStatus() const override { return build_status; }
  const frame::LineDriveFacts* Facts() const override { return &facts; }
  frame::LinesByKind CountLinesByKind() const override { return {kLines, kLines, 0, 0, 0}; }
  frame::LineInfoSource* LineInfo() override { return &info; }
  int32_t RunAllLines(std::string_view) override { return 0; }
  void StartReload() override {}
  void BeginShutdown() override {}
  void DeleteDrive() override { has_drive_ = false; }
  int32_t AbandonedLines() override { return 0; }

  FakeFacts facts;
  FakeLineInfo info;

 private:
  bool has_drive_ = false;
};

// The window on a real frame controller over the fake drive, in a program
// folder of its own with its own events folder.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_test::TestApp();
    RunCfg() = frame::TagRunCfg();
  }
  void TearDown() override {
    if (controller_ && !controller_->ended()) controller_->Shutdown();
    loop_.reset();
    controller_.reset();
    window_.reset();
    frame::CloseProcessLog();
    RunCfg() = frame::TagRunCfg();
  }
  // Builds the window (tray or not) and its frame; the configuration file
  // gets `cfg` besides the test's own settings.
  void Make(bool tray, const std::string& cfg = "") {
    WriteFile(home_.File("VtTelRun.cfg"),
              "IS_WRITE_LOG=1\nLOG_FILE=gui.log\nDISP_DELAY=100\nLOAD_DELAY=20\n" + cfg);
    window_ = std::make_unique<MainWindow>(&RunCfg(), tray);
    controller_ = std::make_unique<frame::FrameController>(&parts_, window_.get(), &RunCfg());
    loop_ = std::make_unique<FrameLoop>(controller_.get());
    window_->Attach(loop_.get());
    loop_->InstallWakeHook();
    window_->SetHangupHandler([this](int line) { hung_up_.push_back(line); });
    window_->SetDebugger(&observer_, [this](int line) {
      auto it = scripts_.find(line);
      return it != scripts_.end() ? it->second : nullptr;
    });
  }
  // A compiled script for the line, as its drive would hold it.
  engine::TagTelBasic& GiveScript(int line) {
    engine::RegisterStatementCompiler();
    engine::ScriptCache().Clear();
    WriteFile("s.vts", "n = 1\n");
    auto script = std::make_shared<engine::TagTelBasic>("s.vts", line, &call_, 1, nullptr);
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
    scripts_[line] = script;
    return *script;
  }
  // Starts the frame and waits until it is active (the lines handed out).
  void Start() {
    ASSERT_TRUE(controller_->Start(home_.path()));
    window_->FinishStart();
    if (parts_.build_status < 0) return;
    ASSERT_TRUE(controller_->JoinMainRun(5000));
    ASSERT_FALSE(controller_->flags().closing.load());
  }
  // Shows the window large enough for every line, then runs one pass.
  void ShowAndTick() {
    window_->resize(1200, 900);
    window_->show();
    QApplication::processEvents();
    window_->grid_view()->PublishVisibleArea();
    loop_->TickNow();
  }
  QString Text(int line, int cell) {
    const int row = line;  // one column group: model row = line
    return window_->grid_model()->data(window_->grid_model()->index(row, cell)).toString();
  }
  QColor Color(int line, int cell, int role) {
    return window_->grid_model()
        ->data(window_->grid_model()->index(line, cell), role)
        .value<QBrush>()
        .color();
  }
  QString Panel(const char* name) { return window_->findChild<QLabel*>(name)->text(); }
  QString Caption(Entry entry) { return window_->action(entry)->text(); }
  void Select(int line, int cell) {
    auto* view = window_->grid_view();
    view->setCurrentIndex(view->model()->index(line, cell));
  }

  TempDir runtime_, home_, start_dir_;
  ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_.path()};
  ScopedChdir cd_{start_dir_.path()};
  FakeParts parts_;
  std::atomic<bool> closing_{false};
  engine::DebugRunObserver observer_{&closing_, kLines};
  engine::LineCallBase call_;
  std::map<int, std::shared_ptr<engine::TagTelBasic>> scripts_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<frame::FrameController> controller_;
  std::unique_ptr<FrameLoop> loop_;
  std::vector<int> hung_up_;
};

// One pass asks every line's blocked state before its talk time, in line
// order, then the counts; the window then shows the clock, the blocked
// trunk yellow on red, the connected line's talk time blue on yellow, the
// tray's problem state and the count text.
TEST_F(MainWindowTest, DisplayPassReachesTheWindowInItsOrder) {
  Make(true, "IS_DISP_TALKTIME=1\n");
  parts_.facts.blocked[30] = 1;
  parts_.facts.talking[2] = 65;
  Start();
  parts_.facts.Clear();
  ShowAndTick();

  std::vector<std::string> expected;
  for (int line = 0; line < kLines; ++line) {
    expected.push_back("block " + std::to_string(line));
    if (line != 30) expected.push_back("talk " + std::to_string(line));
  }
  for (const char* count : {"connected", "dialing", "reload"}) expected.push_back(count);
  EXPECT_EQ(parts_.facts.Calls(), expected);

  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(Panel("TimerPanel")).hasMatch());
  EXPECT_EQ(Text(30, frame::kCellStatus), FromGbk("堵塞"));
  EXPECT_EQ(Color(30, 0, Qt::BackgroundRole), QColor(255, 0, 0));
  EXPECT_EQ(Color(30, 4, Qt::ForegroundRole), QColor(255, 255, 0));
  EXPECT_EQ(Text(2, frame::kCellStatus), FromGbk("连通 1:05"));
  EXPECT_EQ(Color(2, 1, Qt::BackgroundRole), QColor(255, 255, 0));
  EXPECT_EQ(Color(2, 1, Qt::ForegroundRole), QColor(0, 0, 255));
  EXPECT_EQ(Text(1, frame::kCellStatus), FromGbk("运行"));
  EXPECT_EQ(Text(1, frame::kCellLine), FromGbk("1 : E1:1"));
  ASSERT_NE(window_->tray(), nullptr);
  EXPECT_EQ(window_->tray()->toolTip(), FromGbk("注意: 脚本退出或线路堵塞"));
  EXPECT_EQ(Panel("CountPanel"), FromGbk("连通数:1.0: 外:1.0, 内:0, 虚:0, Ip:0.0"));
  EXPECT_EQ(Panel("LinePanel"), FromGbk("总线数:31: 外:31, 内:0, 虚:0, Ip:0"));
  EXPECT_EQ(Panel("VerLab"), FromGbk("Ver2.41-DjTup"));

  parts_.facts.blocked.clear();
  parts_.facts.talking[2] = 66;
  loop_->TickNow();
  EXPECT_EQ(Text(30, frame::kCellStatus), FromGbk("运行"));
  EXPECT_EQ(Color(30, 0, Qt::BackgroundRole), QColor(255, 255, 255));
  EXPECT_EQ(Text(2, frame::kCellStatus), FromGbk("连通 1:06"));
  EXPECT_EQ(window_->tray()->toolTip(), FromGbk("Vantorel语音平台"));
}

struct CaptionCase {
  const char* cfg;
  const char* title;
  const char* reload;
  const char* file_menu;
  const char* toggle_hidden;
  const char* toggle_shown;
  std::vector<const char*> panel;  // the debugger panel's buttons, its check box
};

TEST_F(MainWindowTest, CaptionsAndTitleFollowTheLanguage) {
  const CaptionCase cases[] = {
      {"LANGUAGE_TYPE=CN\n", "Vantorel语音系统 运行平台", "重新加载(&L)", "文件(&F)", "显示状态区(&A)",
       "隐藏状态区(&A)", {"关闭当前页(F2)", "单步(F8)", "运行(F9)", "刷新(F5)", "动态刷新&A"}},
      {"LANGUAGE_TYPE=EN\n", "Vantorel CTI Server", "Re&load", "&File", "DispStatus&Area",
       "HideStatus&Area", {"ClosePage(F2)", "Step(F8)", "Run(F9)", "Flush(F5)", "&Auto Flush"}},
      {"LANGUAGE_TYPE=EN\nFORM_TITLE=呼叫中心\n", "呼叫中心", "Re&load", "&File", "DispStatus&Area",
       "HideStatus&Area", {"ClosePage(F2)", "Step(F8)", "Run(F9)", "Flush(F5)", "&Auto Flush"}},
  };
  for (const CaptionCase& c : cases) {
    SCOPED_TRACE(c.cfg);
    TearDown();
    SetUp();
    Make(true, c.cfg);
    Start();
    EXPECT_EQ(window_->windowTitle(), FromGbk(c.title));
    EXPECT_EQ(window_->tray()->toolTip(), FromGbk(c.title));
    EXPECT_EQ(Caption(Entry::kReload), FromGbk(c.reload));
    EXPECT_EQ(window_->menuBar()->actions().at(0)->text(), FromGbk(c.file_menu));
    EXPECT_EQ(Caption(Entry::kBreakpoint), FromGbk("设置(取消)断点"));
    EXPECT_FALSE(window_->action(Entry::kReset)->isEnabled());
    QStringList panel, expected_panel;
    for (QPushButton* b :
         window_->debug_pages()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
      panel << b->text();
    }
    panel << window_->debug_pages()->auto_refresh()->text();
    for (const char* caption : c.panel) expected_panel << FromGbk(caption);
    EXPECT_EQ(panel, expected_panel);

    // The toggle hides the status area and the menu bar, and back.
    window_->action(Entry::kStatusToggle)->trigger();
    EXPECT_TRUE(window_->status_area()->isHidden());
    EXPECT_TRUE(window_->menuBar()->isHidden());
    EXPECT_EQ(Caption(Entry::kStatusToggle), FromGbk(c.toggle_hidden));
    window_->action(Entry::kStatusToggle)->trigger();
    EXPECT_FALSE(window_->status_area()->isHidden());
    EXPECT_FALSE(window_->menuBar()->isHidden());
    EXPECT_EQ(Caption(Entry::kStatusToggle), FromGbk(c.toggle_shown));
  }
}

TEST_F(MainWindowTest, PopupHoldsItsEntriesInOrder) {
  Make(false);
  Start();
  QStringList shown;
  for (QAction* a : window_->popup_menu()->actions()) {
    if (!a->isSeparator()) shown << a->text();
  }
  QStringList expected;
  for (const char* caption : {"打开(&O)", "复位(&R)", "重新加载(&L)", "隐藏状态区", "打开配置文件",
                              "查看运行日志", "Open Debug ...", "Hangup", "退出(&X)"}) {
    expected << FromGbk(caption);
  }
  EXPECT_EQ(shown, expected);
}

// The debug menu and "Open Debug ..." only with IS_DISP_SENTE 1; then
// "Open Debug ..." only on a line with a script of a ready drive, not
// scrambled, and without a page; it opens the line's page.
TEST_F(MainWindowTest, DebugEntriesFollowTheSentenceMode) {
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    TearDown();
    SetUp();
    scripts_.clear();
    Make(false, "IS_DISP_SENTE=" + std::to_string(mode) + "\n");
    GiveScript(3);
    GiveScript(8).scrambled = 1;
    Start();
    ShowAndTick();
    EXPECT_EQ(window_->debug_menu()->isEnabled(), mode == 1);
    EXPECT_EQ(window_->debug_menu()->menuAction()->isEnabled(), mode == 1);
    for (int line : {FakeLineInfo::kNoScriptLine, 8}) {
      Select(line, 0);
      window_->UpdatePopupState();
      EXPECT_FALSE(window_->action(Entry::kOpenDebug)->isEnabled()) << line;
    }
    Select(3, 0);
    window_->UpdatePopupState();
    EXPECT_EQ(window_->action(Entry::kOpenDebug)->isEnabled(), mode == 1);
    // Only IS_DISP_SENTE 1 opens a page; then the line has one.
    window_->action(Entry::kOpenDebug)->trigger();
    EXPECT_EQ(window_->debug_pages()->HasPage(3), mode == 1);
    EXPECT_EQ(window_->debug_pages()->isVisible(), mode == 1);
    window_->UpdatePopupState();
    EXPECT_FALSE(window_->action(Entry::kOpenDebug)->isEnabled());
    window_->action(Entry::kCloseAll)->trigger();
  }
  // A drive that is not ready: disabled.
  Select(3, 0);
  parts_.info.ready = false;
  window_->UpdatePopupState();
  EXPECT_FALSE(window_->action(Entry::kOpenDebug)->isEnabled());
}

TEST_F(MainWindowTest, HangupTellsTheSelectedLineOfAReadyDrive) {
  Make(false);
  Start();
  ShowAndTick();
  Select(7, 5);
  window_->action(Entry::kHangup)->trigger();
  EXPECT_EQ(hung_up_, std::vector<int>{7});
  parts_.info.ready = false;
  window_->action(Entry::kHangup)->trigger();
  EXPECT_EQ(hung_up_, std::vector<int>{7});
}

// Every key reaches the line's keys store as it is typed, where a virtual
// line's key polling reads it; keys typed into other cells go nowhere.
TEST_F(MainWindowTest, KeysTypedIntoTheKeysCellReachTheStoreOneByOne) {
  Make(false);
  Start();
  ShowAndTick();
  frame::TagMonitor* monitor = frame::ProcessMonitor();
  ASSERT_NE(monitor, nullptr);
  Select(5, frame::kCellKeys);
  std::string expected;
  for (char key : std::string("12*#")) {
    QTest::keyClicks(window_->grid_view(), QString(QChar(key)));
    expected += key;
    EXPECT_EQ(monitor->Keys(5), expected);
    EXPECT_EQ(Text(5, frame::kCellKeys), QString::fromLatin1(expected.c_str()));
  }
  // The line takes two keys; the operator types on.
  ASSERT_TRUE(monitor->TakeKeysPrefix(5, "12"));
  QTest::keyClicks(window_->grid_view(), "9");
  EXPECT_EQ(monitor->Keys(5), "*#9");
  Select(6, frame::kCellStatus);
  QTest::keyClicks(window_->grid_view(), "7");
  EXPECT_EQ(monitor->Keys(6), "");
  // Backspace takes the last key the line has not taken; none left: nothing.
  Select(9, frame::kCellKeys);
  QTest::keyClicks(window_->grid_view(), "12");
  for (const char* left : {"1", "", ""}) {
    QTest::keyClick(window_->grid_view(), Qt::Key_Backspace);
    EXPECT_EQ(monitor->Keys(9), left);
    EXPECT_EQ(Text(9, frame::kCellKeys), QString(left));
  }
}

TEST_F(MainWindowTest, CloseBoxHidesOnlyWithATray) {
  for (bool tray : {true, false}) {
    SCOPED_TRACE(tray);
    TearDown();
    SetUp();
    Make(tray);
    Start();
    window_->show();
    QApplication::processEvents();
    window_->close();
    QApplication::processEvents();
    EXPECT_EQ(window_->isVisible(), !tray);
    EXPECT_FALSE(loop_->ended());
  }
}

// After a failed build the frame never becomes active: the close box ends
// the program with status 1.
TEST_F(MainWindowTest, CloseBoxEndsAFailedBuild) {
  parts_.build_status = -100;
  Make(true);
  Start();
  EXPECT_EQ(Panel("InfoPanel"), FromGbk("初始化系统失败: 返回值=-100"));
  QSignalSpy ended(loop_.get(), &FrameLoop::Ended);
  window_->show();
  window_->close();
  ASSERT_EQ(ended.count(), 1);
  EXPECT_EQ(ended.at(0).at(0).toInt(), frame::kExitBuildFailed);
  EXPECT_TRUE(loop_->ended());
}

// A quit posted from a line thread runs the shutdown on the window thread
// through one queued pass.
TEST_F(MainWindowTest, QuitPostedFromAnotherThreadEndsTheLoop) {
  Make(false);
  Start();
  QSignalSpy ended(loop_.get(), &FrameLoop::Ended);
  std::thread line([this] {
    for (int i = 0; i < 5; ++i) controller_->PostQuit();
  });
  line.join();
  ASSERT_TRUE(ended.wait(5000));
  EXPECT_EQ(ended.at(0).at(0).toInt(), frame::kExitNormal);
  EXPECT_TRUE(controller_->ended());
}

TEST_F(MainWindowTest, MonitorConnectionTextFromAnotherThread) {
  Make(false);
  std::thread server([this] {
    window_->ShowMonitorConn("Listen: 2004");
    window_->ShowMonitorConn("Clients: 1");
  });
  server.join();
  QApplication::processEvents();
  EXPECT_EQ(Panel("MonConnPanel"), "Clients: 1");
}

// "FormPos.dat": the saved place comes back, the file keeps keys it does
// not know, and a place without WinY gives the default layout.
TEST_F(MainWindowTest, PositionFileRoundTripKeepsUnknownKeys) {
  Make(false);
  const std::string file = home_.File("FormPos.dat");
  WriteFile(file, "Other = kept\nWinX = 10\nWinY = 20\nWinWidth = 700\nWinHeight = 0\n"
                  "GridWid0 = 99\nGridWid2 = -1\n");
  frame::TagMapCfg saved(file);
  const int height_before = window_->height();
  window_->ApplyPosition(saved);
  EXPECT_EQ(window_->pos(), QPoint(10, 20));
  EXPECT_EQ(window_->width(), 700);
  EXPECT_EQ(window_->height(), height_before);  // 0 keeps the height
  EXPECT_EQ(window_->grid_view()->columnWidth(0), 99);
  EXPECT_EQ(window_->grid_view()->columnWidth(2), frame::kDefaultColumnWidths[2]);

  window_->grid_view()->setColumnWidth(1, 140);  // the operator drags a column
  window_->StorePosition(&saved);
  ASSERT_EQ(saved.Save(), 13);
  frame::TagMapCfg again(file);
  EXPECT_EQ(again.values().at("Other"), "kept");
  const std::pair<const char*, int32_t> keys[] = {
      {"WinX", 10}, {"WinY", 20}, {"WinWidth", 700}, {"GridWid0", 99}, {"GridWid1", 140},
      {"GridWid2", frame::kDefaultColumnWidths[2]}, {"GridWid7", frame::kDefaultColumnWidths[7]}};
  for (const auto& [key, value] : keys) EXPECT_EQ(again.GetInt(key), value) << key;
}

TEST_F(MainWindowTest, MissingWinYGivesTheDefaultLayout) {
  Make(false);
  RunCfg().column_groups = 3;
  RunCfg().sentence_mode = 1;
  const std::string file = home_.File("FormPos.dat");
  WriteFile(file, "WinX = 10\nWinWidth = 300\nGridWid0 = 99\n");
  frame::TagMapCfg saved(file);
  window_->ApplyPosition(saved);
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  EXPECT_EQ(window_->pos(), QPoint(0, 0));
  EXPECT_EQ(window_->size(), screen);
  const auto widths = DefaultColumnWidths(screen.width(), 3, true);
  for (int col = 0; col < 8; ++col) {
    EXPECT_EQ(window_->grid_view()->columnWidth(col), widths[col]) << col;
  }
  EXPECT_EQ(window_->grid_view()->columnWidth(0), 16);

  // One column group: the built-in layout stays.
  TearDown();
  SetUp();
  Make(false);
  window_->resize(640, 480);
  window_->ApplyPosition(saved);
  EXPECT_EQ(window_->size(), QSize(640, 480));
}

}  // namespace
}  // namespace gui
