// The process's own processor-load meter and the waits built on it.
//
// Before each heavy step (compiling a script, starting a line) the line
// threads ask how busy the process is and wait while it is busy. The load
// counts every thread of the process against wall time and is not divided
// by the number of processors: two busy processors read about 200.
#ifndef VTTEL_FRAME_CPU_LOAD_H_
#define VTTEL_FRAME_CPU_LOAD_H_

#include <cstdint>
#include <functional>
#include <mutex>

namespace frame {

// A reading is kept this long; calls in between return the same value.
inline constexpr uint32_t kCpuMeasureMs = 400;
// WaitCpuIdle: a reading below this is quiet; a busy reading waits this long.
inline constexpr int32_t kCpuIdlePercent = 55;
inline constexpr uint32_t kCpuBusyWaitMs = 320;
// SleepTicks sleeps in steps of this length.
inline constexpr uint32_t kSleepTickStepMs = 50;

class GetCPUPercentage {
 public:
  // Milliseconds of processor time the process has used; returns false
  // when it cannot be read (the meter then always reads 0).
  using CpuTimeSource = std::function<bool(uint64_t* cpu_ms)>;

  // Reads the process's user + system time.
  GetCPUPercentage();
  // For tests: another source of processor time (the tick comes from the
  // platform clock in use).
  explicit GetCPUPercentage(CpuTimeSource source);

  // The load in percent, measured anew when kCpuMeasureMs or more have
  // passed since the last measurement. Thread-safe.
  int32_t GetPercentage();

 private:
  CpuTimeSource source_;
  bool usable_ = false;
  std::mutex mu_;
  uint32_t last_tick_ = 0;     // guarded by mu_
  int32_t last_percent_ = 0;   // guarded by mu_
  uint64_t last_cpu_ms_ = 0;   // guarded by mu_
};

// The process-wide meter.
GetCPUPercentage& CpuMeter();

// Installs a meter for the life of this object (tests).
class ScopedCpuMeter {
 public:
  explicit ScopedCpuMeter(GetCPUPercentage* meter);
  ~ScopedCpuMeter();
  ScopedCpuMeter(const ScopedCpuMeter&) = delete;
  ScopedCpuMeter& operator=(const ScopedCpuMeter&) = delete;

 private:
  GetCPUPercentage* previous_;
};

// Waits for a quiet processor: up to tries x 10 readings, kCpuBusyWaitMs
// apart; at the first reading below kCpuIdlePercent sleeps ms (when above 0)
// and returns. After the last busy reading it returns at once.
void WaitCpuIdle(int tries, int ms);

// Sleeps in kSleepTickStepMs steps until at least ms milliseconds have
// passed on the tick counter (at least one step); returns the elapsed ms.
uint32_t SleepTicks(uint32_t ms);

}  // namespace frame

#endif  // VTTEL_FRAME_CPU_LOAD_H_
