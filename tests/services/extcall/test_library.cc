// A user library for the tests of external-library calls, built like a
// user's library (no sanitizers) against the public header. Each function
// does one thing a library may do, right or wrong.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "include/vttel_extcall.h"

namespace {

// Field offsets of the public layout.
constexpr size_t kKindAt = 0, kTextAt = 8, kValueAt = 16, kNumberAt = 24, kRecordBytes = 32;

template <typename T>
T FieldAt(const VtExtArg* args, int index, size_t offset) {
  T out;
  std::memcpy(&out, reinterpret_cast<const char*>(args) + index * kRecordBytes + offset,
              sizeof out);
  return out;
}

}  // namespace

extern "C" {

// (field, value): the field of the second record read at its byte offset:
// 0 kind, 1 the first text byte, 2 value, 3 number x 100.
int32_t echo_field(int32_t count, VtExtArg* args) {
  if (count != 2) return -7;
  switch (args[0].value) {
    case 0:
      return FieldAt<int32_t>(args, 1, kKindAt);
    case 1:
      return static_cast<unsigned char>(*FieldAt<char*>(args, 1, kTextAt));
    case 2:
      return FieldAt<int32_t>(args, 1, kValueAt);
    default:
      return static_cast<int32_t>(FieldAt<double>(args, 1, kNumberAt) * 100.0);
  }
}

// Every record becomes the integer 7.
int32_t set_seven(int32_t count, VtExtArg* args) {
  for (int32_t i = 0; i < count; ++i) {
    args[i].kind = VT_EXT_INTEGER;
    args[i].value = 7;
  }
  return count;
}

// Upper-cases a string in place, within its length.
int32_t upper_text(int32_t count, VtExtArg* args) {
  if (count != 1 || args[0].kind != VT_EXT_STRING) return -7;
  for (int32_t i = 0; i + 1 < args[0].value; ++i) {
    char& c = args[0].text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return args[0].value - 1;
}

// Shortens a string to its first byte, as the rules say: kind 1, value 2.
int32_t first_byte(int32_t count, VtExtArg* args) {
  if (count != 1) return -7;
  args[0].kind = VT_EXT_STRING;
  args[0].value = 2;
  return 0;
}

int32_t sleep_200ms(int32_t, VtExtArg*) {
  usleep(200 * 1000);
  return 1;
}

int32_t nothing(int32_t count, VtExtArg*) { return count; }

int32_t null_write(int32_t count, VtExtArg*) {
  volatile int* nowhere = nullptr;
  *nowhere = count;
  return 0;
}

int32_t divide_by_zero(int32_t count, VtExtArg*) {
  volatile int zero = 0;
  return count / zero;
}

// As a failed assert or a library's own check of its state ends.
int32_t call_abort(int32_t, VtExtArg*) { std::abort(); }

int32_t throw_error(int32_t, VtExtArg*) { throw std::runtime_error("the library gave up"); }

int32_t throw_int(int32_t, VtExtArg*) { throw 42; }

// Claims a string far longer than any buffer.
int32_t claim_long(int32_t count, VtExtArg* args) {
  if (count != 1) return -7;
  args[0].kind = VT_EXT_STRING;
  args[0].value = 1 << 20;
  return 0;
}

// Claims a map under a handle it made up.
int32_t fake_map(int32_t count, VtExtArg* args) {
  if (count != 1) return -7;
  args[0].kind = VT_EXT_MAP;
  args[0].value = 12345;
  return 0;
}

}  // extern "C"
