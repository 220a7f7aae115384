// What the sound card costs between buffers: 60 players looping an A-law
// voice and 60 recorders, all on the paced file device (the voice played
// goes into capture files, the recordings into WAV files), measured over a
// stretch of wall time (VTTEL_SOUND_SECONDS, default 60). The figures are
// the percentage of one core the whole process used and the processor time
// per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave_device.h"
#include "telephony/voice/wave_play.h"
#include "telephony/voice/wave_record.h"

namespace {

constexpr int kPlayers = 60;
constexpr int kRecorders = 60;
constexpr size_t kVoiceBytes = 8000 * 30;  // 30 s of A-law

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_SoundCardLines(benchmark::State& state) {
  const char* seconds_text = std::getenv("VTTEL_SOUND_SECONDS");
  const int seconds = seconds_text != nullptr ? std::atoi(seconds_text) : 60;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "vttel-sound-lines-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string voice = (folder / "voice.raw").string();
  {
    FILE* f = std::fopen(voice.c_str(), "wb");
    const std::string bytes(kVoiceBytes, '\x55');
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  auto devices = platform::MakePacedWaveDevices(folder.string());
  platform::ScopedWaveDevices scoped(devices.get());
  for (auto _ : state) {
    std::vector<std::unique_ptr<telephony::TagWavePlay>> players;
    std::vector<std::unique_ptr<telephony::TagWaveRecord>> recorders;
    for (int i = 0; i < kPlayers; ++i) {
      players.push_back(std::make_unique<telephony::TagWavePlay>(
          voice, 100, platform::kWaveDefaultDevice, 0, "L" + std::to_string(i)));
      players.back()->SetLoop(true);
    }
    for (int i = 0; i < kRecorders; ++i) {
      const std::string tag = "L" + std::to_string(kPlayers + i);
      recorders.push_back(std::make_unique<telephony::TagWaveRecord>(
          (folder / (tag + ".wav")).string(), platform::kWaveDefaultDevice, tag));
      recorders.back()->Start();
    }
    const double cpu_before = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = ProcessCpuSeconds() - cpu_before;
    state.counters["core_percent"] = 100.0 * cpu / seconds;
    state.counters["cpu_ms_per_line_per_s"] = 1000.0 * cpu / seconds / (kPlayers + kRecorders);
    uint64_t recorded = 0;
    for (auto& r : recorders) recorded += r->total();
    state.counters["recorded_MB"] = recorded / 1e6;
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SoundCardLines)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
