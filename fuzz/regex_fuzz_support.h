// What the regex fuzz targets share: limit reports dropped (a fuzzer hits
// the limits all the time) and a small budget, so no input runs long.
#ifndef VTTEL_FUZZ_REGEX_FUZZ_SUPPORT_H_
#define VTTEL_FUZZ_REGEX_FUZZ_SUPPORT_H_

#include "regex/context.h"
#include "regex/limits.h"

namespace regex_fuzz {

// Drops the limit reports; once per process.
inline void SilenceLimitReports() {
  static const bool quiet = [] {
    regex::SetLimitLogger(nullptr);
    return true;
  }();
  (void)quiet;
}

inline void SetSmallLimits(regex::CContext* ctx) {
  ctx->limits.max_steps = 20000;
  ctx->limits.max_backtrack_entries = 1 << 14;
  ctx->limits.max_capture_records = 1 << 12;
}

}  // namespace regex_fuzz

#endif  // VTTEL_FUZZ_REGEX_FUZZ_SUPPORT_H_
