// Voice-file editing of 10-minute recordings: trimming the silence of an
// A-law and of a 16-bit PCM file, and mixing two such files (A-law with
// automatic gain, PCM). sox makes the files: a tone with 2 s of silence at
// either end.
//
// Besides the time, each run reports the peak of heap memory the operation
// held (every operator new counted) and that peak as a multiple of the
// decoded size of one file (2 bytes a sample).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "telephony/voice/voice_mix.h"
#include "telephony/voice/voice_trim.h"

extern char** environ;

namespace {

std::atomic<size_t> heap_now{0};
std::atomic<size_t> heap_peak{0};

void Counted(void* p) {
  if (p == nullptr) return;
  const size_t now = heap_now.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  size_t peak = heap_peak.load();
  while (now > peak && !heap_peak.compare_exchange_weak(peak, now)) {
  }
}

}  // namespace

// The replaced global allocation: malloc and free underneath.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  Counted(p);
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  heap_now.fetch_sub(malloc_usable_size(p));
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace {

constexpr int kSeconds = 600;
constexpr size_t kSamples = size_t{kSeconds} * 8000;
constexpr double kDecodedBytes = 2.0 * kSamples;

std::string Folder() {
  static const std::string dir = [] {
    const auto d = std::filesystem::temp_directory_path() / "vttel-voice-edit-bench";
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

// Makes Folder()/name with sox: kSeconds of a tone (2 s of silence at each
// end) in the given encoding.
std::string SoxFile(const std::string& name, const std::vector<std::string>& encoding) {
  const std::string path = Folder() + "/" + name;
  if (std::filesystem::exists(path)) return path;
  std::vector<std::string> args = {"sox", "-n", "-r", "8000", "-c", "1"};
  args.insert(args.end(), encoding.begin(), encoding.end());
  args.insert(args.end(), {path, "synth", std::to_string(kSeconds - 4), "sine", "300", "vol", "0.3",
                           "pad", "2", "2"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, "/usr/bin/sox", nullptr, nullptr, argv.data(), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || status != 0) {
    std::abort();
  }
  return path;
}

std::string AlawFile() { return SoxFile("alaw.wav", {"-e", "a-law"}); }
std::string PcmFile() { return SoxFile("pcm.wav", {"-e", "signed-integer", "-b", "16"}); }

void ReportPeak(benchmark::State& state, size_t before) {
  const double peak = static_cast<double>(heap_peak.load() - before);
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_x_decoded"] = peak / kDecodedBytes;
}

// range(0): 1 PCM, 0 A-law.
void BM_TrimTenMinutes(benchmark::State& state) {
  const std::string source = state.range(0) != 0 ? PcmFile() : AlawFile();
  const std::string work = Folder() + "/trim.wav";
  const size_t before = heap_now.load();
  heap_peak = before;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
    state.ResumeTiming();
    if (telephony::TrimVocFile(work) != 0) state.SkipWithError("not trimmed");
  }
  ReportPeak(state, before);
}
BENCHMARK(BM_TrimTenMinutes)->ArgName("pcm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// range(0): 1 PCM, 0 A-law (the first file with automatic gain).
void BM_MixTenMinutes(benchmark::State& state) {
  const bool pcm = state.range(0) != 0;
  const std::string file = pcm ? PcmFile() : AlawFile();
  const std::string out = Folder() + "/mixed.wav";
  const size_t before = heap_now.load();
  heap_peak = before;
  for (auto _ : state) {
    if (telephony::MixVocFiles(file, pcm ? 1.0f : 0.0f, 1000, file, 1.0f, out) !=
        telephony::kMixDone) {
      state.SkipWithError("not mixed");
    }
  }
  ReportPeak(state, before);
}
BENCHMARK(BM_MixTenMinutes)->ArgName("pcm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
