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
// The number rules of "Int(", "Float(", "Str(" and "Hex(" are in
// string_numbers.h.
//
// Thread rules: statements run on their line's thread only.
#ifndef VTTEL_SERVICES_TEXT_STRING_STATEMENTS_H_
#define VTTEL_SERVICES_TEXT_STRING_STATEMENTS_H_

namespace services {

// Registers the 21 string statements' factories.
void RegisterStringStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_STRING_STATEMENTS_H_
