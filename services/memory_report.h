// How "GetMemInfo(" hands the process's memory counters to a script: in
// KiB, each clamped to 32 bits with a log line naming the counter.
//
// Thread rules: thread-safe.
#ifndef VTTEL_SERVICES_MEMORY_REPORT_H_
#define VTTEL_SERVICES_MEMORY_REPORT_H_

#include <cstdint>

namespace services {

// The largest memory counter "GetMemInfo(" hands to a script.
inline constexpr int64_t kMaxMemoryCounterKib = 2147483647;

// A memory counter as "GetMemInfo(" hands it over: kib, or
// kMaxMemoryCounterKib with a log line naming the counter when above it.
int32_t ClampMemoryCounter(int64_t kib, const char* name);

}  // namespace services

#endif  // VTTEL_SERVICES_MEMORY_REPORT_H_
