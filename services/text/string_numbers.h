// The numbers of the string statements: a text read as "Int(" and
// "Float(" read it, and the fields "Str(" and "Hex(" write, locale-free.
//
// Thread rules: pure functions, thread-safe.
#ifndef VTTEL_SERVICES_TEXT_STRING_NUMBERS_H_
#define VTTEL_SERVICES_TEXT_STRING_NUMBERS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace services {

// The widest field and the most decimals "Str(" and "Hex(" format; wider
// requests fail (-1) without formatting anything.
inline constexpr int32_t kMaxFormatWidth = 1024;

// The number rules of "Int(" for a text: "0x"/"0X" and hexadecimal digits
// (saturating at 0xFFFFFFFF, read back as a signed 32-bit integer), else
// the leading decimal integer as atol reads it.
int32_t IntOfText(std::string_view text);
// "Float(" of a text: the first 80 bytes, commas removed, read as strtod
// reads them (locale-free).
double FloatOfText(std::string_view text);
// "%.*f" (width 0) or "%*.*f" of v, locale-free; false when the width or
// precision is beyond kMaxFormatWidth.
bool FormatFloatField(double v, int32_t width, int32_t precision, std::string* out);
// "%x", or "%0*x" for a width other than 0 (a negative width pads with
// blanks on the right, as printf's '-'); false beyond kMaxFormatWidth.
bool FormatHexField(uint32_t v, int32_t width, std::string* out);

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_STRING_NUMBERS_H_
