// A line drive on the simulated board for the drive's tests: a scratch
// program folder with "SimBoard.ini" and "VtTelRun.cfg", the statement
// families the line scripts use, a monitor table to read the line statuses
// from, a processor meter that always reads idle (so the processor gates
// never wait on a busy test machine) and, on request, a far-end control
// client of the board.
#ifndef VTTEL_TESTS_TELEPHONY_TEL_DRIVE_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_TEL_DRIVE_FIXTURE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/script_control.h"
#include "engine/timers.h"
#include "frame/cpu_load.h"
#include "frame/monitor.h"
#include "frame/run_cfg.h"
#include "simboard/control_client.h"
#include "telephony/statements/telephony_statements.h"
#include "telephony/tel_drive.h"
#include "tests/telephony/board_drive_fixture.h"

namespace telephony {

// Polls every few milliseconds until done() or timeout_ms: true when done.
inline bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The run configuration most tests use: two virtual lines, a short load delay.
inline std::string RunCfgText(const std::string& assignments, int load_delay = 8) {
  return "VIR_LINES_NUM=2\nLOAD_DELAY=" + std::to_string(load_delay) + "\n" + assignments;
}

class DriveFolder {
 public:
  static constexpr int kMonitorLines = 128;

  // sim_ini: lines of "SimBoard.ini"; run_cfg: the text of "VtTelRun.cfg".
  DriveFolder(const std::string& sim_ini, const std::string& run_cfg)
      : folder_(sim_ini + "Strict=1\n"),
        idle_meter_([](uint64_t*) { return false; }),
        meter_(&idle_meter_),
        monitor_(kMonitorLines) {
    RegisterTelephonyStatements();
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    engine::RegisterTimerAndPrintStatements();
    testing_support::WriteFile("VtTelRun.cfg", run_cfg);
    frame::SetProcessMonitor(&monitor_);
  }
  ~DriveFolder() {
    drive_.reset();
    far_.Close();
    frame::SetProcessMonitor(nullptr);
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
  }
  DriveFolder(const DriveFolder&) = delete;
  DriveFolder& operator=(const DriveFolder&) = delete;

  // Builds the drive on the board (cards: null for the system's).
  TagTelDrive& MakeDrive(const TelCardFactory& cards = nullptr) {
    drive_ = std::make_unique<TagTelDrive>("VtTelRun.cfg", &cfg_,
                                           cards ? cards : SystemCards(folder_.board()));
    return *drive_;
  }
  TagTelDrive& drive() { return *drive_; }
  void DeleteDrive() { drive_.reset(); }

  // Opens the board's control socket and connects the far end.
  void ConnectFarEnd() {
    std::string error;
    ASSERT_TRUE(folder_.board().StartControl(error)) << error;
    ASSERT_TRUE(far_.Connect(folder_.path() + "/simboard.sock"));
  }
  simboard::ControlClient& far() { return far_; }

  void WriteScript(const std::string& name, const std::string& text) {
    testing_support::WriteFile(name, text);
  }
  std::string Status(int line) { return monitor_.CellText(line, frame::kCellStatus); }
  std::string Log() { return folder_.Log(); }
  BoardFolder& folder() { return folder_; }
  frame::TagRunCfg& cfg() { return cfg_; }

  // Waits until the line runs a compiled script (in its run loop).
  bool WaitRunning(int32_t line, int timeout_ms = 5000) {
    return WaitUntil([&] {
      auto script = drive_->Line(line)->Script();
      return script != nullptr && script->notRunning.load() == 0;
    }, timeout_ms);
  }

 private:
  BoardFolder folder_;
  frame::GetCPUPercentage idle_meter_;
  frame::ScopedCpuMeter meter_;
  frame::TagMonitor monitor_;
  frame::TagRunCfg cfg_;
  simboard::ControlClient far_;
  std::unique_ptr<TagTelDrive> drive_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_TEL_DRIVE_FIXTURE_H_
