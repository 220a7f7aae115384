// vttel: the run-time platform of the telephony voice system.
//
// This is the program's life cycle as it stands today: one instance per
// user, the two named events for other programs, the run configuration,
// the log, and a display pass that flushes the log and answers the events
// until "VtTel Quit" (vttelctl quit), SIGINT or SIGTERM stops it. The line
// drive, the monitor and the window join it as they are built.
//
// The program's directory is the folder of the executable, or VTTEL_HOME
// when set; the program changes into it at start, as the original did.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "frame/run_cfg.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/message_service.h"
#include "platform/named_event.h"
#include "regex/limits.h"

namespace {

constexpr const char* kCfgFileName = "VtTelRun.cfg";
constexpr uint32_t kShowRequestWaitMs = 130;

std::atomic<bool> stop_requested{false};

void OnStopSignal(int) { stop_requested.store(true, std::memory_order_relaxed); }

std::string ProgramDirectory(const char* argv0) {
  if (const char* home = std::getenv("VTTEL_HOME"); home != nullptr && *home != '\0') return home;
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0, ec);
  return exe.parent_path().string();
}

// A second copy tells the running one to show itself and goes away.
int AnnounceSecondInstance() {
  platform::ShowMessage("程序已经启动！", "Vantorel自动语音系统平台",
                        platform::MessageIcon::kError);
  if (platform::SignalNamedEvent(platform::kShowEventName)) {
    platform::GetClock().Sleep(kShowRequestWaitMs);
  }
  return -1;
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void OpenLog(const frame::TagRunCfg& cfg) {
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>(
      cfg.log_file, static_cast<uint32_t>(cfg.log_size), cfg.immediate_log != 0,
      cfg.log_level <= 0));
}

// The display pass until a quit request.
void RunDisplayPasses(const frame::TagRunCfg& cfg, platform::NamedEvent& show,
                      platform::NamedEvent& quit) {
  platform::Clock& clock = platform::GetClock();
  while (!stop_requested.load(std::memory_order_relaxed)) {
    if (show.IsSet()) {
      show.Reset();
      frame::LogAlways("show request (no window in this build)");
    }
    if (cfg.immediate_log == 0) frame::FlushProcessLog();
    if (quit.IsSet()) break;
    clock.Sleep(static_cast<uint32_t>(cfg.disp_delay), &stop_requested);
  }
}

}  // namespace

int main(int /*argc*/, char** argv) {
  platform::InstanceLock instance;
  if (!instance.TryAcquire()) return AnnounceSecondInstance();

  platform::NamedEvent quit, show;
  if (!quit.Create(platform::kQuitEventName) || !show.Create(platform::kShowEventName)) {
    std::fprintf(stderr, "vttel: cannot create the named events\n");
    return 1;
  }
  InstallSignalHandlers();

  std::string home = ProgramDirectory(argv[0]);
  std::error_code ec;
  if (!home.empty()) std::filesystem::current_path(home, ec);
  if (ec) std::fprintf(stderr, "vttel: cannot change to %s: %s\n", home.c_str(), ec.message().c_str());

  frame::TagRunCfg& cfg = frame::RunCfg();
  int cfg_result = frame::ReadCfgFile(kCfgFileName, &cfg);
  OpenLog(cfg);
  regex::SetLimitLogger([](std::string_view text) { frame::LogAlways(text); });
  frame::LogAlwaysF("ReadCfgFile(%s) = %d", kCfgFileName, cfg_result);
  std::fprintf(stderr, "vttel: running in %s (vttelctl quit stops it)\n",
               std::filesystem::current_path(ec).c_str());

  RunDisplayPasses(cfg, show, quit);

  frame::LogAlways("quit");
  frame::CloseProcessLog();
  quit.Reset();
  quit.Close();
  show.Reset();
  show.Close();
  return 0;
}
