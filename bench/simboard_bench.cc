// The simulated board's media clock under load: what one second of wall
// time costs its clock thread in processor time, with 240 E1 channels idle
// and with 240 channels each playing a file. Reported as the counter
// clock_cpu_per_wall (processor seconds per wall second).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "simboard/sim_board.h"

namespace {

constexpr int32_t kChannels = 240;
constexpr int kPlayFileSeconds = 30;

std::string BenchFolder() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "vttel-simboard-bench";
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string MakePlayFile(const std::string& folder) {
  std::string path = folder + "/prompt.raw";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string second(8000, '\0');
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<char>(i * 13);
  for (int s = 0; s < kPlayFileSeconds; ++s) out << second;
  return path;
}

// range(0): 1 every channel plays, 0 all idle. Each iteration is one
// second of wall time.
void BM_ClockThreadLoad(benchmark::State& state) {
  simboard::SimConfig config;
  config.folder = BenchFolder();
  config.trunks = 8;
  config.journal = 0;
  simboard::SimBoard board(config);
  std::string file = MakePlayFile(config.folder);
  if (state.range(0) != 0) {
    for (int32_t ch = 0; ch < kChannels; ++ch) board.ChannelPlay(ch, file, 0, -1);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  double cpu_total = 0;
  double wall_total = 0;
  for (auto _ : state) {
    auto wall0 = std::chrono::steady_clock::now();
    double cpu0 = board.ClockCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    double cpu = board.ClockCpuSeconds() - cpu0;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    cpu_total += cpu;
    wall_total += wall;
  }
  state.counters["clock_cpu_per_wall"] = cpu_total / wall_total;
  state.counters["channels"] = kChannels;
  std::filesystem::remove_all(config.folder);
}
BENCHMARK(BM_ClockThreadLoad)
    ->ArgName("playing")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
