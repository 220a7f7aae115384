// What idle lines cost: 480 lines of the simulated board's drive, each
// running a script that waits for a call that never comes. The kind of the
// lines comes from VTTEL_IDLE_KIND:
//   e1       (the default) E1 lines (16 trunks) in "WaitRing(";
//   analog   analog ports, phone and trunk ports in turn, looking at the
//            hook every 180 ms ("GetHookState(" and "Sleep(0.18)") until a
//            set is lifted or a ring connects the port; the drive takes at
//            most 200 ports, so 200 lines run and the figure is also given
//            for 480 of them (cpu_percent_for_480_lines);
//   virtual  virtual lines waiting for the keys of their Keys cell
//            ("GetKeys(" after "WaitRing(", no time-out);
//   mix      a third of each (160 lines of each kind).
//
// BM_IdleLines: the lines are loaded as the line drive loads them
// (staggered, LOAD_DELAY 5, the processor gates passed at once), then the
// process's processor time is measured over a stretch of wall time
// (VTTEL_IDLE_SECONDS, default 30). The figure is the percentage of one
// core the whole process used: the lines' waits, the board's pump timer and
// media clock and everything else; load_average is the machine's one-minute
// load at the end. VTTEL_SIM_CHANGE_WAIT=0 runs the lines on a board
// without the wait for channel changes (the board lines poll).
//
// BM_StartUp/<LOAD_DELAY>: the wall time from the start of the loading of
// 480 E1 lines until the last line runs its script, with the process's own
// processor meter in the gates, beside the pauses the loading makes by
// itself: 480 x (LOAD_DELAY/4 + 55 ms).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
#include "services/text/time_statements.h"
#include "simboard/sim_board.h"
#include "telephony/statements/telephony_statements.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line.h"

namespace {

constexpr int kLines = 480;
constexpr int kChannelsPerTrunk = 30;
constexpr int kMaxAnalogPorts = 200;  // the most ports the board drive takes
constexpr int kLoadPauseExtraMs = 55;

// The idle scripts of the line kinds.
constexpr const char* kWaitRingScript = "WaitRing(1)\n";
constexpr const char* kHookLoopScript =
    "h = GetHookState()\nwhile (h == 0)\n{\nSleep(0.18)\nh = GetHookState()\n}\n";
constexpr const char* kKeysScript = "k = \"\"\nWaitRing(1)\nGetKeys(k, 1, 0)\n";

// How many lines of each kind a run has; the drive numbers the E1 channels
// first, then the analog ports, then the virtual lines.
struct IdleLines {
  std::string kind;
  int e1 = 0;
  int analog = 0;
  int virtual_lines = 0;
  int Count() const { return e1 + analog + virtual_lines; }
};

IdleLines LinesOfKind(const std::string& kind) {
  if (kind == "analog") return {kind, 0, kMaxAnalogPorts, 0};
  if (kind == "virtual") return {kind, 0, 0, kLines};
  if (kind == "mix") return {kind, kLines / 3, kLines / 3, kLines / 3};
  return {"e1", kLines, 0, 0};
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double LoadAverage() {
  std::ifstream loadavg("/proc/loadavg");
  double one_minute = 0;
  loadavg >> one_minute;
  return one_minute;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// True once every line runs its script; a script that did not compile ends
// the benchmark.
bool AllLinesRunning(telephony::TagTelDrive& drive, int first, int count) {
  for (int line = first; line < first + count; ++line) {
    const auto script = drive.Line(line) != nullptr ? drive.Line(line)->Script() : nullptr;
    if (script != nullptr && script->initResult != 0) {
      std::fprintf(stderr, "line %d: its script did not compile\n", line);
      std::exit(1);
    }
    if (script == nullptr || script->notRunning.load() != 0) return false;
  }
  return true;
}

// "first-last=script" when count lines start at first.
std::string LineRange(int first, int count, const char* script) {
  if (count == 0) return "";
  return std::to_string(first) + "-" + std::to_string(first + count - 1) + "=" + script + "\n";
}

// Runs the lines in a scratch folder with the given LOAD_DELAY, waits until
// all run their scripts, then calls idle(drive, seconds from the start of
// the loading until then).
void WithIdleLines(const IdleLines& lines, int load_delay,
                   const std::function<void(telephony::TagTelDrive&, double)>& idle) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "vttel-idle-lines-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path start = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  const char* change_wait = std::getenv("VTTEL_SIM_CHANGE_WAIT");
  // The board drive takes a board only with E1 trunks: one at least.
  const int trunks = std::max(1, (lines.e1 + kChannelsPerTrunk - 1) / kChannelsPerTrunk);
  std::string ports;
  for (int p = 0; p < lines.analog; ++p) ports += p == 0 ? "0" : p % 2 == 0 ? ",0" : ",1";
  WriteText("SimBoard.ini", "Trunks=" + std::to_string(trunks) + "\nAnalogPorts=" + ports +
                                "\nJournal=0\nChangeWait=" +
                                (change_wait != nullptr ? change_wait : "1") + "\n");
  const int first_port = trunks * kChannelsPerTrunk;
  const int first_virtual = first_port + lines.analog;
  WriteText("VtTelRun.cfg", "VIR_LINES_NUM=" + std::to_string(lines.virtual_lines) +
                                "\nLOAD_DELAY=" + std::to_string(load_delay) + "\n" +
                                LineRange(0, lines.e1, "e1.vts") +
                                LineRange(first_port, lines.analog, "analog.vts") +
                                LineRange(first_virtual, lines.virtual_lines, "virtual.vts"));
  WriteText("e1.vts", kWaitRingScript);
  WriteText("analog.vts", kHookLoopScript);
  WriteText("virtual.vts", kKeysScript);

  telephony::RegisterTelephonyStatements();
  services::RegisterTimeStatements();
  engine::RegisterStatementCompiler();
  engine::RegisterScriptControlStatements();
  engine::RegisterTimerAndPrintStatements();
  frame::TagMonitor monitor(first_virtual + lines.virtual_lines);
  frame::SetProcessMonitor(&monitor);
  frame::TagRunCfg cfg;
  cfg.load_delay = load_delay;
  cfg.virtual_lines = lines.virtual_lines;
  {
    simboard::SimBoard board(simboard::SimBoard::LoadConfig(folder.string()));
    telephony::TagTelDrive drive("VtTelRun.cfg", &cfg, telephony::SystemCards(board));
    const auto loading = std::chrono::steady_clock::now();
    drive.RunAllLines("VtTelRun.cfg");
    while (!AllLinesRunning(drive, 0, lines.e1) ||
           !AllLinesRunning(drive, first_port, lines.analog) ||
           !AllLinesRunning(drive, first_virtual, lines.virtual_lines)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    idle(drive, std::chrono::duration<double>(std::chrono::steady_clock::now() - loading).count());
  }
  frame::SetProcessMonitor(nullptr);
  engine::SetLineCompiler(nullptr);
  engine::SetExpressionCompiler(nullptr);
  std::filesystem::current_path(start);
  std::filesystem::remove_all(folder);
}

void BM_IdleLines(benchmark::State& state) {
  const char* seconds_text = std::getenv("VTTEL_IDLE_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 30;
  const char* kind_text = std::getenv("VTTEL_IDLE_KIND");
  const IdleLines lines = LinesOfKind(kind_text != nullptr ? kind_text : "e1");
  state.SetLabel("kind=" + lines.kind);
  frame::GetCPUPercentage idle_meter([](uint64_t*) { return false; });
  frame::ScopedCpuMeter meter(&idle_meter);
  WithIdleLines(lines, 5, [&](telephony::TagTelDrive&, double) {
    for (auto _ : state) {
      const double cpu_before = ProcessCpuSeconds();
      const auto wall_before = std::chrono::steady_clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      const double cpu = ProcessCpuSeconds() - cpu_before;
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
      const double percent = 100.0 * cpu / wall;
      state.counters["lines"] = lines.Count();
      state.counters["cpu_percent_of_one_core"] = percent;
      state.counters["cpu_percent_for_480_lines"] = percent * kLines / lines.Count();
      state.counters["load_average"] = LoadAverage();
    }
  });
}
BENCHMARK(BM_IdleLines)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_StartUp(benchmark::State& state) {
  const int load_delay = static_cast<int>(state.range(0));
  WithIdleLines(LinesOfKind("e1"), load_delay, [&](telephony::TagTelDrive&, double seconds) {
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
