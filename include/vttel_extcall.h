/*
 * vttel_extcall.h: the calling convention of the functions that scripts
 * call in external libraries.
 *
 * A script loads a library with "DllLoad(", declares a function with
 * "DllFunction(" (slot, name, argument count) and calls it by its name like
 * a built-in statement. The platform then calls the exported function
 *
 *     int32_t name(int32_t count, VtExtArg* args);
 *
 * (C linkage, exported under its plain name) with one record per argument,
 * in argument order, in one contiguous array. The function's result is the
 * statement's result; -1 and -100 are the platform's own (function not
 * bound or argument count different from the bound one; a fault or an
 * exception inside the call), so a library should not return them.
 *
 * Build a library as position-independent code, e.g.
 *     cc -shared -fPIC -o libmylib.so mylib.c
 * and load it by its file name ("mylib.dll" is also found as "mylib.so" or
 * "libmylib.so"): a name without a folder is looked for in the program
 * folder, then in the working folder, then where the system's loader looks.
 *
 * Rules of a call:
 *  - kind is the argument's kind: 0 NULL, 1 string, 2 integer, 3 float,
 *    4 map, 5 function.
 *  - text points at the argument's own text buffer (NUL-terminated). For a
 *    string, value is its byte length plus 1; for another kind the buffer
 *    holds whatever text the variable held last and may be of length 0.
 *  - A function returns text by writing into that buffer, never beyond the
 *    string's current length (value - 1 bytes before the terminator). To
 *    make an argument a string, set kind to 1 and value to the length of
 *    the text in the buffer plus 1; the platform never takes more than the
 *    buffer holds.
 *  - After the call the platform copies kind, value and number of every
 *    record back into its argument variable, unless the argument is
 *    read-only (a constant, a literal). The text field is not read back.
 *    Kinds 4 and 5 (maps, functions) are taken back only as they came in
 *    (same kind, same value); a record claiming one otherwise, or a kind
 *    outside 0-5, leaves its variable as it was.
 *  - value is the integer for kind 2; number is the double for kind 3.
 *    For other kinds they hold whatever the variable's fields held.
 *  - Several telephone lines may call the same function at the same time,
 *    each on its own thread: functions must be safe to call concurrently.
 *  - A fault (invalid memory access, division by zero), an abort() (a
 *    failed assert) or a C++ exception inside the call ends the call with
 *    -100 and a log line; the script goes on. Whatever the function held
 *    at that moment (locks, memory) is lost.
 *
 * Load-time code (constructors): the first load of a library file, and the
 * first after the file changed, runs it in a copy of the platform's process
 * before the library is loaded into the process itself, so it runs twice.
 * A library whose load-time code crashes, aborts, exits or takes more than
 * 30 s in that copy is not loaded: "DllLoad(" gives -1, with a log line.
 */
#ifndef VTTEL_EXTCALL_H_
#define VTTEL_EXTCALL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The kinds of an argument. */
enum {
  VT_EXT_NULL = 0,
  VT_EXT_STRING = 1,
  VT_EXT_INTEGER = 2,
  VT_EXT_FLOAT = 3,
  VT_EXT_MAP = 4,
  VT_EXT_FUNCTION = 5
};

/* One argument: 32 bytes, the natural layout on 64-bit Linux. */
typedef struct VtExtArg {
  int32_t kind;   /* offset 0: VT_EXT_* */
  char* text;     /* offset 8: the argument's own text buffer */
  int32_t value;  /* offset 16: integer; a string's byte length + 1 */
  double number;  /* offset 24: the float value */
} VtExtArg;

/* The type of a function a script calls. */
typedef int32_t (*VtExtFunction)(int32_t count, VtExtArg* args);

#ifdef __cplusplus
}
#endif

#endif /* VTTEL_EXTCALL_H_ */
