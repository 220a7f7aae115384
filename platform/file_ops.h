// Files by name: the file-system calls of the layers above platform (read a
// whole file, replace one, remove, rename, look at its time). Routines named
// "Script" take a script path and map it through ToHostPath (host_path.h);
// a path that cannot be mapped fails like a missing file. Routines named
// "Host" take the host path as it is.
//
// Thread-safe (no state of its own). Opens are close-on-exec and never wait
// for a peer: a fifo or a device at the path is not read.
#ifndef VTTEL_PLATFORM_FILE_OPS_H_
#define VTTEL_PLATFORM_FILE_OPS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What reading an empty regular file gives.
enum class EmptyFile { kFails, kGivesEmpty };

// What reading a whole file gave: whether it could be opened, and its
// bytes (nullopt when it was not read).
struct FileBytes {
  bool opened = false;
  std::optional<std::string> bytes;
};

// The bytes of the regular file at a script path, read as ReadRegularFile
// does (file_read.h: pieces of chunk bytes, at most max_bytes); no bytes
// when it cannot be opened or read, or is empty unless empty says so.
FileBytes ReadScriptFile(std::string_view script_path, int64_t max_bytes, size_t chunk = 0,
                         EmptyFile empty = EmptyFile::kFails);

// Writes every byte to the open descriptor fd, going on after a signal;
// false on any error (what was written stays written).
bool WriteAll(int fd, std::string_view bytes);

// Writes bytes to "<host_path>.tmp" and renames it over host_path, so a
// reader sees the old file or the whole new one; the temporary is removed
// when anything fails. False on any failure.
bool ReplaceHostFile(const std::string& host_path, std::string_view bytes);

// Opens a script path for reading and writing ("r+b"), creating it when
// missing and emptying it unless keep; nullptr when it cannot be opened.
FILE* OpenScriptFileForUpdate(std::string_view script_path, bool keep);

// Removes the file; false when it cannot be mapped or removed.
bool RemoveScriptFile(std::string_view script_path);
bool RemoveHostFile(const std::string& host_path);
// Renames from to to (replacing to); false on failure.
bool RenameHostFile(const std::string& from, const std::string& to);
// Copies from over to; false on failure.
bool CopyHostFile(const std::string& from, const std::string& to);
// Whether two host paths name one file: the same device and inode, with
// symbolic links followed (a hard link, a link or another spelling of a
// path is the same file). False when either cannot be looked at.
bool SameHostFile(const std::string& a, const std::string& b);
// The same for two script paths (ToHostPath).
bool SameScriptFile(std::string_view a, std::string_view b);
// Whether anything is at the host path; the size of the regular file
// there, or nullopt.
bool HostFileExists(const std::string& host_path);
std::optional<uint64_t> HostFileSize(const std::string& host_path);
// Makes the host folder the process's working directory (where relative
// script paths lead); false when it cannot.
bool ChangeDirectory(const std::string& host_folder);

// The modification time (seconds since the epoch) of what is at a script
// path, or nullopt when nothing is there.
std::optional<int64_t> ScriptFileModified(std::string_view script_path);
// The same in nanoseconds since 1970 (tells apart changes within a second).
std::optional<int64_t> ScriptFileModifiedNanos(std::string_view script_path);
// Whether anything (a file, a folder...) is at a script path.
bool ScriptFileExists(std::string_view script_path);

}  // namespace platform

#endif  // VTTEL_PLATFORM_FILE_OPS_H_
