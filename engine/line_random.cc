#include "engine/line_random.h"

namespace engine {
namespace {

thread_local uint32_t random_state = 1;

}  // namespace

void SeedLineRandom(uint32_t seed) {
  random_state = seed;
  NextLineRandom();
}

int32_t NextLineRandom() {
  random_state = random_state * 22695477u + 1u;
  return static_cast<int32_t>((random_state >> 16) & 0x7FFFu);
}

}  // namespace engine
