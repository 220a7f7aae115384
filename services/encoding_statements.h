// The encoding statements: "StrToUnicode(" and "UnicodeToStr(" between the
// system's GBK text and UTF-8 (mode 1), UTF-7 (2), percent escapes (3),
// Base64 (4) and UTF-16LE (any other mode), and "IntToNetstr(" and
// "NetstrToInt(" between integers and 2- or 4-byte big-endian strings.
// Code pages go through platform/codepage.h with its replacement rules.
//
// Thread rules: statements run on their line's thread only; the routines
// below are pure and thread-safe.
#ifndef VTTEL_SERVICES_ENCODING_STATEMENTS_H_
#define VTTEL_SERVICES_ENCODING_STATEMENTS_H_

#include <string>
#include <string_view>

namespace services {

// Registers "StrToUnicode(", "UnicodeToStr(", "IntToNetstr(" and
// "NetstrToInt(".
void RegisterEncodingStatements();

// The percent-escape form: 0x21-0x24, 0x26-0x2A and 0x2C-0x7E stay, every
// other byte becomes '%' and two upper-case hexadecimal digits.
std::string PercentEscape(std::string_view bytes);
// Its reverse: "%" and two hexadecimal digits give their byte; a '%' not
// followed by two hexadecimal digits (also one in the last two bytes) is
// kept as it is; '+' stays '+'.
std::string PercentUnescape(std::string_view text);
// Base64 with the RFC 4648 alphabet and padding, no line breaks.
std::string Base64Encode(std::string_view bytes);
// Base64 decoding as the system does it: the length must be a multiple of
// 4 (false otherwise); characters outside the alphabet count as 0; a group
// ending in "=" gives 2 bytes, in "==" 1 byte.
bool Base64Decode(std::string_view text, std::string* out);

}  // namespace services

#endif  // VTTEL_SERVICES_ENCODING_STATEMENTS_H_
