// What a debugger page costs a running line: an integer loop of 3,000,000
// rounds (bench/scripts/int_loop.vts at a tenth of its size) on a line without a page and on a line with a page open and auto-refresh on
// (a window thread taking the line's updates every display interval and
// asking for a snapshot of its variables each time), in one run; and 30
// busy lines with pages, where the window takes at most one mark per line
// per interval ("marks/line/take").
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/debug_observer.h"
#include "engine/run_observer.h"
#include "engine/script_control.h"
#include "engine/script_cache.h"
#include "engine/tel_basic.h"
#include "engine/timers.h"

namespace {

constexpr int kBusyLines = 30;
// The window's display interval while it follows the lines.
constexpr auto kDisplayInterval = std::chrono::milliseconds(100);
// Written into the scratch folder by Setup.
const char kIntLoop[] = "int_loop.vts";
const char kIntLoopText[] =
    "i = 0\n"
    "s = 0\n"
    "while(i < 3000000)\n"
    "{\n"
    "s = s + 3\n"
    "i = i + 1\n"
    "}\n"
    "return(0)\n";

struct Setup {
  Setup() {
    engine::RegisterStatementCompiler();
    engine::RegisterTimerAndPrintStatements();
    engine::RegisterScriptControlStatements();
    engine::SetRunObserver(&observer);
    // The lines' files (error files, prints) go to a scratch folder.
    std::filesystem::path scratch = std::filesystem::temp_directory_path() / "debugger_bench";
    std::filesystem::create_directories(scratch);
    std::filesystem::current_path(scratch);
    std::ofstream(kIntLoop, std::ios::binary) << kIntLoopText;
  }
  ~Setup() { engine::SetRunObserver(nullptr); }
  std::atomic<bool> closing{false};
  engine::DebugRunObserver observer{&closing, kBusyLines + 1};
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

// The window thread: takes the updates every interval until stop.
struct Window {
  explicit Window(engine::DebugRunObserver* o) : observer(o) {
    thread = std::thread([this] {
      while (!stop.load()) {
        std::this_thread::sleep_for(kDisplayInterval);
        for (const engine::DebugUpdate& u : observer->TakeUpdates()) {
          marks += u.mark.mainIndex >= 0 ? 1 : 0;
          observer->RequestSnapshot(u.line);
        }
        ++takes;
      }
    });
  }
  ~Window() {
    stop = true;
    thread.join();
  }
  engine::DebugRunObserver* observer;
  std::atomic<bool> stop{false};
  std::atomic<long> marks{0}, takes{0};
  std::thread thread;
};

std::vector<std::unique_ptr<engine::TagTelBasic>> Compile(int lines,
                                                         std::vector<engine::LineCallBase>* calls) {
  engine::ScriptCache().Clear();
  std::vector<std::unique_ptr<engine::TagTelBasic>> scripts;
  for (int line = 0; line < lines; ++line) {
    (*calls)[line].lineNo = line;
    scripts.push_back(
        std::make_unique<engine::TagTelBasic>(kIntLoop, line, &(*calls)[line], 1, nullptr));
  }
  return scripts;
}

// Arg 0: without a page; 1: with a page open and auto-refresh on.
void BM_IntLoopLine(benchmark::State& state) {
  Setup& s = TheSetup();
  const bool page = state.range(0) != 0;
  std::vector<engine::LineCallBase> calls(1);
  auto scripts = Compile(1, &calls);
  if (page) s.observer.OpenPage(0);
  s.observer.SetAutoRefresh(page);
  auto window = std::make_unique<Window>(&s.observer);
  for (auto _ : state) scripts[0]->Run();
  window.reset();
  if (page) s.observer.ClosePage(0);
  s.observer.SetAutoRefresh(false);
}
BENCHMARK(BM_IntLoopLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BusyLinesWithPages(benchmark::State& state) {
  Setup& s = TheSetup();
  std::vector<engine::LineCallBase> calls(kBusyLines);
  auto scripts = Compile(kBusyLines, &calls);
  for (int line = 0; line < kBusyLines; ++line) s.observer.OpenPage(line);
  s.observer.SetAutoRefresh(true);
  auto window = std::make_unique<Window>(&s.observer);
  for (auto _ : state) {
    std::vector<std::thread> lines;
    for (auto& script : scripts) lines.emplace_back([&script] { script->Run(); });
    for (std::thread& t : lines) t.join();
  }
  const double takes = static_cast<double>(window->takes.load());
  const double marks = static_cast<double>(window->marks.load());
  window.reset();
  state.counters["marks/line/take"] = takes > 0 ? marks / takes / kBusyLines : 0;
  for (int line = 0; line < kBusyLines; ++line) s.observer.ClosePage(line);
  s.observer.SetAutoRefresh(false);
}
BENCHMARK(BM_BusyLinesWithPages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
