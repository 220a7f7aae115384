#include "platform/wave_format.h"

namespace platform {
namespace {

constexpr uint16_t kPcmBits = 16;
constexpr uint16_t kCompandedBits = 8;

}  // namespace

WaveFormat VoiceFormat(uint16_t tag) {
  WaveFormat f;
  f.tag = tag;
  f.bits_per_sample = tag == kWaveTagPcm ? kPcmBits : kCompandedBits;
  f.block_align = static_cast<uint16_t>(f.bits_per_sample / 8);
  f.bytes_per_sec = f.samples_per_sec * f.block_align;
  return f;
}

}  // namespace platform
