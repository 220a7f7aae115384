// The life cycle of the process without a window toolkit: one instance per
// user, the named events other programs use, the build of the system in
// its fixed order, the main run thread that hands out the lines, the
// message loop that runs the display pass, and the shutdown in its fixed
// order with bounded waits.
//
// Quit requests: "VtTel Quit" (answered by the display pass, which posts
// the quit message), PostQuit/Exit (a script's "Exit(" from a line thread)
// and the end of the user's session (RequestQuitFromSignal, for SIGTERM,
// SIGINT and SIGHUP). A request is acted on once the lines have been
// handed out; before that it stays pending. After a failed build the frame
// never becomes active, so a request then flushes the log and ends the
// loop with kExitBuildFailed instead of being ignored for ever.
//
// Ownership: the controller owns the named events, the monitor table (the
// process-wide one while it exists), the main run thread and the process
// log it opens; parts and window are the caller's and must outlive it.
// Thread rules: everything on the window thread (the thread that calls
// Start and Tick or RunMessageLoop) except PostQuit and Exit (any thread, never
// block) and RequestQuitFromSignal (async-signal-safe).
#ifndef VTTEL_FRAME_FRAME_CONTROLLER_H_
#define VTTEL_FRAME_FRAME_CONTROLLER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "frame/debugger.h"
#include "frame/display_pass.h"
#include "frame/monitor.h"
#include "frame/monitor_grid.h"
#include "frame/remote_ctrl.h"
#include "frame/run_cfg.h"
#include "frame/system_parts.h"
#include "frame/window_view.h"
#include "platform/named_event.h"
#include "platform/thread.h"

namespace frame {

inline constexpr const char* kRunCfgFileName = "VtTelRun.cfg";
inline constexpr const char* kVersionText = "Ver2.41-DjTup";
// Exit statuses of the process.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitSecondInstance = -1;  // 255 as a process status
inline constexpr int kExitBuildFailed = 1;
// CloseBox: the window only hides.
inline constexpr int kCloseBoxHides = -2;
// Fixed waits.
inline constexpr uint32_t kShowRequestWaitMs = 130;
inline constexpr uint32_t kFailedBuildSleepMs = 600;
inline constexpr uint32_t kAfterDriveSleepMs = 150;
inline constexpr uint32_t kTimerWaitStepMs = 100;
inline constexpr int kTimerWaitSteps = 20;
inline constexpr uint32_t kStartTimerMs = 1000;  // display period before Create ends
inline constexpr uint32_t kLoadDelayClearsAtStart = 1000;
inline constexpr size_t kMainRunStackBytes = 0x80000;
// How long the shutdown waits for the main run thread once the drive has
// been told to stop handing out lines.
inline constexpr uint32_t kMainRunJoinMs = 15000;

// A second instance: shows "程序已经启动！", asks the running one to show
// its window, and returns kExitSecondInstance.
int AnnounceSecondInstance();

class FrameController {
 public:
  // form_pos (may be null) is the window-position file read at start.
  FrameController(SystemParts* parts, WindowView* window, TagRunCfg* cfg,
                  TagMapCfg* form_pos = nullptr);
  ~FrameController();  // closes what a shutdown did not (events, thread)
  FrameController(const FrameController&) = delete;
  FrameController& operator=(const FrameController&) = delete;

  // The main window's creation steps: the events, the version text, the
  // working directory (program_dir; empty: unchanged), the configuration,
  // the log, Create and the start-up traces. False when the events cannot
  // be created (another owner).
  bool Start(const std::string& program_dir);
  // Builds the drive, the monitor table and starts the main run thread.
  void Create();
  // One turn of the message loop: a display pass, then the quit requests
  // (acted on once the frame is active; after a failed build at once).
  // True once the program is to end with exit_status().
  bool Tick();
  // Ticks every display_period_ms() until the program is to end; returns
  // its exit status. A window toolkit drives Tick from its own timer
  // instead.
  int RunMessageLoop();
  // The main window's close box: kCloseBoxHides while the frame is active
  // (the window only hides); otherwise the program ends at once, without
  // the shutdown steps, and the exit status is returned.
  int CloseBox();
  // Called by PostQuit (from any thread) so that a toolkit's loop runs a
  // Tick soon; it must not block. Set before Start.
  void SetWakeHook(std::function<void()> hook) { wake_hook_ = std::move(hook); }
  // Where the monitor server shows its state (may stay null). Set before
  // Start; it must outlive the controller.
  void SetMonitorPanel(MonitorConnPanel* panel) { panel_ = panel; }
  // The script debugger, whose pages close at the shutdown and before a
  // reload (may stay null: no debugger). It must outlive its use here.
  void SetDebugger(Debugger* debugger) { debugger_ = debugger; }
  // The monitor server; null before Create and after the shutdown.
  TagRemoteCtrl* remote() const { return remote_.get(); }
  int exit_status() const { return exit_status_; }

  // Posts the quit message; returns at once (any thread).
  void PostQuit();
  // "Exit(": raw trace "Exit()!" and PostQuit.
  void Exit();
  // The quit handler: raw trace and the shutdown, synchronously.
  void QuitMessage();
  // The shutdown in its fixed order; ignored while the frame is inactive.
  void Shutdown();
  // Restarts every line's script when the drive is built and ready.
  void Reload();

  static void RequestQuitFromSignal();

  FrameFlags& flags() { return flags_; }
  bool build_failed() const { return build_failed_; }
  bool ended() const { return ended_; }
  const std::string& version() const { return version_; }
  uint32_t display_period_ms() const { return period_ms_; }
  // The grid text store the window shows.
  TagMonitorGrid& grid() { return grid_; }
  // Waits at most ms for the main run thread (tests); true when none runs.
  bool JoinMainRun(uint32_t ms) { return !main_run_.joinable() || main_run_.JoinFor(ms); }

 private:
  void OpenLog();
  void FailBuild(int32_t status);
  void ShowStartInfo();
  void StartMainRun();
  void MainRunThread();
  void ClearClosing();
  void WaitForDisplayPass();
  void DeleteDrive();
  void DeleteMonitor();
  void DeleteRemote();
  void SavePost();
  void CloseEvents();
  // A quit request seen by the loop outside the display pass.
  bool TakeQuitRequest();
  void EndFailedBuild();

  SystemParts* parts_;
  WindowView* window_;
  TagRunCfg* cfg_;
  TagMapCfg* form_pos_;
  FrameFlags flags_;
  std::string version_;
  platform::NamedEvent quit_event_, show_event_;
  TagMonitorGrid grid_;
  std::unique_ptr<TagMonitor> monitor_;
  std::unique_ptr<TagRemoteCtrl> remote_;
  MonitorConnPanel* panel_ = nullptr;
  Debugger* debugger_ = nullptr;
  std::unique_ptr<DisplayPass> pass_;
  platform::Thread main_run_;
  std::mutex closing_mu_;       // orders the run thread's clearing and the shutdown
  bool shutting_down_ = false;  // guarded by closing_mu_
  std::atomic<bool> quit_posted_{false};
  std::atomic<bool> wake_{false};
  bool build_failed_ = false;
  bool ended_ = false;
  int exit_status_ = kExitNormal;
  std::function<void()> wake_hook_;
  bool english_ = false;
  uint32_t period_ms_ = kStartTimerMs;
};

}  // namespace frame

#endif  // VTTEL_FRAME_FRAME_CONTROLLER_H_
