// Byte-level rules of the system's code page (GBK, code page 936).
//
// A lead byte is 0x81-0xFE; it and the byte after it form one character, and
// that trail byte (0x40-0xFE) may look like ASCII ('\\' is 0x5C, '|' 0x7C,
// letters 0x41-0x7A). Code that walks text for ASCII characters must step
// over whole pairs. Nothing here depends on the process locale: the ASCII
// tests below stand in for <cctype> everywhere, so a byte >= 0x80 is never a
// letter, digit or blank.
#ifndef VTTEL_PLATFORM_GBK_H_
#define VTTEL_PLATFORM_GBK_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool IsAsciiLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
inline bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }
// A blank of the system's texts: a space or a tab, never a line end.
inline bool IsAsciiBlank(unsigned char c) { return c == ' ' || c == '\t'; }
// The value of a hexadecimal digit (either letter case), or -1.
inline int AsciiHexValue(unsigned char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
inline char AsciiUpper(char c) {
  return IsAsciiLower(static_cast<unsigned char>(c)) ? static_cast<char>(c - 32) : c;
}
inline char AsciiLower(char c) {
  return IsAsciiUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c + 32) : c;
}

// Length in bytes of the character that starts at text[i] (1 or 2). A lead
// byte at the very end counts as one byte.
inline size_t GbkCharLength(std::string_view text, size_t i) {
  return IsGbkLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// Upper-cases the ASCII letters of a GBK text; double-byte characters (and
// so their trail bytes) are never touched.
void UpperGbkInPlace(std::string& text);
void UpperGbkInPlace(char* text);  // NUL-terminated
void LowerGbkInPlace(std::string& text);
std::string UpperGbk(std::string_view text);

// Case-insensitive comparison of GBK texts: ASCII letters fold, double-byte
// characters must match exactly.
bool EqualsIgnoreCaseGbk(std::string_view a, std::string_view b);
// True when text ends with suffix, compared as EqualsIgnoreCaseGbk does
// (".EXE", ".dll" and ".Vox" endings of names).
bool EndsWithIgnoreCaseGbk(std::string_view text, std::string_view suffix);

}  // namespace platform

#endif  // VTTEL_PLATFORM_GBK_H_
