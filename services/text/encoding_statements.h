// The encoding statements: "StrToUnicode(" and "UnicodeToStr(" between the
// system's GBK text and UTF-8 (mode 1), UTF-7 (2), percent escapes (3),
// Base64 (4) and UTF-16LE (any other mode), and "IntToNetstr(" and
// "NetstrToInt(" between integers and 2- or 4-byte big-endian strings.
// Code pages go through platform/codepage.h with its replacement rules,
// percent escapes and Base64 through percent_base64.h.
//
// Thread rules: statements run on their line's thread only.
#ifndef VTTEL_SERVICES_TEXT_ENCODING_STATEMENTS_H_
#define VTTEL_SERVICES_TEXT_ENCODING_STATEMENTS_H_

namespace services {

// Registers "StrToUnicode(", "UnicodeToStr(", "IntToNetstr(" and
// "NetstrToInt(".
void RegisterEncodingStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_ENCODING_STATEMENTS_H_
