// The G.711 sample codec (ITU-T G.711): 8-bit A-law and μ-law codes to and
// from 16-bit linear samples. It is the one codec of the program: the voice
// files, the voice editing and the simulated board all go through it.
//
// Decoding is a lookup in 256-entry tables built at compile time; encoding
// finds the segment from the bit width of the magnitude. Pure functions:
// thread-safe, no state.
#ifndef VTTEL_PLATFORM_G711_H_
#define VTTEL_PLATFORM_G711_H_

#include <cstdint>

namespace platform {

// The codes of a zero sample.
inline constexpr uint8_t kAlawZero = 0xD5;
inline constexpr uint8_t kUlawZero = 0xFF;

// A-law code -> sample: the 13-bit G.711 value scaled to 16 bits (the
// smallest magnitudes decode to +-8, the largest to +-32256).
int16_t AlawToLinear(uint8_t code);
// Sample -> A-law code: the top 13 bits of the sample, rounded toward
// minus infinity as G.711 specifies (0 -> 0xD5, -1 -> 0x55).
uint8_t LinearToAlaw(int16_t sample);

// μ-law code -> sample: the 14-bit G.711 value scaled to 16 bits (0xFF and
// 0x7F give 0, 0x00 gives -32124, 0x80 gives 32124).
int16_t UlawToLinear(uint8_t code);
// Sample -> μ-law code: the top 14 bits of the sample, magnitudes clipped
// at 8159 (32767 -> 0x80, 0 -> 0xFF).
uint8_t LinearToUlaw(int16_t sample);

}  // namespace platform

#endif  // VTTEL_PLATFORM_G711_H_
