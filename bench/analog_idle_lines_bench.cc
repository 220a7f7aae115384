// What an idle analog line costs beside an idle E1 line, in one run: 96
// phone ports of the simulated board whose scripts look at the hook
// ("GetHookState(") every 180 ms, and 96 E1 lines waiting in "WaitRing(".
// The lines are loaded as the line drive loads them; then each line
// thread's processor time (from /proc, the thread found by the id its run
// start writes to the log) is measured over a stretch of wall time
// (VTTEL_IDLE_SECONDS, default 30). The figures are milliseconds of
// processor time per second per line of each kind, and their ratio; the 24
// E1 channels left over run the phone script's pause loop without looking
// at a hook, which shows what the pause statement costs any line.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/script_control.h"
#include "engine/timers.h"
#include "frame/cpu_load.h"
#include "frame/log.h"
#include "frame/monitor.h"
#include "frame/run_cfg.h"
#include "frame/settings.h"
#include "services/text/time_statements.h"
#include "simboard/sim_board.h"
#include "telephony/statements/telephony_statements.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line.h"

namespace {

constexpr int kLinesOfEachKind = 96;
constexpr int kTrunks = 4;                  // 120 E1 channels, the first 96 used
constexpr int kFirstPort = kTrunks * 30;    // line number of analog port 0
// The E1 channels left over run the phone script's loop without the hook
// look: what the pause statement itself costs a line.
constexpr int kSleepLoopLines = kFirstPort - kLinesOfEachKind;

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Processor time of a thread of this process, in seconds (the scheduler's
// nanosecond count: the tick counts of stat are too coarse for idle lines).
double ThreadCpuSeconds(uint32_t tid) {
  std::ifstream schedstat("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  double nanoseconds = 0;
  schedstat >> nanoseconds;
  return nanoseconds / 1e9;
}

// Line number -> thread id, from the "%d Run: tId:[0x%x]" lines of the log.
std::map<int, uint32_t> LineThreads(const std::string& log) {
  std::map<int, uint32_t> threads;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t at = line.find(" Run: tId:[0x");
    if (at == std::string::npos) continue;
    const size_t open = line.rfind('[', at);
    const int number = std::atoi(line.c_str() + open + 1);
    threads[number] = static_cast<uint32_t>(std::strtoul(line.c_str() + at + 13, nullptr, 16));
  }
  return threads;
}

double CpuOfLines(const std::map<int, uint32_t>& threads, int first, int count) {
  double seconds = 0;
  for (int line = first; line < first + count; ++line) {
    auto it = threads.find(line);
    if (it != threads.end()) seconds += ThreadCpuSeconds(it->second);
  }
  return seconds;
}

void BM_IdlePhonePortsBesideE1Lines(benchmark::State& state) {
  const char* seconds_text = std::getenv("VTTEL_IDLE_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 30;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "vttel-analog-idle-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  std::string ports = "0";
  for (int p = 1; p < kLinesOfEachKind; ++p) ports += ",0";
  WriteText("SimBoard.ini", "Trunks=" + std::to_string(kTrunks) + "\nAnalogPorts=" + ports +
                                "\nJournal=0\n");
  WriteText("VtTelRun.cfg", "VIR_LINES_NUM=0\nLOAD_DELAY=0\n0-" +
                                std::to_string(kLinesOfEachKind - 1) + "=idle.vts\n" +
                                std::to_string(kLinesOfEachKind) + "-" +
                                std::to_string(kFirstPort - 1) + "=sleep.vts\n" +
                                std::to_string(kFirstPort) + "-" +
                                std::to_string(kFirstPort + kLinesOfEachKind - 1) +
                                "=phone.vts\n");
  WriteText("idle.vts", "WaitRing(1)\n");
  WriteText("sleep.vts", "h = 0\nwhile (h == 0)\n{\nSleep(0.18)\n}\n");
  WriteText("phone.vts",
            "h = GetHookState()\nwhile (h == 0)\n{\nSleep(0.18)\nh = GetHookState()\n}\n");

  telephony::RegisterTelephonyStatements();
  services::RegisterTimeStatements();
  engine::RegisterStatementCompiler();
  engine::RegisterScriptControlStatements();
  engine::RegisterTimerAndPrintStatements();
  const int32_t saved_level = frame::GetSettings().log_level.load();
  frame::GetSettings().log_level = 1;
  frame::OpenProcessLog(std::make_unique<frame::TagWriteLog>("bench_log.txt", 1 << 24, true, true));
  frame::GetCPUPercentage idle_meter([](uint64_t*) { return false; });
  frame::ScopedCpuMeter meter(&idle_meter);
  frame::TagMonitor monitor(kFirstPort + kLinesOfEachKind);  // every line shown
  frame::SetProcessMonitor(&monitor);
  frame::TagRunCfg cfg;
  {
    simboard::SimBoard board(simboard::SimBoard::LoadConfig(folder.string()));
    telephony::TagTelDrive drive("VtTelRun.cfg", &cfg, telephony::SystemCards(board));
    drive.RunAllLines("VtTelRun.cfg");
    for (int first : {0, kFirstPort}) {
      for (int line = first; line < first + kLinesOfEachKind + (first == 0 ? kSleepLoopLines : 0);
           ++line) {
        while (drive.Line(line) == nullptr || drive.Line(line)->Script() == nullptr ||
               drive.Line(line)->Script()->notRunning.load() != 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past the first looks
    frame::FlushProcessLog();
    std::ifstream log_file("bench_log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(log_file)),
                          std::istreambuf_iterator<char>());
    const std::map<int, uint32_t> threads = LineThreads(log);
    for (auto _ : state) {
      const double e1_before = CpuOfLines(threads, 0, kLinesOfEachKind);
      const double phone_before = CpuOfLines(threads, kFirstPort, kLinesOfEachKind);
      const double sleep_before = CpuOfLines(threads, kLinesOfEachKind, kSleepLoopLines);
      const auto wall_before = std::chrono::steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
      const double e1 = (CpuOfLines(threads, 0, kLinesOfEachKind) - e1_before) / wall;
      const double phone =
          (CpuOfLines(threads, kFirstPort, kLinesOfEachKind) - phone_before) / wall;
      const double sleep_loop =
          (CpuOfLines(threads, kLinesOfEachKind, kSleepLoopLines) - sleep_before) / wall;
      state.counters["e1_sleep_loop_cpu_ms_per_s_per_line"] = 1000.0 * sleep_loop / kSleepLoopLines;
      state.counters["phone_to_e1_sleep_loop"] =
          sleep_loop > 0 ? (phone / kLinesOfEachKind) / (sleep_loop / kSleepLoopLines) : 0;
      state.counters["threads_found"] = static_cast<double>(threads.size());
      state.counters["e1_cpu_ms_per_s_per_line"] = 1000.0 * e1 / kLinesOfEachKind;
      state.counters["phone_cpu_ms_per_s_per_line"] = 1000.0 * phone / kLinesOfEachKind;
      state.counters["phone_to_e1"] = e1 > 0 ? phone / e1 : 0;
    }
  }
  frame::SetProcessMonitor(nullptr);
  frame::CloseProcessLog();
  frame::GetSettings().log_level = saved_level;
  engine::SetLineCompiler(nullptr);
  engine::SetExpressionCompiler(nullptr);
  std::filesystem::current_path(start);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IdlePhonePortsBesideE1Lines)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
