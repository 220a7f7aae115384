#include "frame/cpu_load.h"

#include <atomic>

#include "platform/clock.h"
#include "platform/cpu_time.h"

namespace frame {
namespace {

std::atomic<GetCPUPercentage*>& InstalledMeter() {
  static GetCPUPercentage real;
  static std::atomic<GetCPUPercentage*> meter{&real};
  return meter;
}

}  // namespace

GetCPUPercentage::GetCPUPercentage() : GetCPUPercentage(platform::ProcessCpuMillis) {}

GetCPUPercentage::GetCPUPercentage(CpuTimeSource source) : source_(std::move(source)) {
  usable_ = source_ && source_(&last_cpu_ms_);
  last_tick_ = platform::GetClock().TickCount();
}

int32_t GetCPUPercentage::GetPercentage() {
  if (!usable_) return 0;
  std::lock_guard<std::mutex> lock(mu_);
  const uint32_t now = platform::GetClock().TickCount();
  const uint32_t elapsed = now - last_tick_;
  if (elapsed >= kCpuMeasureMs) {
    uint64_t cpu_ms = 0;
    if (source_(&cpu_ms)) {
      int64_t used = static_cast<int64_t>(cpu_ms) - static_cast<int64_t>(last_cpu_ms_);
      last_percent_ = static_cast<int32_t>(used * 100 / static_cast<int64_t>(elapsed));
      last_cpu_ms_ = cpu_ms;
      last_tick_ = now;
    }
  }
  return last_percent_;
}

GetCPUPercentage& CpuMeter() { return *InstalledMeter().load(std::memory_order_acquire); }

ScopedCpuMeter::ScopedCpuMeter(GetCPUPercentage* meter)
    : previous_(InstalledMeter().exchange(meter, std::memory_order_acq_rel)) {}

ScopedCpuMeter::~ScopedCpuMeter() { InstalledMeter().store(previous_, std::memory_order_release); }

void WaitCpuIdle(int tries, int ms) {
  platform::Clock& clock = platform::GetClock();
  for (int64_t i = 0; i < static_cast<int64_t>(tries) * 10; ++i) {
    if (CpuMeter().GetPercentage() < kCpuIdlePercent) {
      if (ms > 0) clock.Sleep(static_cast<uint32_t>(ms));
      return;
    }
    clock.Sleep(kCpuBusyWaitMs);
  }
}

uint32_t SleepTicks(uint32_t ms) {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t elapsed = 0;
  do {
    clock.Sleep(kSleepTickStepMs);
    elapsed = clock.TickCount() - start;
  } while (elapsed < ms);
  return elapsed;
}

}  // namespace frame
