// The cost of a log call on a line thread: buffered (the display pass
// flushes) and immediate, from one and from several threads at once.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "frame/log_writer.h"

namespace {

std::string BenchLogPath() {
  return (std::filesystem::temp_directory_path() / "vttel-log-bench.txt").string();
}

std::unique_ptr<frame::TagWriteLog> log_under_test;

// range(0): 1 immediate mode, 0 buffered.
void BM_LogWrite(benchmark::State& state) {
  if (state.thread_index() == 0) {
    log_under_test = std::make_unique<frame::TagWriteLog>(BenchLogPath(), 80u << 20,
                                                          state.range(0) != 0, true);
  }
  const std::string text = "lcnt=12, TagDjTupCall::WaitRing: incoming call";
  for (auto _ : state) log_under_test->Write(text);
  if (state.thread_index() == 0) {
    log_under_test.reset();
    std::filesystem::remove(BenchLogPath());
  }
}
BENCHMARK(BM_LogWrite)->ArgName("immediate")->Arg(0)->Arg(1)->Threads(1)->Threads(4);

}  // namespace

BENCHMARK_MAIN();
