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
// the process-wide store (line_share_mem.h). The statements never wait
// beyond these locks.
#ifndef VTTEL_SERVICES_INTERLINE_SHARE_MEM_STATEMENTS_H_
#define VTTEL_SERVICES_INTERLINE_SHARE_MEM_STATEMENTS_H_

namespace services {

// Registers the statements and the store factory of slot kShareMem.
void RegisterShareMemStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_SHARE_MEM_STATEMENTS_H_
