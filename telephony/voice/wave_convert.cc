#include "telephony/voice/wave_convert.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/byte_order.h"
#include "platform/host_path.h"
#include "telephony/voice/voice_file.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

constexpr std::array<int16_t, 49> kVoxSteps = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,   45,   50,   55,   60,   66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209,  230,  253,  279,  307,  337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552};
constexpr std::array<int8_t, 8> kVoxIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int32_t kVoxIndexMax = static_cast<int32_t>(kVoxSteps.size()) - 1;
// The predictor's 12-bit range and its scale to 16-bit samples.
constexpr int32_t kVoxPredictorMin = -2048;
constexpr int32_t kVoxPredictorMax = 2047;
constexpr int32_t kVoxSampleScale = 10;

constexpr size_t kVoxReadBytes = 4096;
constexpr size_t kAlawBlockSamples = 1000;

// Closes a file on every way out.
struct FileCloser {
  void operator()(FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

void PutSample(std::string& out, int16_t sample) {
  platform::AppendLe16(&out, static_cast<uint16_t>(sample));
}

}  // namespace

int16_t VoxDecoder::Decode(uint8_t nibble) {
  const int32_t step = kVoxSteps[static_cast<size_t>(index)];
  int32_t diff = step >> 3;
  if ((nibble & 4) != 0) diff += step;
  if ((nibble & 2) != 0) diff += step >> 1;
  if ((nibble & 1) != 0) diff += step >> 2;
  if ((nibble & 8) != 0) diff = -diff;
  predictor = std::clamp(predictor + diff, kVoxPredictorMin, kVoxPredictorMax);
  index = std::clamp(index + kVoxIndexAdjust[nibble & 7], 0, kVoxIndexMax);
  return static_cast<int16_t>(predictor * kVoxSampleScale);
}

std::vector<int16_t> DecodeVox(const uint8_t* bytes, size_t count) {
  VoxDecoder decoder;
  std::vector<int16_t> samples;
  samples.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    samples.push_back(decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4)));
    samples.push_back(decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F)));
  }
  return samples;
}

int32_t ConvertVoxToWav(std::string_view vox_file, std::string_view wav_file) {
  FileHandle source(platform::OpenHostFile(vox_file, "rb"));
  if (!source) return kConvertNoSource;
  FileHandle target(platform::OpenHostFile(wav_file, "wb"));
  if (!target) return kConvertBadTarget;
  const platform::WaveFormat pcm = platform::VoiceFormat(platform::kWaveTagPcm);
  if (!WriteBytes(target.get(), platform::WavHeaderBytes(pcm, 0, platform::WavHeaderForm::k46))) {
    return kConvertBadTarget;
  }
  VoxDecoder decoder;
  uint8_t bytes[kVoxReadBytes];
  std::string samples;
  uint64_t data_size = 0;
  size_t got;
  while ((got = std::fread(bytes, 1, sizeof bytes, source.get())) > 0) {
    samples.clear();
    for (size_t i = 0; i < got; ++i) {
      PutSample(samples, decoder.Decode(static_cast<uint8_t>(bytes[i] >> 4)));
      PutSample(samples, decoder.Decode(static_cast<uint8_t>(bytes[i] & 0x0F)));
    }
    if (!WriteBytes(target.get(), samples)) return kConvertBadTarget;
    data_size += samples.size();
  }
  if (std::ferror(source.get()) != 0) return kConvertNoSource;
  const auto size =
      static_cast<uint32_t>(std::min<uint64_t>(data_size, platform::kWavMaxDataBytes));
  if (!WriteWavSizes(target.get(), platform::WavHeaderLength(platform::WavHeaderForm::k46), size) ||
      std::fclose(target.release()) != 0) {
    return kConvertBadTarget;
  }
  return kConvertDone;
}

int32_t ConvertPcmWavToAlaw(std::string_view source_file, std::string_view target_file) {
  FileHandle source(platform::OpenHostFile(source_file, "rb"));
  if (!source) return kConvertNoSource;
  char wave_id[4];
  WavHeader header;
  if (ReadWavHeader(source.get(), &header) != WavReadResult::kOk ||
      std::fseek(source.get(), 8, SEEK_SET) != 0 ||
      std::fread(wave_id, 1, sizeof wave_id, source.get()) != sizeof wave_id ||
      std::memcmp(wave_id, "WAVE", sizeof wave_id) != 0) {
    return kConvertBadTarget;
  }
  if (header.format.tag != platform::kWaveTagPcm || header.format.bits_per_sample != 16) {
    return kConvertNotPcm16;
  }
  FileHandle target(platform::OpenHostFile(target_file, "wb"));
  if (!target) return kConvertBadTarget;
  platform::WaveFormat alaw = header.format;
  alaw.tag = platform::kWaveTagAlaw;
  alaw.bits_per_sample = 8;
  alaw.block_align = std::max<uint16_t>(alaw.channels, 1);
  alaw.bytes_per_sec = alaw.samples_per_sec * alaw.block_align;
  if (!WriteBytes(target.get(), platform::WavHeaderBytes(alaw, 0, platform::WavHeaderForm::k46)) ||
      std::fseek(source.get(), static_cast<long>(header.data_offset), SEEK_SET) != 0) {
    return kConvertBadTarget;
  }
  uint8_t pcm[kAlawBlockSamples * 2];
  std::string codes;
  uint32_t left = header.data_size / 2;
  uint32_t converted = 0;
  while (left > 0) {
    const size_t want = std::min<size_t>(left, kAlawBlockSamples);
    const size_t got = std::fread(pcm, 2, want, source.get());
    if (got == 0) break;
    codes.clear();
    for (size_t i = 0; i < got; ++i) {
      const auto sample = static_cast<int16_t>(platform::LoadLe16(pcm + 2 * i));
      codes.push_back(static_cast<char>(CompressAlaw(sample)));
    }
    if (!WriteBytes(target.get(), codes)) return kConvertBadTarget;
    converted += static_cast<uint32_t>(got);
    left -= static_cast<uint32_t>(got);
  }
  if (!WriteWavSizes(target.get(), platform::WavHeaderLength(platform::WavHeaderForm::k46),
                     converted) ||
      std::fclose(target.release()) != 0) {
    return kConvertBadTarget;
  }
  return kConvertDone;
}

}  // namespace telephony
