#include "frame/frame_controller.h"

#include <ctime>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/tcp_socket.h"
#include "frame/version_text.h"
#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/message_service.h"

namespace frame {
namespace {

constexpr const char* kSecondInstanceText = "程序已经启动！";
constexpr const char* kSecondInstanceCaption = "Vantorel自动语音系统平台";
constexpr const char* kBuildFailedCaption = "Vantorel System";
constexpr const char* kMainRunThreadName = "MainRunThread";

// Set by the end of the user's session (a signal handler).
std::atomic<bool> signal_quit{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

int AnnounceSecondInstance() {
  platform::ShowMessage(kSecondInstanceText, kSecondInstanceCaption, platform::MessageIcon::kError);
  if (platform::SignalNamedEvent(platform::kShowEventName)) {
    platform::GetClock().Sleep(kShowRequestWaitMs);
  }
  return kExitSecondInstance;
}

FrameController::FrameController(SystemParts* parts, WindowView* window, TagRunCfg* cfg,
                                 TagMapCfg* form_pos)
    : parts_(parts), window_(window), cfg_(cfg), form_pos_(form_pos) {}

FrameController::~FrameController() {
  if (main_run_.joinable()) {
    parts_->BeginShutdown();
    main_run_.JoinFor(kMainRunJoinMs);
  }
  DeleteRemote();
  DeleteMonitor();
  CloseEvents();
}

void FrameController::DeleteRemote() {
  if (pass_) pass_->SetSummaryTarget(nullptr);
  remote_.reset();
}

void FrameController::DeleteMonitor() {
  if (!monitor_) return;
  if (ProcessMonitor() == monitor_.get()) SetProcessMonitor(nullptr);
  monitor_->SetLineInfoSource(nullptr);
  monitor_.reset();
}

void FrameController::RequestQuitFromSignal() {
  signal_quit.store(true, std::memory_order_relaxed);
}

void FrameController::PostQuit() {
  quit_posted_.store(true, std::memory_order_relaxed);
  wake_.store(true, std::memory_order_relaxed);
  platform::WakeStopSleepers();
  if (wake_hook_) wake_hook_();
}

void FrameController::Exit() {
  WriteRawLog("Exit()!");
  PostQuit();
}

bool FrameController::Start(const std::string& program_dir) {
  if (!quit_event_.Create(platform::kQuitEventName) ||
      !show_event_.Create(platform::kShowEventName)) {
    CloseEvents();
    return false;
  }
  version_ = kVersionText;
  SetVersionText(version_);
  window_->SetVersionText(version_);
  if (!program_dir.empty()) platform::ChangeDirectory(program_dir);
  // The drive reads the file again and reports its errors.
  ReadCfgFile(kRunCfgFileName, cfg_);
  OpenLog();
  if (form_pos_ != nullptr) window_->ApplyPosition(*form_pos_);
  pass_ = std::make_unique<DisplayPass>(window_, &flags_, DisplayOptionsFrom(*cfg_));
  pass_->SetEvents(&show_event_, &quit_event_);
  Create();
  WriteRawLog("InitSystem() OK.");
  if (cfg_->show_form != 0) window_->ShowFromTray();
  WriteRawLog("new TagCtrlPages()...");
  WriteRawLog("new TagCtrlPages() OK.");
  return true;
}

void FrameController::OpenLog() {
  OpenProcessLog(std::make_unique<TagWriteLog>(cfg_->log_file, static_cast<uint32_t>(cfg_->log_size),
                                               cfg_->immediate_log != 0, cfg_->log_level <= 0));
}

void FrameController::Create() {
  const int32_t status = parts_->BuildDrive(kRunCfgFileName, cfg_);
  english_ = cfg_->language == 1;
  if (status < 0) {
    FailBuild(status);
    return;
  }
  ShowStartInfo();
  const LinesByKind lines = parts_->CountLinesByKind();
  grid_.Resize(lines.total + 1, kMonitorCells);
  LogAlways("TagMonitor()...");
  monitor_ = std::make_unique<TagMonitor>(lines.total);
  monitor_->SetLineInfoSource(parts_->LineInfo());
  SetProcessMonitor(monitor_.get());
  LogAlways("TagMonitor() OK.");
  remote_ = std::make_unique<TagRemoteCtrl>(lines.total, cfg_->monitor_port, cfg_->monitor_max_conn,
                                            monitor_.get(), panel_);
  LogAlways("TagRemoteCtrl().");
  pass_->SetSummaryTarget(remote_.get());
  DispMonitor(&grid_);
  LogMsg("DispMonitor().");
  pass_->SetLineFacts(parts_->Facts());
  StartMainRun();
  period_ms_ = static_cast<uint32_t>(cfg_->disp_delay);
  WriteRawLog("Create : MainRunThread..");
}

void FrameController::FailBuild(int32_t status) {
  parts_->DeleteDrive();
  platform::GetClock().Sleep(kFailedBuildSleepMs);
  build_failed_ = true;
  char text[96];
  std::snprintf(text, sizeof text,
                english_ ? "Initialize failed. return : %d" : "初始化系统失败: 返回值=%d", status);
  platform::ShowMessage(text, kBuildFailedCaption, platform::MessageIcon::kError);
  window_->SetInfoText(text);
  LogAlways(text);
}

void FrameController::ShowStartInfo() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char text[96];
  std::snprintf(text, sizeof text, "%d-%d-%d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  window_->SetInfoText(text);
  const LinesByKind n = parts_->CountLinesByKind();
  std::snprintf(text, sizeof text,
                english_ ? "Lines:%d: Ex:%d, In:%d, Vir:%d, Ip:%d"
                         : "总线数:%d: 外:%d, 内:%d, 虚:%d, Ip:%d",
                n.total, n.external, n.internal, n.virtual_lines, n.ip);
  window_->SetLinesText(text);
}

void FrameController::StartMainRun() {
  main_run_.Start(kMainRunThreadName, kMainRunStackBytes, [this] { MainRunThread(); });
}

void FrameController::MainRunThread() {
  LogMsg("MainRunThread()...");
  if (static_cast<uint32_t>(cfg_->load_delay) < kLoadDelayClearsAtStart) ClearClosing();
  parts_->RunAllLines(kRunCfgFileName);
  ClearClosing();
}

// The frame becomes active, unless the shutdown has begun meanwhile.
void FrameController::ClearClosing() {
  std::lock_guard<std::mutex> lock(closing_mu_);
  if (!shutting_down_) flags_.closing.store(false, std::memory_order_relaxed);
}

bool FrameController::TakeQuitRequest() {
  if (signal_quit.load(std::memory_order_relaxed)) return true;
  if (quit_posted_.load(std::memory_order_relaxed)) return true;
  return build_failed_ && quit_event_.is_open() && quit_event_.IsSet();
}

bool FrameController::Tick() {
  if (ended_) return true;
  wake_.store(false, std::memory_order_relaxed);
  pass_->Run();
  // A request before the lines are handed out stays pending.
  if (TakeQuitRequest()) {
    if (build_failed_) {
      EndFailedBuild();
    } else if (!flags_.closing.load(std::memory_order_relaxed)) {
      QuitMessage();
    }
  }
  return ended_;
}

int FrameController::RunMessageLoop() {
  platform::Clock& clock = platform::GetClock();
  while (!Tick()) {
    // A posted quit shortens the wait only once the frame is active.
    const bool active = !flags_.closing.load(std::memory_order_relaxed);
    clock.Sleep(period_ms_, active ? &wake_ : nullptr);
  }
  return exit_status_;
}

int FrameController::CloseBox() {
  if (!flags_.closing.load(std::memory_order_relaxed)) return kCloseBoxHides;
  if (!ended_) {
    if (build_failed_) {
      EndFailedBuild();
    } else {
      ended_ = true;
    }
  }
  return exit_status_;
}

void FrameController::QuitMessage() {
  quit_posted_.store(false, std::memory_order_relaxed);
  signal_quit.store(false, std::memory_order_relaxed);
  WriteRawLog("WMVtSysQuit()!");
  Shutdown();
}

void FrameController::EndFailedBuild() {
  LogAlways("quit request after a failed build");
  CloseProcessLog();
  CloseEvents();
  ended_ = true;
  exit_status_ = kExitBuildFailed;
}

void FrameController::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(closing_mu_);
    if (flags_.closing.load(std::memory_order_relaxed)) return;
    flags_.closing.store(true, std::memory_order_relaxed);
    shutting_down_ = true;
  }
  WriteRawLog("isCloseing = true;");
  WaitForDisplayPass();
  WriteRawLog("delete pCtrlPages...");
  if (debugger_ != nullptr) debugger_->CloseAllPages();
  WriteRawLog("ModifyTrayIcon()...");
  WriteRawLog("SavePost()...");
  SavePost();
  WriteRawLog("delete pTelDrive;");
  DeleteDrive();
  WriteRawLog("delete pRemoteCtrl;");
  DeleteRemote();
  WriteRawLog("delete pMonitor;");
  if (const int32_t left = parts_->AbandonedLines(); left > 0) {
    // Lines that did not stop may still write to the table: it is left to
    // them for the rest of the process.
    LogAlwaysF("%d lines did not stop; the monitor table is kept for them.", left);
    SetProcessMonitor(nullptr);
    static_cast<void>(monitor_.release());
  }
  DeleteMonitor();
  WriteRawLog("delete _logFp ...");
  CloseProcessLog();
  WriteRawLog("Close Ok.");
  CloseEvents();
  TcpCleanup();
  WriteRawLog("Action = caFree;");
  ended_ = true;
}

// Into the program's folder (the working directory since the start).
void FrameController::SavePost() {
  if (form_pos_ == nullptr) return;
  window_->StorePosition(form_pos_);
  if (form_pos_->Save() < 0) LogAlwaysF("%s: the window position was not saved.", kFormPosFile);
}

void FrameController::WaitForDisplayPass() {
  platform::Clock& clock = platform::GetClock();
  int steps = 0;
  do {
    clock.Sleep(kTimerWaitStepMs);
  } while (++steps < kTimerWaitSteps && flags_.timer_busy.load(std::memory_order_relaxed));
}

// The drive is never freed under the thread that hands out its lines:
// that thread is told to stop and joined first.
void FrameController::DeleteDrive() {
  pass_->SetLineFacts(nullptr);
  if (!parts_->HasDrive()) return;
  parts_->BeginShutdown();
  if (main_run_.joinable() && !main_run_.JoinFor(kMainRunJoinMs)) {
    LogAlways("MainRunThread did not end; the drive waits for its pass");
  }
  parts_->DeleteDrive();
  platform::GetClock().Sleep(kAfterDriveSleepMs);
}

void FrameController::Reload() {
  if (!parts_->HasDrive() || parts_->DriveStatus() != 0) return;
  if (debugger_ != nullptr) debugger_->CloseAllPages();
  parts_->StartReload();
}

void FrameController::CloseEvents() {
  quit_event_.Reset();
  quit_event_.Close();
  show_event_.Reset();
  show_event_.Close();
}

}  // namespace frame
