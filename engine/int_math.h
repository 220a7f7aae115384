// Two's complement arithmetic on script integers. Script integers are 32
// bits and wrap; nothing here traps or is undefined: INT_MIN / -1 is
// INT_MIN, INT_MIN % -1 is 0, shifts take the low five bits of the count.
#ifndef VTTEL_ENGINE_INT_MATH_H_
#define VTTEL_ENGINE_INT_MATH_H_

#include <cstdint>

namespace engine {

inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t WrapNeg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
// REQUIRES: b != 0.
inline int32_t WrapDiv(int32_t a, int32_t b) { return b == -1 ? WrapNeg(a) : a / b; }
inline int32_t WrapMod(int32_t a, int32_t b) { return b == -1 ? 0 : a % b; }
inline int32_t WrapShl(int32_t a, int32_t n) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << (n & 31));
}

}  // namespace engine

#endif  // VTTEL_ENGINE_INT_MATH_H_
