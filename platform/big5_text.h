// Texts in the Big5 code (traditional Chinese) met where GBK is expected:
// the test that takes a text for Big5, and its conversion into GBK with
// simplified characters.
//
// Thread-safe: the traditional-to-simplified converter is made once, at the
// first conversion, and used under a lock.
#ifndef VTTEL_PLATFORM_BIG5_TEXT_H_
#define VTTEL_PLATFORM_BIG5_TEXT_H_

#include <string>
#include <string_view>

namespace platform {

// True when a byte 0x40..0x7E directly follows a lead byte. Bytes 0x81..0xFE
// are lead bytes, or trail bytes right after a lead byte; other bytes 0x40..0x7E
// leave the state alone; any other byte (below 0x40, 0x7F, 0x80, 0xFF) resets it.
// A GBK text holding a character whose second byte lies in 0x40..0x7E is
// therefore taken for Big5 as well (GBK and Big5 share that shape).
bool IsBig5Text(std::string_view text);

// Big5 (code page 950) -> UTF-8 -> simplified characters (OpenCC's
// "t2s.json") -> GBK. Bytes that do not convert become '?'. Without the
// OpenCC data the characters stay traditional.
std::string Big5ToGbk(std::string_view big5);

}  // namespace platform

#endif  // VTTEL_PLATFORM_BIG5_TEXT_H_
