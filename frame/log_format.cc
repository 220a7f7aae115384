#include "frame/log_format.h"

#include <cstdio>

namespace frame {

size_t FormatLogPrefix(const platform::WallTime& t, uint32_t thread_id, char* out,
                       size_t size) {
  int n = std::snprintf(out, size, "%d-%02d-%02d %02d:%02d:%02d.%03d 0x%x [", t.year, t.month,
                        t.day, t.hour, t.minute, t.second, t.millis, thread_id);
  if (n < 0) {
    out[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

}  // namespace frame
