/* The library of extcall_bench: a function that does nothing. */
#include "include/vttel_extcall.h"

int32_t nothing(int32_t count, VtExtArg* args) {
  (void)args;
  return count;
}
