// Little-endian loads and stores of the system's binary formats (WAV and
// dBASE headers, the voice library's index, scrambled scripts, the monitor
// protocol). They go byte by byte, so they hold at any alignment and on any
// host; the compiler turns them into single loads and stores where it can.
#ifndef VTTEL_PLATFORM_BYTE_ORDER_H_
#define VTTEL_PLATFORM_BYTE_ORDER_H_

#include <cstdint>
#include <string>

namespace platform {

// The value of the 2 or 4 bytes at p, least significant first.
inline uint16_t LoadLe16(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}
inline uint32_t LoadLe32(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// Writes v into the 2 or 4 bytes at p, least significant first.
inline void StoreLe16(void* p, uint16_t v) {
  auto* b = static_cast<unsigned char*>(p);
  b[0] = static_cast<unsigned char>(v);
  b[1] = static_cast<unsigned char>(v >> 8);
}
inline void StoreLe32(void* p, uint32_t v) {
  auto* b = static_cast<unsigned char*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Appends v to out as 2 or 4 bytes, least significant first.
inline void AppendLe16(std::string* out, uint16_t v) {
  char b[2];
  StoreLe16(b, v);
  out->append(b, sizeof b);
}
inline void AppendLe32(std::string* out, uint32_t v) {
  char b[4];
  StoreLe32(b, v);
  out->append(b, sizeof b);
}

}  // namespace platform

#endif  // VTTEL_PLATFORM_BYTE_ORDER_H_
