// The converters of the sound-card player: 4-bit ADPCM ".VOX" voice (the
// Dialogic/OKI algorithm) into a 16-bit PCM WAV file, and a 16-bit PCM WAV
// file into an A-law WAV file. Paths are script paths (host_path.h).
//
// Thread rules: none of their own; two conversions into one target must not
// run at once (the player converts under a lock of the path, wave_play.h).
#ifndef VTTEL_TELEPHONY_VOICE_WAVE_CONVERT_H_
#define VTTEL_TELEPHONY_VOICE_WAVE_CONVERT_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace telephony {

// Results of the converters.
inline constexpr int32_t kConvertDone = 0;
inline constexpr int32_t kConvertNoSource = -1;   // the source cannot be read
inline constexpr int32_t kConvertBadTarget = -2;  // not RIFF WAVE, or the target not writable
inline constexpr int32_t kConvertNotPcm16 = -3;   // the source is not 16-bit PCM

// The state of the ADPCM decoder: it starts with step index 16 and
// predictor 0.
struct VoxDecoder {
  int32_t index = 16;
  int32_t predictor = 0;
  // The 16-bit sample of one 4-bit code: the 12-bit predictor times 10.
  int16_t Decode(uint8_t nibble);
};

// Two samples per byte, the high nibble first, from a fresh decoder.
std::vector<int16_t> DecodeVox(const uint8_t* bytes, size_t count);

// x.VOX -> a WAV of 8 kHz 16-bit mono PCM with an 18-byte format chunk.
int32_t ConvertVoxToWav(std::string_view vox_file, std::string_view wav_file);

// 16-bit PCM WAV -> A-law WAV (channels and rate kept), each sample through
// the one A-law encoder of the program (G.711).
int32_t ConvertPcmWavToAlaw(std::string_view source_file, std::string_view target_file);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_WAVE_CONVERT_H_
