// Random files as voices: WAV, headerless A-law and ".VOX". Each input is
// read by the WAV header reader and the editing reader, appended to an
// empty play file and to a WAV play file, taken as the play file itself,
// turned from headerless A-law and from ".VOX" into WAV files (which must
// then read back whole) and converted from 16-bit PCM to A-law. Nothing
// may read or write past a buffer, whatever a header claims.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_wav.h"
#include "telephony/voice/wave_convert.h"

namespace {

using telephony::WavHeader;
using telephony::WavReadResult;

// The editing reader's buffer: smaller than some inputs, so the cut is
// exercised too.
constexpr size_t kReadCapacity = 4096;

// Reads the header of a file the system wrote: it must be whole and hold
// data_size bytes of samples.
void ExpectWholeWav(const std::string& path, uint64_t data_size) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) __builtin_trap();
  WavHeader header;
  if (telephony::ReadWavHeader(f, &header) != WavReadResult::kOk ||
      header.data_size != data_size) {
    __builtin_trap();
  }
  std::fclose(f);
}

void ReadHeaderAndSamples(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return;
  const int64_t length = telephony::VoiceFileLength(f);
  std::rewind(f);
  WavHeader header;
  if (telephony::ReadWavHeader(f, &header) == WavReadResult::kOk &&
      static_cast<int64_t>(header.data_offset + header.data_size) > length) {
    __builtin_trap();
  }
  std::vector<uint8_t> buffer(kReadCapacity);
  telephony::VoiceSampleType type;
  std::rewind(f);
  if (telephony::ReadVoiceData(f, buffer.data(), buffer.size(), &type) > buffer.size()) {
    __builtin_trap();
  }
  std::fclose(f);
}

// Appends voice to a play file that starts as start (bytes).
void AppendTo(const std::string& start, const std::string& voice) {
  const std::string path = fuzz_support::PathOf("play.wav");
  FILE* f = std::fopen(path.c_str(), "w+b");
  if (f == nullptr) return;
  std::fwrite(start.data(), 1, start.size(), f);
  std::fflush(f);
  telephony::AppendVoiceFile(f, voice);
  std::fclose(f);
}

// A short A-law WAV voice of the system's own form.
const std::string& SmallWav() {
  static const std::string wav = [] {
    std::string bytes = platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagAlaw), 8,
                                                 platform::WavHeaderForm::k46);
    bytes.append(8, '\x55');
    return bytes;
  }();
  return wav;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::SilenceMessages();
  const std::string wav = fuzz_support::WriteInput("voice.wav", data, size);
  const std::string vox = fuzz_support::WriteInput("voice.VOX", data, size);
  if (wav.empty() || vox.empty()) return 0;

  ReadHeaderAndSamples(wav);
  AppendTo("", wav);
  AppendTo(SmallWav(), wav);
  const std::string small = fuzz_support::PathOf("small.wav");
  if (!fuzz_support::WriteInput("small.wav", reinterpret_cast<const uint8_t*>(SmallWav().data()),
                                SmallWav().size())
           .empty()) {
    AppendTo(std::string(reinterpret_cast<const char*>(data), size), small);
  }

  const std::string out = fuzz_support::PathOf("out.wav");
  if (telephony::RawAlawToWav(wav, out) == telephony::kRawToWavDone) ExpectWholeWav(out, size);
  if (telephony::ConvertVoxToWav(vox, out) == telephony::kConvertDone) {
    ExpectWholeWav(out, uint64_t{size} * 4);
  }
  if (telephony::ConvertPcmWavToAlaw(wav, out) == telephony::kConvertDone) {
    ReadHeaderAndSamples(out);
  }
  return 0;
}
