#include "services/memory_report.h"

#include "frame/log.h"

namespace services {

int32_t ClampMemoryCounter(int64_t kib, const char* name) {
  if (kib <= kMaxMemoryCounterKib) return static_cast<int32_t>(kib);
  frame::LogMsgF("GetMemInfo(): %s %lld KiB clamped to %lld", name, static_cast<long long>(kib),
                 static_cast<long long>(kMaxMemoryCounterKib));
  return static_cast<int32_t>(kMaxMemoryCounterKib);
}

}  // namespace services
