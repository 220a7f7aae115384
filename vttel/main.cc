// vttel: the run-time platform of the telephony voice system.
//
// One instance per user; the frame controller builds the system (the line
// drive on the simulated board, the monitor table, the main run thread),
// runs the display pass every DISP_DELAY ms and takes everything down again
// on "VtTel Quit" (vttelctl quit), a script's "Exit(", or the end of the
// user's session (SIGTERM, SIGINT, SIGHUP). The main window is the Qt one;
// without a display (or with VTTEL_HEADLESS=1) it runs on Qt's offscreen
// platform and messages go to the console service.
//
// The program's directory is the folder of the executable, or VTTEL_HOME
// when set (it must exist); the program changes into it at start and finds
// "VtTelRun.cfg", "Card.ini", "SimBoard.ini", the scripts and its logs there.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/control_compile.h"
#include "engine/debug_observer.h"
#include "engine/script_control.h"
#include "engine/timers.h"
#include "frame/frame_controller.h"
#include "frame/log.h"
#include "frame/run_cfg.h"
#include "gui/qt_program.h"
#include "platform/instance_lock.h"
#include "platform/memory_reserve.h"
#include "platform/process_signals.h"
#include "regex/limits.h"
#include "services/process_stores.h"
#include "services/service_statements.h"
#include "simboard/sim_board.h"
#include "telephony/statements/telephony_statements.h"
#include "telephony/voice/wave_pc_voice.h"
#include "vttel/board_system_parts.h"

namespace {

constexpr int kExitNoProgramDir = 2;

std::atomic<frame::FrameController*> active_controller{nullptr};

void OnSessionEnd(int) { frame::FrameController::RequestQuitFromSignal(); }

void OnScriptExit(int32_t) {
  if (frame::FrameController* controller = active_controller.load()) controller->Exit();
}

void InstallSignalHandlers() {
  platform::OnSessionEndSignals(OnSessionEnd);
  platform::IgnoreBrokenPipe();
}

// The folder of the executable, or VTTEL_HOME; empty when it does not exist.
std::string ProgramDirectory(const char* argv0) {
  std::error_code ec;
  std::filesystem::path dir;
  if (const char* home = std::getenv("VTTEL_HOME"); home != nullptr && *home != '\0') {
    dir = home;
  } else {
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    dir = exe.parent_path();
  }
  if (!std::filesystem::is_directory(dir, ec)) return {};
  return std::filesystem::absolute(dir, ec).string();
}

void RegisterStatements() {
  engine::RegisterStatementCompiler();
  engine::RegisterTimerAndPrintStatements();
  services::RegisterServiceStatements();
  services::InstallProcessStores();
  telephony::RegisterTelephonyStatements();
  engine::RegisterScriptControlStatements();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string home = ProgramDirectory(argv[0]);
  if (home.empty()) {
    const char* named = std::getenv("VTTEL_HOME");
    std::fprintf(stderr, "vttel: the program folder %s does not exist\n",
                 named != nullptr ? named : argv[0]);
    return kExitNoProgramDir;
  }
  // Read from the folder the program was started in, saved to its own.
  frame::TagMapCfg form_pos(frame::kFormPosFile);
  platform::InstanceLock instance;
  if (!instance.TryAcquire()) return frame::AnnounceSecondInstance();
  InstallSignalHandlers();
  // A script that uses up the memory ends its own line's run; the program
  // goes on with its reserve.
  platform::InstallMemoryReserve();
  RegisterStatements();
  // Voice on the PC's sound card (VTTEL_SOUND chooses the device); it
  // outlives the lines.
  const telephony::InstalledPcVoice pc_voice;

  simboard::SimBoard board(simboard::SimBoard::LoadConfig(home));
  vttel::BoardSystemParts parts(&board);
  board.SetControlLog([](std::string_view text) { frame::LogAlways(text); });
  std::string error;
  const bool control = board.StartControl(error);
  regex::SetLimitLogger([](std::string_view text) { frame::LogAlways(text); });

  gui::QtProgram program;
  program.parts = &parts;
  program.cfg = &frame::RunCfg();
  program.form_pos = &form_pos;
  program.program_dir = home;
  program.hangup = [&parts](int line) { parts.HangupLine(line); };
  // The lines' status words and statements go to the monitor table, and
  // to the debugger's pages of the lines that have one.
  std::unique_ptr<engine::DebugRunObserver> observer;
  program.attach = [&observer](frame::FrameController* controller) {
    active_controller.store(controller);
    engine::SetExitHandler(controller != nullptr ? &OnScriptExit : nullptr);
    if (controller != nullptr) {
      observer = std::make_unique<engine::DebugRunObserver>(&controller->flags().closing,
                                                            frame::kMaxTableLines);
    }
    engine::SetRunObserver(controller != nullptr ? observer.get() : nullptr);
  };
  program.debugger = [&observer] { return observer.get(); };
  program.script_of = [&parts](int line) { return parts.LineScript(line); };
  program.started = [&] {
    for (const std::string& warning : board.config().warnings) frame::LogAlways(warning);
    if (!control) frame::LogAlwaysF("simboard control socket: %s", error.c_str());
    std::fprintf(stderr, "vttel: running in %s (vttelctl quit stops it)\n", home.c_str());
  };
  return gui::RunQtProgram(argc, argv, program);
}
