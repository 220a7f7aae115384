// Percent escapes and Base64 as the encoding statements ("StrToUnicode(",
// "UnicodeToStr(" modes 3 and 4) write and read them.
//
// Thread rules: pure functions, thread-safe.
#ifndef VTTEL_SERVICES_TEXT_PERCENT_BASE64_H_
#define VTTEL_SERVICES_TEXT_PERCENT_BASE64_H_

#include <string>
#include <string_view>

namespace services {

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

#endif  // VTTEL_SERVICES_TEXT_PERCENT_BASE64_H_
