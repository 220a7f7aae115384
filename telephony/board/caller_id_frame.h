// The caller-identification message that rings a phone port: the
// single-data-message format of the Bellcore GR-30 standard, handed to the
// FSK sender as it stands.
//
//   0       0x04, single-message caller identification
//   1       L, the length of the text
//   2..L+1  "%02d%02d%02d%02d%s": month, day, hour, minute, calling number
//   L+2     checksum: all L + 3 bytes sum to 0 modulo 256
//
// The sender's buffer holds 256 bytes with a terminating zero, so the text
// is at most 252 characters and the number at most kCallerIdNumberMax.
#ifndef VTTEL_TELEPHONY_BOARD_CALLER_ID_FRAME_H_
#define VTTEL_TELEPHONY_BOARD_CALLER_ID_FRAME_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace telephony {

inline constexpr uint8_t kCallerIdSingleMessage = 0x04;
inline constexpr size_t kCallerIdNumberMax = 244;

// The L + 3 bytes of the message for the number at the local time `when`;
// a longer number is cut to kCallerIdNumberMax characters (the caller says
// so in its log).
std::vector<uint8_t> BuildCallerIdFrame(const platform::WallTime& when, std::string_view number);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_CALLER_ID_FRAME_H_
