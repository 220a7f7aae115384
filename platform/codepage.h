// Conversion between the code pages the system meets, over glibc iconv.
//
// The system's text is GBK (code page 936). Conversions go through UTF-16 as
// the Windows calls did, and bad input is replaced, never refused:
//  - decoding (to UTF-16): an invalid or unmapped sequence of GBK or Big5
//    gives U+003F '?', one per bad byte (a lead byte with a bad trail byte
//    is one bad byte, the trail byte is decoded again on its own); invalid
//    UTF-8 gives U+FFFD per maximal bad subsequence; invalid UTF-7 gives
//    U+FFFD per bad byte;
//  - encoding (from UTF-16): a unit the target cannot hold gives '?'; an
//    unpaired surrogate gives U+FFFD in UTF-8 and UTF-7.
// Nothing here depends on the process locale. Thread-safe.
#ifndef VTTEL_PLATFORM_CODEPAGE_H_
#define VTTEL_PLATFORM_CODEPAGE_H_

#include <string>
#include <string_view>

namespace platform {

enum class CodePage : int {
  kGbk = 936,
  kBig5 = 950,
  kUtf16Le = 1200,
  kUtf7 = 65000,
  kUtf8 = 65001,
};

// Bytes in code page cp to UTF-16 units. For kUtf16Le the bytes are read as
// little-endian units (an odd last byte is dropped).
std::u16string ToUtf16(CodePage cp, std::string_view bytes);

// UTF-16 units to bytes in code page cp (kUtf16Le gives little-endian bytes).
std::string FromUtf16(CodePage cp, std::u16string_view units);

// Bytes from one code page to another, through UTF-16.
std::string Convert(CodePage from, CodePage to, std::string_view bytes);

// The two conversions at the edges of the program: file names on disk,
// terminals, espeak-ng and Qt want UTF-8.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace platform

#endif  // VTTEL_PLATFORM_CODEPAGE_H_
