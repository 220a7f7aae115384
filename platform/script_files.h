// The file-system calls of the file and directory statements, on script
// paths (mapped through ToHostPath; a path that cannot be mapped fails as a
// missing folder). Results that scripts see as the system's error numbers
// are Windows error numbers (windows_error.h), 0 for success.
//
// Thread-safe, but the working directory is the process's: a change holds
// for every thread at once.
#ifndef VTTEL_PLATFORM_SCRIPT_FILES_H_
#define VTTEL_PLATFORM_SCRIPT_FILES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Renames from to to, replacing an existing file; across file systems the
// file is copied (bytes, permissions and modification time, as
// CopyScriptFile does) and the source removed. 0 or a Windows error number.
int MoveScriptFile(std::string_view from, std::string_view to);
// Removes the file (not a folder). 0 or a Windows error number.
int DeleteScriptFile(std::string_view path);
// Opens the file for output with truncation and closes it: it is left
// empty, created when missing. 0 or a Windows error number.
int EmptyScriptFile(std::string_view path);
// Copies from over to (replaced when it exists), keeping the modification
// time. The copy is written to a temporary file in the destination's
// folder and renamed over it, so a failed copy leaves an existing
// destination as it was; a destination that is a link is followed (the
// link stays and leads to the copy). A file is never copied onto itself
// (the same path, a link or another name of it). False on any failure,
// with the reason in *why.
bool CopyScriptFile(std::string_view from, std::string_view to, std::string* why);

// Makes one folder / removes one empty folder; false on failure.
bool MakeScriptDir(std::string_view path);
bool RemoveScriptDir(std::string_view path);

// The process's working directory as scripts see it (ToScriptPath: "X:\..."
// under a mapped drive, else the host path; GBK), "" when it cannot be
// read.
std::string ScriptWorkDir();
// Makes the folder the process's working directory. False on failure, with
// the reason in *why.
bool SetScriptWorkDir(std::string_view path, std::string* why);

// The size and the space the process may still use of the file system that
// holds the path, in bytes.
struct DiskSpace {
  uint64_t total = 0;
  uint64_t available = 0;
};
std::optional<DiskSpace> ScriptDiskSpace(std::string_view path);

}  // namespace platform

#endif  // VTTEL_PLATFORM_SCRIPT_FILES_H_
