// The sample format of a voice, as the sound card's devices take it and as
// a WAV file's fmt chunk holds it (the fields in the chunk's order). The
// system's voices are 8000 samples a second, mono, A-law or μ-law (8 bits)
// or linear PCM (16 bits).
#ifndef VTTEL_PLATFORM_WAVE_FORMAT_H_
#define VTTEL_PLATFORM_WAVE_FORMAT_H_

#include <cstdint>

namespace platform {

// Format tags.
inline constexpr uint16_t kWaveTagPcm = 1;
inline constexpr uint16_t kWaveTagAlaw = 6;
inline constexpr uint16_t kWaveTagUlaw = 7;
inline constexpr uint32_t kVoiceSampleRate = 8000;

struct WaveFormat {
  uint16_t tag = kWaveTagAlaw;
  uint16_t channels = 1;
  uint32_t samples_per_sec = kVoiceSampleRate;
  uint32_t bytes_per_sec = kVoiceSampleRate;
  uint16_t block_align = 1;
  uint16_t bits_per_sample = 8;
};

// 8000 samples a second, mono, of the given tag (A-law, μ-law: 8 bits;
// PCM: 16 bits), with the byte rate and block align that go with it.
WaveFormat VoiceFormat(uint16_t tag);
// 8 kHz mono A-law (8,000 bytes a second) and 16-bit PCM (16,000).
inline WaveFormat AlawVoiceFormat() { return VoiceFormat(kWaveTagAlaw); }
inline WaveFormat Pcm16VoiceFormat() { return VoiceFormat(kWaveTagPcm); }

}  // namespace platform

#endif  // VTTEL_PLATFORM_WAVE_FORMAT_H_
