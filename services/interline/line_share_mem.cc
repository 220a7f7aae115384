#include "services/interline/line_share_mem.h"

#include <mutex>

#include "engine/line_call.h"
#include "services/interline/process_queues.h"

namespace services {

ShareMemRef ShareMemOfLine(int32_t line) {
  ShareMemRef ref;
  if (line >= engine::LinesCount()) return ref;
  if (line < 0) {
    ref.store = &ProcessShareMem();
  } else if ((ref.holder = engine::LineStore(line, engine::StoreSlot::kShareMem)) != nullptr) {
    ref.store = static_cast<TagShareMem*>(ref.holder.get());
  }
  return ref;
}

int32_t FindAndClaim(const engine::TagVar& key, const engine::TagVar& value,
                     const engine::TagVar& new_value) {
  std::lock_guard<std::mutex> lock(ShareMemFindLock());
  const int32_t count = engine::LinesCount();
  for (int32_t line = 0; line < count; ++line) {
    const ShareMemRef ref = ShareMemOfLine(line);
    if (ref.store != nullptr && ref.store->Claim(key, value, new_value)) return line;
  }
  return kShareMemNotFound;
}

}  // namespace services
