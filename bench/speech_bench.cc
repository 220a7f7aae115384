// Speech: a 2,048-byte text spoken through the syllable voice library into
// a voice file, and a short text spoken into a file by the system voice
// (espeak-ng). For the second the processor time of this process (the
// resampling, the conversion) is set against that of the espeak-ng
// children in the same run: "own/child" must stay under 0.10.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "platform/pipe_process.h"
#include "telephony/voice/espeak_speech.h"
#include "telephony/voice/syllable_lib.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTool = fs::path(__FILE__).parent_path().parent_path() / "tools" / "make_voclib.py";

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const std::string& Folder() {
  static const std::string dir = [] {
    const fs::path d = fs::temp_directory_path() / ("vttel_speech_bench_" + std::to_string(getpid()));
    fs::create_directories(d);
    return d.string();
  }();
  return dir;
}

void BM_SyllableSpeech2048(benchmark::State& state) {
  static const bool made =
      platform::RunProcess({"python3", kTool.string(), "--out", Folder(), "--only",
                            "0,1,2,3,4,5,6,7,8,9,mute,NI3,HAO3"}, "", nullptr).exit_status == 0;
  telephony::CGetHypy hypy;
  if (!made || hypy.LoadVocLib(Folder()) != 0) {
    state.SkipWithError("no library");
    return;
  }
  std::string text;
  while (text.size() < telephony::kMaxSpeechTextBytes) text += "你好12.5，";
  text.resize(telephony::kMaxSpeechTextBytes);
  const std::string out = Folder() + "/s.wav";
  for (auto _ : state) benchmark::DoNotOptimize(hypy.TextToVocFile(text, out));
}
BENCHMARK(BM_SyllableSpeech2048)->Unit(benchmark::kMillisecond);

void BM_SystemVoiceToFile(benchmark::State& state) {
  telephony::TagMsTTS voice;
  const std::string out = Folder() + "/v.wav";
  const double own0 = CpuSeconds(RUSAGE_SELF);
  const double child0 = CpuSeconds(RUSAGE_CHILDREN);
  for (auto _ : state) {
    benchmark::DoNotOptimize(voice.SpeakToFile("你好，欢迎使用语音平台。", out, true,
                                               static_cast<int32_t>(state.range(0))));
  }
  const double own = CpuSeconds(RUSAGE_SELF) - own0;
  const double child = CpuSeconds(RUSAGE_CHILDREN) - child0;
  state.counters["own_ms"] = benchmark::Counter(own * 1e3 / state.iterations());
  state.counters["child_ms"] = benchmark::Counter(child * 1e3 / state.iterations());
  state.counters["own/child"] = benchmark::Counter(child > 0 ? own / child : 0);
}
BENCHMARK(BM_SystemVoiceToFile)->Arg(telephony::kSpeechPcm16)->Arg(telephony::kSpeechAlaw)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
