// The converters of the sound-card player: the ADPCM decoder against a
// table computed by hand and against sox's decoder on speech, and the A-law
// conversion against the one A-law encoder on every 16-bit sample.
#include "telephony/voice/wave_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "telephony/voice/voice_file.h"
#include "tests/platform/spawned_program.h"
#include "tests/telephony/wave_fixture.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }
std::vector<int16_t> Samples(const std::string& bytes, size_t from) {
  std::vector<int16_t> out;
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                       static_cast<uint8_t>(bytes[i + 1]) << 8));
  }
  return out;
}

// A WAV file of 16-bit samples with a 16-byte format chunk.
std::string Pcm16Wav(const std::string& samples, uint16_t tag = 1, uint16_t bits = 16) {
  return "RIFF" + Le32(36 + static_cast<uint32_t>(samples.size())) + "WAVEfmt " + Le32(16) +
         Le16(tag) + Le16(1) + Le32(8000) + Le32(8000 * bits / 8) + Le16(bits / 8) + Le16(bits) +
         "data" + Le32(static_cast<uint32_t>(samples.size())) + samples;
}

TEST(VoxDecoder, FollowsTheStepTableByHand) {
  // nibble, the predictor after it (sample / 10), the step index after it.
  struct Step {
    uint8_t nibble;
    int32_t predictor;
    int32_t index;
  };
  const Step steps[] = {
      {0x7, 136, 24},   // step 73: 9 + 73 + 36 + 18
      {0xF, -157, 32},  // step 157: -(19 + 157 + 78 + 39)
      {0x4, 222, 34},   // step 337: 42 + 337
      {0x8, 171, 33},   // step 408: -51
      {0x2, 402, 32},   // step 371: 46 + 185
      {0x1, 528, 31},   // step 337: 42 + 84
  };
  VoxDecoder decoder;
  for (const Step& s : steps) {
    EXPECT_EQ(decoder.Decode(s.nibble), s.predictor * 10) << int(s.nibble);
    EXPECT_EQ(decoder.index, s.index) << int(s.nibble);
  }
  // The same codes as bytes, the high nibble first.
  const uint8_t bytes[] = {0x7F, 0x48, 0x21};
  const std::vector<int16_t> samples = DecodeVox(bytes, sizeof bytes);
  ASSERT_EQ(samples.size(), 6u);
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(samples[i], steps[i].predictor * 10);
}

TEST(VoxDecoder, KeepsPredictorAndIndexInRange) {
  struct Case {
    uint8_t nibble;
    int16_t last_sample;
    int32_t last_index;
  };
  const Case cases[] = {{0x7, 20470, 48}, {0xF, -20480, 48}, {0x0, 0, 0}};
  for (const Case& c : cases) {
    VoxDecoder decoder;
    int16_t sample = 0;
    for (int i = 0; i < 200; ++i) sample = decoder.Decode(c.nibble);
    if (c.nibble != 0x0) {
      EXPECT_EQ(sample, c.last_sample) << int(c.nibble);
    }
    EXPECT_EQ(decoder.index, c.last_index) << int(c.nibble);
  }
}

// High-pass that takes away the DC offset in which two decoders that start
// from other step sizes differ.
std::vector<double> DcBlocked(const std::vector<int16_t>& x) {
  std::vector<double> y(x.size());
  double prev_x = 0, prev_y = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    prev_y = x[i] - prev_x + 0.995 * prev_y;
    prev_x = x[i];
    y[i] = prev_y;
  }
  return y;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const size_t n = std::min(a.size(), b.size());
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) ma += a[i], mb += b[i];
  ma /= n, mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (size_t i = 0; i < n; ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

TEST(VoxDecoder, DecodesSpeechAsSoxDoes) {
  TempDir dir;
  const std::string speech = dir.File("speech.wav"), vox = dir.File("speech.vox");
  ASSERT_EQ(RunProgram("/usr/bin/espeak-ng",
                       {"-v", "en-us", "-w", dir.File("raw.wav"), "the quick brown fox jumps"}),
            0);
  ASSERT_EQ(RunProgram("/usr/bin/sox", {dir.File("raw.wav"), "-r", "8000", "-c", "1", "-b",
                                        "16", speech}),
            0);
  ASSERT_EQ(RunProgram("/usr/bin/sox", {speech, "-r", "8000", vox}), 0);
  ASSERT_EQ(RunProgram("/usr/bin/sox", {"-r", "8000", vox, "-b", "16", dir.File("sox.wav")}),
            0);
  const std::string vox_bytes = ReadFile(vox).value();
  const std::vector<int16_t> ours =
      DecodeVox(reinterpret_cast<const uint8_t*>(vox_bytes.data()), vox_bytes.size());
  const std::vector<int16_t> theirs = Samples(ReadFile(dir.File("sox.wav")).value(), 44);
  ASSERT_GT(ours.size(), 8000u);
  EXPECT_GT(Correlation(DcBlocked(ours), DcBlocked(theirs)), 0.99);
  // Through the file converter: the same samples behind an 18-byte format.
  ASSERT_EQ(ConvertVoxToWav(vox, dir.File("ours.wav")), kConvertDone);
  const std::string wav = ReadFile(dir.File("ours.wav")).value();
  const auto n = static_cast<uint32_t>(vox_bytes.size() * 4);
  EXPECT_EQ(Le32At(wav, 16), 18u);
  EXPECT_EQ(Le32At(wav, 4), n + 38);
  EXPECT_EQ(Le32At(wav, 42), n);
  EXPECT_EQ(Samples(wav, 46), ours);
}

TEST(WaveConverters, ReportTheirFailures) {
  TempDir dir;
  WriteFile(dir.File("x.vox"), "\x12\x34");
  WriteFile(dir.File("text.wav"), std::string(100, 'x'));
  WriteFile(dir.File("alaw.wav"), Pcm16Wav(std::string(10, '\xD5'), 6, 8));
  WriteFile(dir.File("pcm.wav"), Pcm16Wav(std::string(10, '\0')));
  const std::string nowhere = dir.File("missing/out.wav");
  EXPECT_EQ(ConvertVoxToWav(dir.File("none.vox"), dir.File("o.wav")), kConvertNoSource);
  EXPECT_EQ(ConvertVoxToWav(dir.File("x.vox"), nowhere), kConvertBadTarget);
  EXPECT_EQ(ConvertPcmWavToAlaw(dir.File("none.wav"), dir.File("o.wav")), kConvertNoSource);
  EXPECT_EQ(ConvertPcmWavToAlaw(dir.File("text.wav"), dir.File("o.wav")), kConvertBadTarget);
  EXPECT_EQ(ConvertPcmWavToAlaw(dir.File("alaw.wav"), dir.File("o.wav")), kConvertNotPcm16);
  EXPECT_EQ(ConvertPcmWavToAlaw(dir.File("pcm.wav"), nowhere), kConvertBadTarget);
}

TEST(WaveConverters, AlawOfEverySampleIsTheG711Code) {
  TempDir dir;
  std::string samples;
  for (int s = -32768; s <= 32767; ++s) samples += Le16(static_cast<uint16_t>(s));
  WriteFile(dir.File("all.wav"), Pcm16Wav(samples));
  ASSERT_EQ(ConvertPcmWavToAlaw(dir.File("all.wav"), dir.File("all-a.wav")), kConvertDone);
  const std::string out = ReadFile(dir.File("all-a.wav")).value();
  ASSERT_EQ(out.size(), 46u + 65536);
  EXPECT_EQ(Le32At(out, 4), 65536u + 38);
  EXPECT_EQ(out[20], 6);          // A-law
  EXPECT_EQ(out[34], 8);          // bits per sample
  EXPECT_EQ(Le32At(out, 28), 8000u);  // bytes per second
  EXPECT_EQ(Le32At(out, 42), 65536u);
  int differ = 0;
  for (int s = -32768; s <= 32767; ++s) {
    differ += static_cast<uint8_t>(out[46 + s + 32768]) != CompressAlaw(static_cast<int16_t>(s));
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(static_cast<uint8_t>(out[46 + 32768]), 0xD5);  // sample 0
  EXPECT_EQ(static_cast<uint8_t>(out[46]), 0x2A);          // sample -32768
}

}  // namespace
}  // namespace telephony
