#include "telephony/voice/espeak_speech.h"

#include <samplerate.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/log.h"
#include "frame/settings.h"
#include "platform/byte_order.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/g711.h"
#include "platform/host_path.h"
#include "platform/pipe_process.h"
#include "platform/wav_file.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

// The largest text file spoken with the file flag.
constexpr int64_t kMaxSpeechFileBytes = 1 << 20;
constexpr size_t kWaitThreadStack = 64 * 1024;
constexpr uint32_t kSpeechBufferId = 1;
// The sample rate in a fmt body: the four bytes after the tag and channels.
constexpr size_t kWavRateOffset = 4;
constexpr size_t kWavRateEnd = 8;

// The samples and rate of the WAV that espeak-ng writes on its output (its
// sizes are not final there: the data run to the end).
bool ParseEspeakWav(const std::string& wav, std::vector<int16_t>* samples, uint32_t* rate) {
  if (wav.size() < platform::kWavRiffHeaderBytes || wav.compare(0, 4, "RIFF") != 0) return false;
  *rate = 0;
  platform::WavChunkWalker walk(wav);
  platform::WavChunk chunk;
  while (walk.Next(&chunk)) {
    const size_t body = chunk.body();
    if (chunk.Is("fmt ") && body + kWavRateEnd <= wav.size()) {
      *rate = platform::LoadLe32(wav.data() + body + kWavRateOffset);
    } else if (chunk.Is("data")) {
      const size_t count = (wav.size() - body) / 2;
      samples->resize(count);
      std::memcpy(samples->data(), wav.data() + body, count * 2);
      return *rate != 0;
    }
  }
  return false;
}

// The anti-alias filter before the linear rate change: a windowed-sinc
// low-pass (Hamming) at kCutoffShare of the target's Nyquist rate,
// 2 x kLowPassHalfTaps + 1 taps. libsamplerate's own sinc converters cost
// about half of espeak-ng's synthesis time; this filter and its linear
// converter cost a few per cent, and speech keeps its band below 3.6 kHz.
constexpr int kLowPassHalfTaps = 8;
constexpr double kCutoffShare = 0.9;

std::vector<float> LowPassForRate(const std::vector<int16_t>& samples, uint32_t rate) {
  constexpr double kPi = 3.14159265358979323846;
  const double cutoff = kCutoffShare * platform::kVoiceSampleRate / 2 / rate;  // cycles per sample
  float taps[2 * kLowPassHalfTaps + 1];
  double sum = 0;
  for (int k = -kLowPassHalfTaps; k <= kLowPassHalfTaps; ++k) {
    const double sinc = k == 0 ? 2 * cutoff : std::sin(2 * kPi * cutoff * k) / (kPi * k);
    const double window = 0.54 + 0.46 * std::cos(kPi * k / kLowPassHalfTaps);
    taps[k + kLowPassHalfTaps] = static_cast<float>(sinc * window);
    sum += sinc * window;
  }
  for (float& t : taps) t = static_cast<float>(t / sum);
  // Silence beyond both ends.
  std::vector<float> in(samples.size() + 2 * kLowPassHalfTaps, 0.0f);
  src_short_to_float_array(samples.data(), in.data() + kLowPassHalfTaps,
                           static_cast<int>(samples.size()));
  // One pass per tap over all samples: the compiler vectorises it.
  std::vector<float> out(samples.size(), 0.0f);
  for (int k = 0; k <= 2 * kLowPassHalfTaps; ++k) {
    const float tap = taps[k];
    const float* from = in.data() + k;
    for (size_t i = 0; i < out.size(); ++i) out[i] += tap * from[i];
  }
  return out;
}

bool LoggingOn() { return frame::GetSettings().log_level.load() != 0; }

}  // namespace

std::string SpeechProgramPath() {
  const char* chosen = std::getenv("VTTEL_ESPEAK");
  return platform::FindProgramOnPath(chosen != nullptr && *chosen != '\0' ? chosen : kEspeakProgram);
}

int32_t SynthesizeSpeech(const std::string& program, std::string_view text, bool chinese,
                         bool xml, bool from_file, std::vector<int16_t>* samples,
                         const std::function<bool()>& should_stop) {
  samples->clear();
  std::string gbk(text);
  if (from_file) {
    platform::FileBytes file = platform::ReadScriptFile(text, kMaxSpeechFileBytes);
    if (!file.bytes) return kSpeechFailed;
    gbk = std::move(*file.bytes);
  }
  std::vector<std::string> argv = {program, "-v", chinese ? kEspeakChineseVoice : kEspeakEnglishVoice,
                                   "--stdout"};
  if (xml) argv.push_back("-m");
  std::string wav;
  const platform::ProcessResult run =
      platform::RunProcess(argv, platform::GbkToUtf8(gbk), &wav, should_stop);
  std::vector<int16_t> raw;
  uint32_t rate = 0;
  if (run.exit_status != 0 || !ParseEspeakWav(wav, &raw, &rate)) return kSpeechFailed;
  *samples = ResampleTo8k(raw, rate);
  return 0;
}

std::vector<int16_t> ResampleTo8k(const std::vector<int16_t>& samples, uint32_t rate) {
  if (rate == platform::kVoiceSampleRate || samples.empty()) return samples;
  const double ratio = static_cast<double>(platform::kVoiceSampleRate) / rate;
  const std::vector<float> in = LowPassForRate(samples, rate);
  std::vector<float> out(static_cast<size_t>(static_cast<double>(samples.size()) * ratio) + 16);
  SRC_DATA data{};
  data.data_in = in.data();
  data.data_out = out.data();
  data.input_frames = static_cast<long>(in.size());
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  if (src_simple(&data, SRC_LINEAR, 1) != 0) return {};
  std::vector<int16_t> result(static_cast<size_t>(data.output_frames_gen));
  src_float_to_short_array(out.data(), result.data(), static_cast<int>(result.size()));
  return result;
}

std::string SpeechWavBytes(const std::vector<int16_t>& samples, int32_t type) {
  platform::WaveFormat format;
  std::string data;
  switch (type) {
    case kSpeechPcm16:
      format = platform::VoiceFormat(platform::kWaveTagPcm);
      data.assign(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
      break;
    case kSpeechAlaw:
    case kSpeechUlaw:
      format = platform::VoiceFormat(type == kSpeechAlaw ? platform::kWaveTagAlaw
                                                         : platform::kWaveTagUlaw);
      data.resize(samples.size());
      for (size_t i = 0; i < samples.size(); ++i) {
        data[i] = static_cast<char>(type == kSpeechAlaw ? platform::LinearToAlaw(samples[i])
                                                        : platform::LinearToUlaw(samples[i]));
      }
      break;
    default:  // 8-bit PCM: unsigned, 128 the silence
      format = platform::VoiceFormat(platform::kWaveTagPcm);
      format.bits_per_sample = 8;
      format.block_align = 1;
      format.bytes_per_sec = platform::kVoiceSampleRate;
      data.resize(samples.size());
      for (size_t i = 0; i < samples.size(); ++i) data[i] = static_cast<char>((samples[i] >> 8) + 128);
      break;
  }
  return platform::WavHeaderBytes(format, static_cast<uint32_t>(data.size()),
                                  platform::WavHeaderForm::k46) +
         data;
}

TagMsTTS::TagMsTTS() : program_(SpeechProgramPath()) {
  if (!program_.empty()) return;
  creation_result_ = kSpeechNoVoice;
  frame::LogAlwaysF("MS TTS : Could not create a TTS voice on the local machine, hr=0x%x",
                    static_cast<unsigned>(creation_result_));
  frame::LogMsg("REGDB_E_CLASSNOTREG\n");
}

int32_t TagMsTTS::SpeakToFile(std::string_view text, std::string_view path, bool chinese,
                              int32_t type, const std::function<bool()>& should_stop) {
  if (creation_result_ != 0) return creation_result_;
  const std::string out_path(path);
  FILE* out = platform::OpenHostFile(out_path, "wb");
  if (out == nullptr) {
    if (LoggingOn()) {
      frame::LogMsgF("MS TTS: BindToFile(%s), hr=%d", out_path.c_str(), kSpeechNoStream);
      frame::LogMsgF("MS TTS: cpWavStream=NULL, ret=%d", kSpeechNoStream);
    }
    return kSpeechNoStream;
  }
  std::vector<int16_t> samples;
  const int32_t result =
      SynthesizeSpeech(program_, text, chinese, false, false, &samples, should_stop);
  const std::string bytes = SpeechWavBytes(samples, type);
  // The bytes reach the disk at the close at the latest: a failure there
  // (a full disk) is a failure to write.
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const bool closed = std::fclose(out) == 0;
  return result != 0 ? result : written && closed ? 0 : kSpeechFailed;
}

TagTTS::TagTTS(int32_t device, int32_t line)
    : device_(device), tag_(WaveTagOfLine(line)), program_(SpeechProgramPath()) {
  if (program_.empty()) creation_result_ = kSpeechNoVoice;
}

TagTTS::~TagTTS() {
  out_.reset();  // a buffer in flight comes back with its done notice
  waiter_.Join();
}

int32_t TagTTS::Start(std::string_view text, bool from_file, bool is_xml) {
  if (creation_result_ != 0) return creation_result_;
  if (out_) return kSpeechFailed;  // one utterance per object
  std::vector<int16_t> samples;
  const int32_t result = SynthesizeSpeech(program_, text, true, is_xml, from_file, &samples);
  if (result != 0) return result;
  if (samples.empty()) return 0;
  pcm_.assign(reinterpret_cast<const uint8_t*>(samples.data()),
              reinterpret_cast<const uint8_t*>(samples.data() + samples.size()));
  if (platform::GetWaveDevices().OpenOut(device_, platform::Pcm16VoiceFormat(), tag_, &notices_,
                                         &out_) != platform::kWaveOk) {
    return kSpeechFailed;
  }
  done_.store(false, std::memory_order_release);
  if (!waiter_.Start("tts " + tag_, kWaitThreadStack, [this] { WaitForEnd(); }) ||
      out_->Write(pcm_.data(), static_cast<uint32_t>(pcm_.size()), kSpeechBufferId) !=
          platform::kWaveOk) {
    out_.reset();
    waiter_.Join();
    done_.store(true, std::memory_order_release);
    return kSpeechFailed;
  }
  return 0;
}

void TagTTS::WaitForEnd() {
  for (;;) {
    const platform::WaveNotice notice = notices_.Wait();
    if (notice.kind == platform::WaveNoticeKind::kDone ||
        notice.kind == platform::WaveNoticeKind::kClosed) {
      break;
    }
  }
  done_.store(true, std::memory_order_release);
}

}  // namespace telephony
