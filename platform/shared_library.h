// Shared libraries that scripts load by name, found the way the system's
// scripts expect a library to be found: a bare name (no folder in it) in
// the program folder, then in the working folder, then by the dynamic
// loader's own search; a name with a folder at that path. Script names go
// through ToHostPath. A name ending in ".dll" (any case) that is not found
// so is tried again as "<name>.so" and as "lib<name>.so" (name without
// ".dll").
//
// Thread-safe: the loader serialises itself; a handle is the loader's.
#ifndef VTTEL_PLATFORM_SHARED_LIBRARY_H_
#define VTTEL_PLATFORM_SHARED_LIBRARY_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/library_trial.h"

namespace platform {

// The program folder: VTTEL_HOME when set and not empty, else the folder
// of the running executable.
std::string ProgramFolder();

// Why a library that a script names did not load.
struct LibraryLoadError {
  std::string text;
  // Its load-time code crashed, aborted, exited or did not end in time in
  // the trial load (rather than no file being a library that loads).
  bool loadTimeCode = false;
};

// Loads a library (all its symbols bound now, kept local to it) after its
// trial load in a copy of the process (library_trial.h) returned; null when
// it is not found or does not load, or when its load-time code crashed,
// aborted, exited or took more than trial_ms in the copy (*error, when
// given, says why).
void* OpenSharedLibrary(std::string_view script_name, LibraryLoadError* error = nullptr,
                        uint32_t trial_ms = kLibraryTrialMs);
// The address of an exported symbol, or null.
void* FindLibrarySymbol(void* library, const char* name);
// Loads a client library the system binds at start-up (host names, not
// script paths): a bare name in the program folder, then by the loader's
// search; a name with a folder at that path. The library is never unmapped
// (RTLD_NODELETE): client libraries keep threads and thread-local data that
// outlive a close, and back ends may still hold what it gave them. Null
// when it does not load (*error, when given, says why).
void* OpenClientLibrary(const std::string& host_name, std::string* error = nullptr);
// Gives a library back to the loader (null is ignored).
void CloseSharedLibrary(void* library);

}  // namespace platform

#endif  // VTTEL_PLATFORM_SHARED_LIBRARY_H_
