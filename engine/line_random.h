// The random number generator of a line's thread ("Rand("): each line's
// thread has its own state, seeded with the tick count when its script
// starts to run. Each draw: state = state * 22695477 + 1 (mod 2^32), the
// result is (state >> 16) & 0x7FFF.
#ifndef VTTEL_ENGINE_LINE_RANDOM_H_
#define VTTEL_ENGINE_LINE_RANDOM_H_

#include <cstdint>

namespace engine {

// Seeds the calling thread's generator and draws (and discards) one number.
void SeedLineRandom(uint32_t seed);
// The next number of the calling thread's generator, 0..32767.
int32_t NextLineRandom();

}  // namespace engine

#endif  // VTTEL_ENGINE_LINE_RANDOM_H_
