// A user library whose load-time code goes wrong, built once per way
// (LOAD_FAULT): 1 writes through a null pointer, 2 aborts, 3 ends the
// process with exit(3), 4 sleeps for 20 s; or, 5, goes right and counts
// its runs: one line in "loads.txt" of the working folder per run. Its one
// function says it was loaded.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "include/vttel_extcall.h"

namespace {

__attribute__((constructor)) void GoWrongAtLoad() {
  switch (LOAD_FAULT) {
    case 1: {
      // Both volatile: the compiler may neither drop the store nor the
      // constructor as a known null write.
      volatile int* volatile nowhere = nullptr;
      *nowhere = 1;
      break;
    }
    case 2:
      std::abort();
    case 3:
      std::exit(3);
    case 4:
      sleep(20);
      break;
    default:
      if (std::FILE* runs = std::fopen("loads.txt", "a")) {
        std::fputs("run\n", runs);
        std::fclose(runs);
      }
  }
}

}  // namespace

extern "C" int32_t loaded(int32_t, VtExtArg*) { return 1; }
