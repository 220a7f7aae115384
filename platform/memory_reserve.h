// The memory reserve: a block the program holds back so that it goes on
// when a script has used up the rest of its memory.
//
// InstallMemoryReserve takes the block and sets the process's new handler.
// The first allocation that fails anywhere gives the block back and is
// tried again (so no thread of the program fails on the first shortage);
// from then on MemoryLow() is true, and the script engine refuses to grow
// script data (text, dictionary entries) while it is: the line whose
// script asked for more ends its run, gives its data back and calls
// ReplenishMemoryReserve, which takes the block again when it can. An
// allocation that fails with the block already given out throws
// std::bad_alloc as usual.
//
// The reserve is address space, not touched memory: it guards the limit
// that bounds the program's memory (ulimit -v / RLIMIT_AS); where the
// system overcommits without one, a shortage ends in its out-of-memory
// killer, which no program can catch.
//
// Thread-safe; the functions do not allocate except Install and Replenish.
#ifndef VTTEL_PLATFORM_MEMORY_RESERVE_H_
#define VTTEL_PLATFORM_MEMORY_RESERVE_H_

#include <cstddef>

namespace platform {

// Enough for the other lines, the log and the window to run for the time a
// failed line takes to give its data back.
inline constexpr size_t kMemoryReserveBytes = 32u << 20;

// Takes the reserve (bytes; a second call only sets the handler again) and
// installs the new handler. False when the block could not be had.
bool InstallMemoryReserve(size_t bytes = kMemoryReserveBytes);

// True while the reserve is given out (a relaxed load: cheap to test).
bool MemoryLow();

// Gives the reserve back to the allocator, if it is still held; MemoryLow()
// is true afterwards. Called by the new handler and by code whose own
// allocation (malloc) failed.
void ReleaseMemoryReserve();

// Takes the reserve again after a release; true when it is held (MemoryLow()
// false) afterwards. Without an installed reserve: true.
bool ReplenishMemoryReserve();

}  // namespace platform

#endif  // VTTEL_PLATFORM_MEMORY_RESERVE_H_
