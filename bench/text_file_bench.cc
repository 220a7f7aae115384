// Text files beside python3 on the same files: reading a 64 MB CR LF file
// line by line in text mode ("r") against python3's binary readline(), and
// writing 64 MB in 80-byte strings against python3's write(); then appends
// per second from 8 lines to one append file.
//
// python3 measures its own loop (its start-up is not counted); each side
// reports the seconds of its loop as the iteration time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/tag_var.h"
#include "services/files/text_file.h"
#include "services/files/txt_append.h"

namespace {

constexpr size_t kFileBytes = 64u << 20;
constexpr size_t kPieceBytes = 80;

std::string BenchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

// A 64 MB file of CR LF lines of 78 characters, made once.
const std::string& CrLfFile() {
  static const std::string path = [] {
    const std::string p = BenchPath("vttel-text-bench-crlf.txt");
    std::string line(78, 'x');
    line += "\r\n";
    FILE* f = std::fopen(p.c_str(), "wb");
    for (size_t n = 0; n < kFileBytes; n += line.size()) std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
    return p;
  }();
  return path;
}

// Runs a python3 program that prints the seconds of its loop.
double PythonSeconds(const std::string& program) {
  const std::string command = "python3 -c '" + program + "'";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return -1;
  double seconds = -1;
  if (std::fscanf(p, "%lf", &seconds) != 1) seconds = -1;
  pclose(p);
  return seconds;
}

template <typename Loop>
void TimeLoop(benchmark::State& state, Loop loop) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    loop();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void BM_ReadLineTextMode(benchmark::State& state) {
  const std::string& path = CrLfFile();
  int64_t lines = 0;
  TimeLoop(state, [&] {
    services::TTextFileRead file(path, "r");
    engine::TagVar line;
    while (file.ReadLine(line) >= 0) ++lines;
  });
  benchmark::DoNotOptimize(lines);
}
BENCHMARK(BM_ReadLineTextMode)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PythonReadlineBinary(benchmark::State& state) {
  const std::string program =
      "import time\nf = open(\"" + CrLfFile() +
      "\", \"rb\")\nt = time.perf_counter()\nn = 0\n"
      "for l in iter(f.readline, b\"\"): n += 1\nprint(time.perf_counter() - t)\n";
  for (auto _ : state) state.SetIterationTime(PythonSeconds(program));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_PythonReadlineBinary)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// range(0): 0 text mode ("w"), 1 binary ("wb").
void BM_Write80ByteStrings(benchmark::State& state) {
  const std::string path = BenchPath("vttel-text-bench-out.txt");
  const std::string piece(kPieceBytes, 'y');
  engine::TagVar value;
  value.SetBytes(piece.data(), piece.size());
  TimeLoop(state, [&] {
    services::TTextFileRead file(path, state.range(0) != 0 ? "wb" : "w");
    for (size_t n = 0; n < kFileBytes; n += kPieceBytes) file.Write(value);
  });
  std::filesystem::remove(path);
}
BENCHMARK(BM_Write80ByteStrings)->ArgName("binary")->Arg(0)->Arg(1)->UseManualTime()
    ->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PythonWrite80ByteStrings(benchmark::State& state) {
  const std::string path = BenchPath("vttel-text-bench-py.txt");
  const std::string program =
      "import time\nf = open(\"" + path + "\", \"wb\")\nb = b\"y\" * " +
      std::to_string(kPieceBytes) + "\nt = time.perf_counter()\nfor i in range(" +
      std::to_string(kFileBytes / kPieceBytes) +
      "): f.write(b)\nf.close()\nprint(time.perf_counter() - t)\n";
  for (auto _ : state) state.SetIterationTime(PythonSeconds(program));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
  std::filesystem::remove(path);
}
BENCHMARK(BM_PythonWrite80ByteStrings)->UseManualTime()->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Appends (mode 3, with the time and line prefix) from 8 lines to one file.
void BM_AppendFromEightLines(benchmark::State& state) {
  static services::TTxtAppend appender;
  static const std::string path = BenchPath("vttel-append-bench.txt");
  const int32_t line = static_cast<int32_t>(state.thread_index());
  for (auto _ : state) appender.Append(path, line, "an appended line of the bench", 3);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendFromEightLines)->Threads(8)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
