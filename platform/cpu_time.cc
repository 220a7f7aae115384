#include "platform/cpu_time.h"

#include <sys/resource.h>

namespace platform {
namespace {

uint64_t Millis(const timeval& tv) {
  return static_cast<uint64_t>(tv.tv_sec) * 1000u + static_cast<uint64_t>(tv.tv_usec) / 1000u;
}

}  // namespace

bool ProcessCpuMillis(uint64_t* cpu_ms) {
  rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) != 0) return false;
  *cpu_ms = Millis(usage.ru_utime) + Millis(usage.ru_stime);
  return true;
}

}  // namespace platform
