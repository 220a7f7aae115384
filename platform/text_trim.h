// The blank-trimming routines shared by the configuration readers, the
// path mapper, the compiler, the string statements and the database back
// ends: in place on byte buffers, or as views. A blank is ' ' or '\t'. GBK
// text is safe: both bytes of a double-byte character are >= 0x40 and never
// blanks or line ends.
#ifndef VTTEL_PLATFORM_TEXT_TRIM_H_
#define VTTEL_PLATFORM_TEXT_TRIM_H_

#include <string>
#include <string_view>

namespace platform {

// Removes leading blanks and trailing blanks, tabs and zero bytes from the
// len bytes at buf, moves the kept bytes to the front and writes a zero byte
// after them (buf must hold len + 1 bytes). Returns the new length plus 1,
// the length field of a script string. A len of 0 or less changes nothing
// and returns len + 1. A buffer of blanks only becomes "".
int TrimBlanks(char* buf, int len);

// TrimBlanks over a NUL-terminated text.
int TrimText(char* text);

// The characters the views below trim by default, and with line ends.
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kBlanksAndLineEnds = " \t\r\n";

// The view without its leading and trailing characters of trimmed; the
// left-hand form keeps the trailing ones, the right-hand form the leading
// ones. A view of trimmed characters only becomes empty.
std::string_view TrimmedView(std::string_view s, std::string_view trimmed = kBlanks);
std::string_view TrimmedViewLeft(std::string_view s, std::string_view trimmed = kBlanks);
std::string_view TrimmedViewRight(std::string_view s, std::string_view trimmed = kBlanks);

// Removes every blank and tab anywhere in a NUL-terminated text.
void RemoveAllBlanks(char* text);
void RemoveAllBlanks(std::string& text);

}  // namespace platform

#endif  // VTTEL_PLATFORM_TEXT_TRIM_H_
