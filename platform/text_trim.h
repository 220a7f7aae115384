// The blank-trimming routines shared by the configuration reader, the
// string statements and the database back ends. They work in place on byte
// buffers; a blank is ' ' or '\t'. GBK text is safe: both bytes of a
// double-byte character are >= 0x40 and never blanks.
#ifndef VTTEL_PLATFORM_TEXT_TRIM_H_
#define VTTEL_PLATFORM_TEXT_TRIM_H_

#include <string>

namespace platform {

// Removes leading blanks and trailing blanks, tabs and zero bytes from the
// len bytes at buf, moves the kept bytes to the front and writes a zero byte
// after them (buf must hold len + 1 bytes). Returns the new length plus 1,
// the length field of a script string. A len of 0 or less changes nothing
// and returns len + 1. A buffer of blanks only becomes "".
int TrimBlanks(char* buf, int len);

// TrimBlanks over a NUL-terminated text.
int TrimText(char* text);

// Removes every blank and tab anywhere in a NUL-terminated text.
void RemoveAllBlanks(char* text);
void RemoveAllBlanks(std::string& text);

}  // namespace platform

#endif  // VTTEL_PLATFORM_TEXT_TRIM_H_
