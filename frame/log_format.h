// The time texts of the system's logs: the time-and-thread prefix that
// starts every line of the main log and of the raw trace,
// "YYYY-MM-DD hh:mm:ss.mmm 0x<thread id in hex> [", and the stamp of the
// database back ends' logs, "YYYYMMDD hh:mm:ss.mmm".
#ifndef VTTEL_FRAME_LOG_FORMAT_H_
#define VTTEL_FRAME_LOG_FORMAT_H_

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace frame {

// Writes the prefix into out (always NUL-terminated, cut to size - 1 bytes);
// returns its length.
size_t FormatLogPrefix(const platform::WallTime& t, uint32_t thread_id, char* out,
                       size_t size);

// Writes the stamp of t into out (always NUL-terminated, cut to size - 1
// bytes); returns its length.
size_t FormatLogStamp(const platform::WallTime& t, char* out, size_t size);

}  // namespace frame

#endif  // VTTEL_FRAME_LOG_FORMAT_H_
