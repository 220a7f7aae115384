// The process's memory counters as the system reports them, read from
// /proc/self/status, in KiB:
//  - working set: VmRSS; its peak: VmHWM;
//  - page-file use: the committed private memory, RssAnon + VmSwap; its
//    peak: the largest page-file use any reading of this process has seen.
// Not clamped here: the statement that hands them to scripts as 32-bit
// values clamps them (an AddressSanitizer build reserves terabytes).
//
// Thread-safe (the peak is an atomic).
#ifndef VTTEL_PLATFORM_MEMORY_COUNTERS_H_
#define VTTEL_PLATFORM_MEMORY_COUNTERS_H_

#include <cstdint>
#include <string_view>

namespace platform {

struct MemoryCounters {
  int64_t workingSetKib = 0;
  int64_t peakWorkingSetKib = 0;
  int64_t pageFileKib = 0;
  int64_t peakPageFileKib = 0;
};

// Parses the text of a /proc/<pid>/status file (fields not found are 0);
// the page-file peak is the page-file use of this text. Not clamped.
MemoryCounters ParseMemoryStatus(std::string_view status);

// The counters of this process now (all 0 when /proc cannot be read).
MemoryCounters ReadMemoryCounters();

}  // namespace platform

#endif  // VTTEL_PLATFORM_MEMORY_COUNTERS_H_
