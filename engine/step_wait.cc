// The debugger's single-step wait of a main script, before a statement.
#include <mutex>

#include "engine/run_observer.h"
#include "engine/tel_basic.h"
#include "frame/cpu_load.h"

namespace engine {
namespace {

constexpr uint32_t kStepWaitMs = 100;

}  // namespace

void TagTelBasic::WaitStep() {
  auto waiting = [this] {
    return !stopped.load(std::memory_order_relaxed) &&
           stepMode.load(std::memory_order_relaxed) != 0 &&
           stepRelease.load(std::memory_order_relaxed) == 0;
  };
  if (!waiting()) {
    stepRelease.store(0, std::memory_order_relaxed);
    return;
  }
  SetInStepWait(true);
  if (RunObserver* o = GetRunObserver()) o->RefreshDebugVars(*this);
  while (waiting()) frame::SleepTicks(kStepWaitMs);
  // Left under the lock: a reader that holds it keeps the line here.
  SetInStepWait(false);
  stepRelease.store(0, std::memory_order_relaxed);
}

void TagTelBasic::SetInStepWait(bool waiting) {
  std::lock_guard<std::mutex> lock(stepWaitMutex);
  inStepWait = waiting;
}

}  // namespace engine
