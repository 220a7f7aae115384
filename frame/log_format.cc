#include "frame/log_format.h"

#include <cstdio>

namespace frame {
namespace {

// The length snprintf gave, as far as out holds it.
size_t Written(int n, char* out, size_t size) {
  if (n < 0) {
    out[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

}  // namespace

size_t FormatLogPrefix(const platform::WallTime& t, uint32_t thread_id, char* out,
                       size_t size) {
  return Written(std::snprintf(out, size, "%d-%02d-%02d %02d:%02d:%02d.%03d 0x%x [", t.year,
                               t.month, t.day, t.hour, t.minute, t.second, t.millis, thread_id),
                 out, size);
}

size_t FormatLogStamp(const platform::WallTime& t, char* out, size_t size) {
  return Written(std::snprintf(out, size, "%d%02d%02d %02d:%02d:%02d.%03d", t.year, t.month,
                               t.day, t.hour, t.minute, t.second, t.millis),
                 out, size);
}

}  // namespace frame
