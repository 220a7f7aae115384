#include "frame/frame_controller.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/log.h"
#include "frame/monitor.h"
#include "frame/version_text.h"
#include "gtest/gtest.h"
#include "platform/named_event.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

// A line drive that records what the frame asks of it. RunAllLines waits
// until the test opens its gate or the shutdown begins, so that a test can
// hold the frame in the hand-out of the lines.
class FakeParts : public SystemParts {
 public:
  int32_t build_status = 0;
  LinesByKind lines{4, 4, 0, 0, 0};

  int32_t BuildDrive(std::string_view, TagRunCfg*) override {
    Note("build");
    has_drive_ = true;
    return build_status;
  }
  bool HasDrive() const override { return has_drive_; }
  int32_t DriveStatus() const override { return build_status; }
  const LineDriveFacts* Facts() const override { return nullptr; }
  LinesByKind CountLinesByKind() const override { return lines; }
  LineInfoSource* LineInfo() override { return nullptr; }
  int32_t RunAllLines(std::string_view) override {
    Note("run begins");
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return gate_open_ || shutting_down_; });
    events_.push_back("run ends");
    return 0;
  }
  void StartReload() override { Note("reload"); }
  void BeginShutdown() override {
    std::lock_guard<std::mutex> lock(mu_);
    shutting_down_ = true;
    events_.push_back("begin shutdown");
    cv_.notify_all();
  }
  void DeleteDrive() override {
    if (has_drive_) Note("delete");
    has_drive_ = false;
  }

  int32_t AbandonedLines() override { return abandoned; }
  int32_t abandoned = 0;

  void OpenGate() {
    std::lock_guard<std::mutex> lock(mu_);
    gate_open_ = true;
    cv_.notify_all();
  }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mu_);
    return events_;
  }
  int Count(const std::string& event) const {
    auto e = Events();
    return static_cast<int>(std::count(e.begin(), e.end(), event));
  }

  void Note(const std::string& event) {
    std::lock_guard<std::mutex> lock(mu_);
    events_.push_back(event);
  }

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool gate_open_ = false;
  bool shutting_down_ = false;
  bool has_drive_ = false;
  std::vector<std::string> events_;
};

struct FakeWindow : WindowView {
  void SetVersionText(std::string_view) override {}
  void SetInfoText(std::string_view text) override { info = text; }
  void SetLinesText(std::string_view text) override { lines = text; }
  std::string info, lines;
  void ApplyPosition(const TagMapCfg& saved) override { applied_x = saved.GetInt("WinX"); }
  void StorePosition(TagMapCfg* cfg) override { cfg->SetInt("WinX", 77); }
  int32_t applied_x = -2;
  void SetClockText(std::string_view) override {}
  void ShowFromTray() override { ++shown; }
  void SetTrayIcon(int, std::string_view) override {}
  void GridRefreshed(int) override {}
  void SetCountText(std::string_view) override {}
  void PostQuit() override {
    if (controller != nullptr) controller->PostQuit();
  }
  FrameController* controller = nullptr;
  std::atomic<int> shown{0};
};

bool CanConnect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// The main log of a folder: every dated file of "frame.log" together.
std::string MainLogOf(const std::string& dir) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("frame", 0) == 0) all += ReadFile(entry.path().string()).value_or("");
  }
  return all;
}

// The raw trace lines without their time and thread prefix.
std::vector<std::string> RawTraces(const std::string& dir) {
  std::vector<std::string> out;
  std::string text = ReadFile(dir + "/" + kRawLogName).value_or("");
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    // "date time 0xthread [text]"
    size_t start = line.find(" [");
    if (start == std::string::npos || line.size() < start + 3) continue;
    out.push_back(line.substr(start + 2, line.size() - start - 3));
  }
  return out;
}

// A program folder with its configuration, the process's own events
// folder and a frame on the fake drive. The frame changes into the folder
// at start; the test's own working directory comes back at the end.
class FrameControllerTest : public ::testing::Test {
 protected:
  void WriteCfg(const std::string& extra) {
    WriteFile(home_.File("VtTelRun.cfg"),
              "IS_WRITE_LOG=2\nLOG_FILE=frame.log\nDISP_DELAY=100\n" + extra);
  }
  void SetUp() override {
    RunCfg() = TagRunCfg();
    WriteCfg("LOAD_DELAY=125\n");
    window_.controller = &controller_;
  }
  void TearDown() override {
    CloseProcessLog();
    RunCfg() = TagRunCfg();
  }
  std::string MainLog() { return MainLogOf(home_.path()); }
  bool StartFrame() {
    bool ok = controller_.Start(home_.path());
    EXPECT_TRUE(ok);
    return ok;
  }
  // Runs the message loop on its own thread.
  std::thread LoopThread(int* status) {
    return std::thread([this, status] { *status = controller_.RunMessageLoop(); });
  }
  bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 10) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }

  TempDir runtime_, home_, start_dir_;
  ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_.path()};
  ScopedChdir cd_{start_dir_.path()};
  FakeParts parts_;
  FakeWindow window_;
  FrameController controller_{&parts_, &window_, &RunCfg()};
};

TEST_F(FrameControllerTest, ShutdownRunsItsStepsInOrderOnce) {
  ASSERT_TRUE(StartFrame());
  EXPECT_EQ(controller_.version(), "Ver2.41-DjTup");
  EXPECT_EQ(VersionText(), "Ver2.41-DjTup");
  EXPECT_EQ(window_.lines, "总线数:4: 外:4, 内:0, 虚:0, Ip:0");
  EXPECT_GE(window_.info.size(), 14u) << window_.info;
  EXPECT_EQ(controller_.display_period_ms(), 100u);
  EXPECT_NE(ProcessMonitor(), nullptr);
  EXPECT_EQ(controller_.grid().RowCount(), 5);
  parts_.OpenGate();
  ASSERT_TRUE(controller_.JoinMainRun(5000));
  EXPECT_FALSE(controller_.flags().closing.load());

  ASSERT_TRUE(platform::SignalNamedEvent(platform::kQuitEventName));
  int status = -7;
  std::thread loop = LoopThread(&status);
  loop.join();
  EXPECT_EQ(status, kExitNormal);
  EXPECT_TRUE(controller_.ended());
  EXPECT_EQ(ProcessMonitor(), nullptr);

  const std::vector<std::string> expected = {
      "WSAStartup(WINSOCK_VERSION=0x202)", "WSAStartup OK.",
      "Create : MainRunThread..", "InitSystem() OK.", "new TagCtrlPages()...",
      "new TagCtrlPages() OK.",   "HasQuitEvent!",    "WMVtSysQuit()!", "isCloseing = true;",
      "delete pCtrlPages...",     "ModifyTrayIcon()...", "SavePost()...",
      "delete pTelDrive;",        "delete pRemoteCtrl;", "delete pMonitor;",
      "delete _logFp ...",        "Close Ok.",        "Action = caFree;"};
  EXPECT_EQ(RawTraces(home_.path()), expected);
  EXPECT_NE(MainLog().find("System Closed."), std::string::npos);
  EXPECT_NE(MainLog().find("TagMonitor() OK."), std::string::npos);
  EXPECT_EQ(parts_.Events(),
            (std::vector<std::string>{"build", "run begins", "run ends", "begin shutdown", "delete"}));

  // A second request finds the frame closed and does nothing; the events
  // are gone, so a new owner can take their names.
  controller_.Shutdown();
  EXPECT_EQ(parts_.Count("delete"), 1);
  EXPECT_EQ(RawTraces(home_.path()).size(), expected.size());
  platform::NamedEvent again;
  EXPECT_TRUE(again.Create(platform::kQuitEventName));
}

// LOAD_DELAY below 1000 makes the frame active while the lines are still
// handed out: a quit then stops the hand-out and joins it before the drive
// goes, and the hand-out's end does not make the frame active again.
TEST_F(FrameControllerTest, QuitDuringHandOutStopsItBeforeTheDriveGoes) {
  ASSERT_TRUE(StartFrame());
  ASSERT_TRUE(WaitFor([&] { return !controller_.flags().closing.load(); }));
  int status = -7;
  std::thread loop = LoopThread(&status);
  controller_.Exit();
  loop.join();
  EXPECT_EQ(status, kExitNormal);
  EXPECT_EQ(parts_.Events(),
            (std::vector<std::string>{"build", "run begins", "begin shutdown", "run ends", "delete"}));
  EXPECT_TRUE(controller_.flags().closing.load());
  auto traces = RawTraces(home_.path());
  auto exit = std::find(traces.begin(), traces.end(), "Exit()!");
  ASSERT_NE(exit, traces.end());
  ASSERT_NE(exit + 1, traces.end());
  EXPECT_EQ(exit[1], "WMVtSysQuit()!");
}

// With LOAD_DELAY of 1000 or more the frame stays inactive until every
// line is handed out: a quit request waits for that, then is acted on.
TEST_F(FrameControllerTest, QuitBeforeTheLinesAreHandedOutWaitsForThem) {
  WriteCfg("LOAD_DELAY=1000\n");
  ASSERT_TRUE(StartFrame());
  int status = -7;
  std::thread loop = LoopThread(&status);
  ASSERT_TRUE(platform::SignalNamedEvent(platform::kQuitEventName));
  frame::FrameController::RequestQuitFromSignal();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_FALSE(controller_.ended());
  EXPECT_EQ(parts_.Count("delete"), 0);
  parts_.OpenGate();
  loop.join();
  EXPECT_EQ(status, kExitNormal);
  EXPECT_EQ(parts_.Count("delete"), 1);
}

// A failed build leaves the frame inactive for good: no monitor, no main
// run thread, the shutdown ignored; a quit request ends the program with
// the build-failure status instead of being ignored for ever.
TEST_F(FrameControllerTest, FailedBuildReportsAndEndsOnQuit) {
  struct Case {
    const char* language;
    const char* text;
  };
  for (const Case& c : {Case{"LANGUAGE_TYPE=CN\n", "初始化系统失败: 返回值=-100"},
                        Case{"LANGUAGE_TYPE=EN\n", "Initialize failed. return : -100"}}) {
    SCOPED_TRACE(c.language);
    TempDir runtime, home;
    ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
    WriteFile(home.File("VtTelRun.cfg"),
              std::string("IS_WRITE_LOG=2\nLOG_FILE=frame.log\nDISP_DELAY=100\n") + c.language);
    RunCfg() = TagRunCfg();
    FakeParts parts;
    parts.build_status = -100;
    FakeWindow window;
    FrameController controller(&parts, &window, &RunCfg());
    window.controller = &controller;
    ASSERT_TRUE(controller.Start(home.path()));
    EXPECT_TRUE(controller.build_failed());
    EXPECT_EQ(ProcessMonitor(), nullptr);
    EXPECT_EQ(parts.Events(), (std::vector<std::string>{"build", "delete"}));
    controller.Shutdown();
    EXPECT_FALSE(controller.ended());

    int status = -7;
    std::thread loop([&] { status = controller.RunMessageLoop(); });
    ASSERT_TRUE(platform::SignalNamedEvent(platform::kQuitEventName));
    loop.join();
    EXPECT_EQ(status, kExitBuildFailed);
    EXPECT_EQ(window.info, c.text);
    std::string log = MainLogOf(home.path());
    EXPECT_NE(log.find(c.text), std::string::npos) << log;
    EXPECT_NE(log.find("System Closed."), std::string::npos);
    EXPECT_EQ(parts.Count("run begins"), 0);
  }
}

// With IS_SHOW_FORM off the window stays in the tray until a second copy
// of the program asks the running one to show it.
TEST_F(FrameControllerTest, ShowRequestOfASecondCopyReachesTheWindow) {
  WriteCfg("IS_SHOW_FORM=no\n");
  ASSERT_TRUE(StartFrame());
  EXPECT_EQ(window_.shown.load(), 0);
  parts_.OpenGate();
  ASSERT_TRUE(WaitFor([&] { return !controller_.flags().closing.load(); }));
  int status = -7;
  std::thread loop = LoopThread(&status);
  EXPECT_EQ(AnnounceSecondInstance(), kExitSecondInstance);
  EXPECT_TRUE(WaitFor([&] { return window_.shown.load() == 1; }, 2000));
  controller_.PostQuit();
  loop.join();
  EXPECT_NE(MainLog().find("程序已经启动！"), std::string::npos);
}

// The window position comes from the folder the program was started in
// and goes to the program's folder; keys the window does not know stay.
TEST_F(FrameControllerTest, WindowPositionReadFromStartFolderSavedToProgramFolder) {
  WriteFile(start_dir_.File(kFormPosFile), "WinX = 5\nWinY = 6\nOther = kept\n");
  TagMapCfg form_pos(kFormPosFile);
  FakeParts parts;
  FakeWindow window;
  {
    FrameController controller(&parts, &window, &RunCfg(), &form_pos);
    window.controller = &controller;
    ASSERT_TRUE(controller.Start(home_.path()));
    EXPECT_EQ(window.applied_x, 5);
    parts.OpenGate();
    ASSERT_TRUE(controller.JoinMainRun(5000));
    controller.Shutdown();
    ASSERT_TRUE(controller.ended());
  }
  EXPECT_EQ(ReadFile(home_.File(kFormPosFile)).value_or(""),
            "Other = kept\nWinX = 77\nWinY = 6\n");
  EXPECT_EQ(ReadFile(start_dir_.File(kFormPosFile)).value_or(""),
            "WinX = 5\nWinY = 6\nOther = kept\n");
}

// The close box only hides the window of a running program; before the
// lines are handed out, or after a failed build, it ends the program at
// once without the shutdown.
TEST_F(FrameControllerTest, CloseBoxHidesARunningProgramAndEndsAnInactiveOne) {
  WriteCfg("LOAD_DELAY=1000\n");
  ASSERT_TRUE(StartFrame());
  EXPECT_FALSE(controller_.Tick());
  EXPECT_EQ(controller_.CloseBox(), kExitNormal);
  EXPECT_TRUE(controller_.ended());
  EXPECT_TRUE(controller_.Tick());
  EXPECT_EQ(parts_.Count("delete"), 0);
  parts_.OpenGate();
  ASSERT_TRUE(controller_.JoinMainRun(5000));

  TempDir runtime, home;
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
  WriteFile(home.File("VtTelRun.cfg"), "IS_WRITE_LOG=2\nLOG_FILE=frame.log\nDISP_DELAY=100\n");
  FakeParts running;
  FakeWindow window;
  FrameController controller(&running, &window, &RunCfg());
  ASSERT_TRUE(controller.Start(home.path()));
  running.OpenGate();
  ASSERT_TRUE(controller.JoinMainRun(5000));
  EXPECT_EQ(controller.CloseBox(), kCloseBoxHides);
  EXPECT_FALSE(controller.Tick());
  controller.Shutdown();
  EXPECT_TRUE(controller.Tick());
}

// A line that did not stop within the drive's waits may still write to the
// monitor table: the table is not freed under it.
TEST_F(FrameControllerTest, MonitorTableIsKeptForLinesThatDidNotStop) {
  ASSERT_TRUE(StartFrame());
  parts_.OpenGate();
  ASSERT_TRUE(controller_.JoinMainRun(5000));
  TagMonitor* table = ProcessMonitor();
  ASSERT_NE(table, nullptr);
  parts_.abandoned = 1;
  controller_.Shutdown();
  EXPECT_EQ(ProcessMonitor(), nullptr);
  table->SetCell("still here", 0, kCellRunInfo);  // no use after free
  EXPECT_NE(MainLog().find("1 lines did not stop"), std::string::npos);
  delete table;
}

// The monitor server lives from the build to the shutdown's step for it,
// receives the count text of every pass as its summary and shows its state
// in the connection panel.
TEST_F(FrameControllerTest, MonitorServerFromBuildToShutdown) {
  struct Panel : MonitorConnPanel {
    void ShowMonitorConn(std::string_view text) override {
      std::lock_guard<std::mutex> lock(mu);
      last = text;
    }
    std::mutex mu;
    std::string last;
  } panel;
  const int port = testing_support::FreeLoopbackPort();
  WriteCfg("LANGUAGE_TYPE=EN\nMONITOR_MAX_CONN=2\nMONITOR_PORT=" + std::to_string(port) + "\n");
  controller_.SetMonitorPanel(&panel);
  ASSERT_TRUE(StartFrame());
  ASSERT_NE(controller_.remote(), nullptr);
  EXPECT_TRUE(controller_.remote()->running());
  {
    std::lock_guard<std::mutex> lock(panel.mu);
    EXPECT_EQ(panel.last, "MonitorServer Running, Conn Num: 0");
  }
  parts_.OpenGate();
  ASSERT_TRUE(controller_.JoinMainRun(5000));
  EXPECT_FALSE(controller_.Tick());
  EXPECT_EQ(controller_.remote()->Summary(), "Connected:0.0: Ex:0.0, In:0, Vir:0, Ip:0.0");
  controller_.Shutdown();
  EXPECT_EQ(controller_.remote(), nullptr);
  EXPECT_FALSE(CanConnect(port));
  EXPECT_NE(MainLog().find("TagRemoteCtrl()."), std::string::npos);
}

// The debugger's pages close before a reload starts and first at shutdown,
// before the drive goes.
TEST_F(FrameControllerTest, ReloadOnlyForAReadyDrive) {
  struct Pages : Debugger {
    explicit Pages(FakeParts* p) : parts(p) {}
    void CloseAllPages() override { parts->Note("close pages"); }
    FakeParts* parts;
  } pages(&parts_);
  controller_.SetDebugger(&pages);
  ASSERT_TRUE(StartFrame());
  controller_.Reload();
  EXPECT_EQ(parts_.Count("reload"), 1);
  parts_.build_status = -1;
  controller_.Reload();
  EXPECT_EQ(parts_.Count("reload"), 1);
  parts_.build_status = 0;
  parts_.OpenGate();
  ASSERT_TRUE(controller_.JoinMainRun(5000));
  controller_.Shutdown();
  // The hand-out's own events run on its thread, in any order with these.
  std::vector<std::string> events = parts_.Events();
  std::erase_if(events, [](const std::string& e) { return e.rfind("run ", 0) == 0; });
  EXPECT_EQ(events, (std::vector<std::string>{"build", "close pages", "reload", "close pages",
                                              "begin shutdown", "delete"}));
}

}  // namespace
}  // namespace frame
