#include "platform/g711.h"

#include <array>
#include <bit>

namespace platform {
namespace {

// Bits of a G.711 code: sign, 3-bit segment (exponent), 4-bit mantissa.
constexpr uint8_t kSignBit = 0x80;
constexpr uint8_t kSegmentMask = 0x70;
constexpr int kSegmentShift = 4;
constexpr uint8_t kMantissaMask = 0x0F;
constexpr int kSegments = 8;

// A-law codes are sent with the even bits inverted.
constexpr uint8_t kAlawEvenBits = 0x55;
// A-law encodes 13-bit values: the sample shifted right by 3.
constexpr int kAlawDropBits = 3;
// Values below 32 (5 bits) share segment 0 with segment 1's step size.
constexpr int kAlawSegmentZeroBits = 5;

// μ-law codes are sent inverted; the magnitude is biased by 0x84 (33 in
// 14-bit units) so that each segment starts at a power of two.
constexpr int kUlawBias = 0x84;
constexpr int kUlawDropBits = 2;
constexpr int kUlawBias14 = kUlawBias >> kUlawDropBits;
constexpr int kUlawClip14 = 8159;
constexpr int kUlawSegmentZeroBits = 6;
constexpr uint8_t kUlawMaxCode = 0x7F;

constexpr int16_t DecodeAlaw(uint8_t code) {
  const int a = code ^ kAlawEvenBits;
  const int segment = (a & kSegmentMask) >> kSegmentShift;
  int magnitude = (a & kMantissaMask) << 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<int16_t>((a & kSignBit) ? magnitude : -magnitude);
}

constexpr int16_t DecodeUlaw(uint8_t code) {
  const int u = static_cast<uint8_t>(~code);
  const int segment = (u & kSegmentMask) >> kSegmentShift;
  const int biased = (((u & kMantissaMask) << 3) + kUlawBias) << segment;
  return static_cast<int16_t>((u & kSignBit) ? kUlawBias - biased : biased - kUlawBias);
}

template <int16_t (*Decode)(uint8_t)>
constexpr std::array<int16_t, 256> BuildTable() {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[code] = Decode(static_cast<uint8_t>(code));
  return table;
}

constexpr std::array<int16_t, 256> kAlawTable = BuildTable<DecodeAlaw>();
constexpr std::array<int16_t, 256> kUlawTable = BuildTable<DecodeUlaw>();

// Segment of a non-negative magnitude: 0 up to zero_bits bits, then one
// segment per further bit.
constexpr int Segment(unsigned magnitude, int zero_bits) {
  const int width = std::bit_width(magnitude);
  return width > zero_bits ? width - zero_bits : 0;
}

}  // namespace

int16_t AlawToLinear(uint8_t code) { return kAlawTable[code]; }
int16_t UlawToLinear(uint8_t code) { return kUlawTable[code]; }

uint8_t LinearToAlaw(int16_t sample) {
  int value = sample >> kAlawDropBits;  // arithmetic shift keeps the sign
  uint8_t mask = kSignBit | kAlawEvenBits;
  if (value < 0) {
    value = ~value;
    mask = kAlawEvenBits;
  }
  // A 16-bit sample gives at most 4095, which is within segment 7.
  const int segment = Segment(static_cast<unsigned>(value), kAlawSegmentZeroBits);
  const int shift = segment < 2 ? 1 : segment;
  const int code = (segment << kSegmentShift) | ((value >> shift) & kMantissaMask);
  return static_cast<uint8_t>(code ^ mask);
}

uint8_t LinearToUlaw(int16_t sample) {
  int value = sample >> kUlawDropBits;
  uint8_t mask = 0xFF;
  if (value < 0) {
    value = -value;
    mask = static_cast<uint8_t>(~kSignBit);
  }
  if (value > kUlawClip14) value = kUlawClip14;
  value += kUlawBias14;
  const int segment = Segment(static_cast<unsigned>(value), kUlawSegmentZeroBits);
  if (segment >= kSegments) return static_cast<uint8_t>(kUlawMaxCode ^ mask);
  const int code = (segment << kSegmentShift) | ((value >> (segment + 1)) & kMantissaMask);
  return static_cast<uint8_t>(code ^ mask);
}

}  // namespace platform
