// The shared-memory statements: "GetShareMem(", "SetShareMem(",
// "ClearShareMem(", "IncShareMem(", "DecShareMem(", "AccShareMem(" and
// "FindShareMem(".
//
// A store is named by a line number: a line at or above the line count, or
// one without a store (no script, or a script that did not compile), gives
// -2; a negative line names the process-wide store. Another line's store
// is held (never its script) for the length of the statement.
// "FindShareMem(" scans lines 0 .. count - 1 under the process-wide find
// lock, skipping lines without a store, and claims the first entry that
// holds the value with one hold of that store's lock; it never searches
// the process-wide store. The statements never wait beyond these locks.
#ifndef VTTEL_SERVICES_SHARE_MEM_STATEMENTS_H_
#define VTTEL_SERVICES_SHARE_MEM_STATEMENTS_H_

#include <cstdint>
#include <memory>

#include "engine/tag_var.h"
#include "services/share_mem.h"

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

// Registers the statements and the store factory of slot kShareMem.
void RegisterShareMemStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_SHARE_MEM_STATEMENTS_H_
