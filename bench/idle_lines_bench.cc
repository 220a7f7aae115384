// What idle lines cost: 480 E1 lines of the simulated board (16 trunks),
// each running a script that waits in "WaitRing(" for a call that never
// comes. The lines are loaded as the line drive loads them (staggered),
// then the process's processor time is measured over a stretch of wall
// time (VTTEL_IDLE_SECONDS, default 30). The figure is the percentage of
// one core the whole process used: the lines' polling, the board's media
// clock and everything else.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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

void BM_IdleLinesInWaitRing(benchmark::State& state) {
  const char* seconds_text = std::getenv("VTTEL_IDLE_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 30;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "vttel-idle-lines-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  WriteText("SimBoard.ini", "Trunks=" + std::to_string(kTrunks) + "\nJournal=0\n");
  WriteText("VtTelRun.cfg", "VIR_LINES_NUM=0\nLOAD_DELAY=0\n0-" +
                                std::to_string(kLines - 1) + "=idle.vts\n");
  WriteText("idle.vts", "WaitRing(1)\n");

  telephony::RegisterTelephonyStatements();
  engine::RegisterStatementCompiler();
  engine::RegisterScriptControlStatements();
  engine::RegisterTimerAndPrintStatements();
  frame::GetCPUPercentage idle_meter([](uint64_t*) { return false; });
  frame::ScopedCpuMeter meter(&idle_meter);
  frame::TagMonitor monitor(kLines);
  frame::SetProcessMonitor(&monitor);
  frame::TagRunCfg cfg;
  {
    simboard::SimBoard board(simboard::SimBoard::LoadConfig(folder.string()));
    telephony::TagTelDrive drive("VtTelRun.cfg", &cfg, telephony::SystemCards(board));
    drive.RunAllLines("VtTelRun.cfg");
    for (int line = 0; line < kLines; ++line) {
      while (drive.Line(line) == nullptr || drive.Line(line)->Script() == nullptr ||
             drive.Line(line)->Script()->notRunning.load() != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
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
  }
  frame::SetProcessMonitor(nullptr);
  engine::SetLineCompiler(nullptr);
  engine::SetExpressionCompiler(nullptr);
  std::filesystem::current_path(start);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IdleLinesInWaitRing)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
