// The shared memory of a line number, as the shared-memory statements
// address it: a line at or above the line count, or one without a store
// (no script, or a script that did not compile), has none; a negative line
// names the process-wide store. Another line's store is held (never its
// script) while it is used.
//
// Thread rules: any line's thread; the stores lock themselves.
#ifndef VTTEL_SERVICES_INTERLINE_LINE_SHARE_MEM_H_
#define VTTEL_SERVICES_INTERLINE_LINE_SHARE_MEM_H_

#include <cstdint>
#include <memory>

#include "engine/script_store.h"
#include "engine/tag_var.h"
#include "services/interline/share_mem.h"

namespace services {

// The result for a line out of range or without a store.
inline constexpr int32_t kShareMemBadLine = -2;
// The result of "FindShareMem(" when no line holds the value.
inline constexpr int32_t kShareMemNotFound = -1;

// The store of a line number: store is null when there is none; holder
// keeps a line's store alive while it is used.
struct ShareMemRef {
  TagShareMem* store = nullptr;
  std::shared_ptr<engine::ScriptStore> holder;
};
ShareMemRef ShareMemOfLine(int32_t line);

// The scan of "FindShareMem(": the line whose entry was claimed, or -1.
int32_t FindAndClaim(const engine::TagVar& key, const engine::TagVar& value,
                     const engine::TagVar& new_value);

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_LINE_SHARE_MEM_H_
