// What idle lines cost: 480 E1 lines of the simulated board (16 trunks),
// each running a script that waits in "WaitRing(" for a call that never
// comes.
//
// BM_IdleLinesInWaitRing: the lines are loaded as the line drive loads them
// (staggered, LOAD_DELAY 5, the processor gates passed at once), then the
// process's processor time is measured over a stretch of wall time
// (VTTEL_IDLE_SECONDS, default 30). The figure is the percentage of one
// core the whole process used: the lines' waits, the board's pump timer and
// media clock and everything else. VTTEL_SIM_CHANGE_WAIT=0 runs the lines
// on a board without the wait for channel changes (they poll).
//
// BM_StartUp/<LOAD_DELAY>: the wall time from the start of the lines'
// loading until the last line runs its script, with the process's own
// processor meter in the gates, beside the pauses the loading makes by
// itself: 480 x (LOAD_DELAY/4 + 55 ms).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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
#include "simboard/sim_board.h"
#include "telephony/statements/telephony_statements.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line.h"

namespace {

constexpr int kLines = 480;
constexpr int kTrunks = kLines / 30;
constexpr int kLoadPauseExtraMs = 55;

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

bool AllLinesRunning(telephony::TagTelDrive& drive) {
  for (int line = 0; line < kLines; ++line) {
    if (drive.Line(line) == nullptr || drive.Line(line)->Script() == nullptr ||
        drive.Line(line)->Script()->notRunning.load() != 0) {
      return false;
    }
  }
  return true;
}

// Runs 480 idle lines in a scratch folder with the given LOAD_DELAY, waits
// until all run their scripts, then calls idle(drive, seconds from the start
// of the loading until then).
void WithIdleLines(int load_delay,
                   const std::function<void(telephony::TagTelDrive&, double)>& idle) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "vttel-idle-lines-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const char* change_wait = std::getenv("VTTEL_SIM_CHANGE_WAIT");
  WriteText("SimBoard.ini", "Trunks=" + std::to_string(kTrunks) + "\nJournal=0\nChangeWait=" +
                                (change_wait != nullptr ? change_wait : "1") + "\n");
  WriteText("VtTelRun.cfg", "VIR_LINES_NUM=0\nLOAD_DELAY=" + std::to_string(load_delay) +
                                "\n0-" + std::to_string(kLines - 1) + "=idle.vts\n");
  WriteText("idle.vts", "WaitRing(1)\n");

  telephony::RegisterTelephonyStatements();
  engine::RegisterStatementCompiler();
  engine::RegisterScriptControlStatements();
  engine::RegisterTimerAndPrintStatements();
  frame::TagMonitor monitor(kLines);
  frame::SetProcessMonitor(&monitor);
  frame::TagRunCfg cfg;
  cfg.load_delay = load_delay;
  {
    simboard::SimBoard board(simboard::SimBoard::LoadConfig(folder.string()));
    telephony::TagTelDrive drive("VtTelRun.cfg", &cfg, telephony::SystemCards(board));
    const auto loading = std::chrono::steady_clock::now();
    drive.RunAllLines("VtTelRun.cfg");
    while (!AllLinesRunning(drive)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    idle(drive, std::chrono::duration<double>(std::chrono::steady_clock::now() - loading).count());
  }
  frame::SetProcessMonitor(nullptr);
  engine::SetLineCompiler(nullptr);
  engine::SetExpressionCompiler(nullptr);
  std::filesystem::current_path(start);
  std::filesystem::remove_all(folder);
}

void BM_IdleLinesInWaitRing(benchmark::State& state) {
  const char* seconds_text = std::getenv("VTTEL_IDLE_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 30;
  frame::GetCPUPercentage idle_meter([](uint64_t*) { return false; });
  frame::ScopedCpuMeter meter(&idle_meter);
  WithIdleLines(5, [&](telephony::TagTelDrive&, double) {
    for (auto _ : state) {
      const double cpu_before = ProcessCpuSeconds();
      const auto wall_before = std::chrono::steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      const double cpu = ProcessCpuSeconds() - cpu_before;
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
      state.counters["lines"] = kLines;
      state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    }
  });
}
BENCHMARK(BM_IdleLinesInWaitRing)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_StartUp(benchmark::State& state) {
  const int load_delay = static_cast<int>(state.range(0));
  WithIdleLines(load_delay, [&](telephony::TagTelDrive&, double seconds) {
    for (auto _ : state) {
      const double pauses = kLines * (load_delay / 4 + kLoadPauseExtraMs) / 1000.0;
      state.counters["start_seconds"] = seconds;
      state.counters["pauses_seconds"] = pauses;
      state.counters["goal_seconds"] = pauses * 1.1 + 1.0;
      state.counters["over_pauses_percent"] = 100.0 * (seconds - pauses) / pauses;
    }
  });
}
BENCHMARK(BM_StartUp)->Arg(125)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
