// The processor time this process has used (user and system, all threads),
// as the load meter reads it. Thread-safe (no state).
#ifndef VTTEL_PLATFORM_CPU_TIME_H_
#define VTTEL_PLATFORM_CPU_TIME_H_

#include <cstdint>

namespace platform {

// Milliseconds of processor time used so far; false when the OS does not
// tell (cpu_ms is then unchanged).
bool ProcessCpuMillis(uint64_t* cpu_ms);

}  // namespace platform

#endif  // VTTEL_PLATFORM_CPU_TIME_H_
