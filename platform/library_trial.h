// The trial load of a library that a script names: the library's
// load-time code (its constructors) runs first in a copy of the process
// (ChildProcess::Fork), where a crash, an abort, an exit or a hang ends
// only the copy. The caller loads the library into the process only after
// the copy's load returned. A library unloaded and loaded again (a script
// that loads and frees it on every call) is tried once while its file
// stays the same.
//
// Why a copy and not the fault guard of calls (fault_guard.h): the loader
// runs load-time code while it holds its own lock; a jump out of a crash
// in there would leave that lock held, and every later load of the
// process, on any thread, would wait for it forever.
//
// What the load-time code does besides (files it writes, programs it
// starts) it does twice: once in the copy, once in the process.
//
// Thread-safe: each trial has its own copy.
#ifndef VTTEL_PLATFORM_LIBRARY_TRIAL_H_
#define VTTEL_PLATFORM_LIBRARY_TRIAL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// How long a trial load may take before it is given up.
inline constexpr uint32_t kLibraryTrialMs = 30000;

struct LibraryTrial {
  int loaded = -1;    // the first candidate that loaded in the copy, or -1
  std::string error;  // with none: the loader's first message, or how the copy ended
  // With none: the load-time code crashed, aborted, exited or did not end
  // (rather than no candidate being a library that loads).
  bool loadTimeCode = false;
};

// Loads candidates (host paths) in order with the loader's flags in a copy
// of the process until one loads; the copy, and what it started, is killed
// when it has not ended within wait_ms. A trial that passed is not made
// again for the same candidates while each candidate file is the same file,
// unchanged (device, inode, size, modification time); the loader's own
// search for a name without a folder is taken as unchanged.
LibraryTrial TrialLoad(const std::vector<std::string>& candidates, int flags, uint32_t wait_ms);

}  // namespace platform

#endif  // VTTEL_PLATFORM_LIBRARY_TRIAL_H_
