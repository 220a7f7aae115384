// The string statements of the script language: conversions and measures
// ("Type(", "Int(", "Float(", "Str(", "Hex(", "Strlen(", "Len(", "Asc(",
// "Chr(", "Rand("), searching and comparing ("Strstr(", "StrstrEx(",
// "Strcmp("), changing strings in place ("Trim(", "Upper(", "Lower(",
// "Replstr(", "Repeatstr(") and maps ("AnlyStr(", "GetMapItem(").
//
// Positions, lengths and counts are in bytes; positions taken start at 0,
// positions found are reported from 1. GBK pairs are not kept together,
// except by "Upper(" and "Lower(", which never touch a trail byte. No
// statement reads or writes outside a value's bytes, whatever the script
// gives: out-of-range positions, widths and counts give failure results.
//
// Thread rules: statements run on their line's thread only.
#ifndef VTTEL_SERVICES_STRING_STATEMENTS_H_
#define VTTEL_SERVICES_STRING_STATEMENTS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace services {

// The widest field and the most decimals "Str(" and "Hex(" format; wider
// requests fail (-1) without formatting anything.
inline constexpr int32_t kMaxFormatWidth = 1024;

// Registers the 21 string statements' factories.
void RegisterStringStatements();

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
// The pieces of "AnlyStr(" (see the statement).
void SplitPieces(std::string_view text, std::string_view separator,
                 std::vector<std::string_view>* pieces);

}  // namespace services

#endif  // VTTEL_SERVICES_STRING_STATEMENTS_H_
