/*
 * An example library for scripts, built against include/vttel_extcall.h:
 *
 *     cc -shared -fPIC -I<source root> -o libvtdemo.so demo_library.c
 *
 * Put libvtdemo.so in the program folder (or the working folder), then in a
 * script:
 *
 *     h = 0
 *     DllLoad("vtdemo.dll", h)          // found as "libvtdemo.so"
 *     DllFunction(h, "vt_sum", 3)
 *     DllFunction(h, "vt_upper", 1)
 *     total = 0
 *     n = vt_sum(total, 40, 2)          // total becomes 42, n is 2
 *     name = "caller"
 *     n = vt_upper(name)                // name becomes "CALLER"
 */
#include "include/vttel_extcall.h"

/* The sum of the integer arguments after the first, written into the first
 * as an integer; the number of arguments added. */
int32_t vt_sum(int32_t count, VtExtArg* args) {
  int32_t sum = 0;
  int32_t added = 0;
  for (int32_t i = 1; i < count; ++i) {
    if (args[i].kind == VT_EXT_INTEGER) {
      sum += args[i].value;
      ++added;
    }
  }
  if (count > 0) {
    args[0].kind = VT_EXT_INTEGER;
    args[0].value = sum;
  }
  return added;
}

/* Upper-cases the ASCII letters of a string argument in place (never
 * beyond its length); the string's length, or -2 when it is no string. */
int32_t vt_upper(int32_t count, VtExtArg* args) {
  if (count < 1 || args[0].kind != VT_EXT_STRING) return -2;
  for (int32_t i = 0; i + 1 < args[0].value; ++i) {
    char c = args[0].text[i];
    if (c >= 'a' && c <= 'z') args[0].text[i] = (char)(c - 'a' + 'A');
  }
  return args[0].value - 1;
}
