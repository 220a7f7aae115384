// Paths as scripts write them (Windows form, GBK bytes) mapped to the paths
// the Linux calls use (UTF-8). Every statement that opens a file goes through
// ToHostPath; script-visible strings keep their Windows form.
//
// The mapping:
//  - the GBK text is walked character by character: a lead byte 0x81-0xFE
//    and a trail byte 0x40-0x7E/0x80-0xFE are one character, copied as they
//    are (the trail byte may be 0x5C '\'); every other '\' or '/' is a
//    separator, and a run of separators is one '/';
//  - "X:" at the start (X an ASCII letter, either case) is a drive, mapped
//    through the environment variable VTTEL_DRIVES, a ';'-separated list of
//    LETTER=/host/dir entries ("C=/srv/vttel;D=/data/voc"; letters either
//    case, blanks around entries ignored, malformed entries ignored, the
//    first entry of a letter wins). No letter is mapped by default. "C:x"
//    is "C:\x". The variable is read at every call;
//  - a path starting with a separator is a host absolute path; any other
//    path is relative to the working directory and stays relative;
//  - the text becomes UTF-8 (bytes that are not GBK become '?');
//  - each component that does not exist as written is looked up in its
//    folder ignoring the case of ASCII letters (Chinese characters must
//    match exactly; of several matches the smallest name in byte order is
//    taken). From the first component found neither way the rest is kept
//    as written, so a file about to be created gets its name as written
//    under the folder found. "." and ".." are kept; symbolic links are
//    followed by the OS but never replaced by their targets. The drive's
//    folder is used exactly as VTTEL_DRIVES gives it.
// Thread-safe (no state of its own). VTTEL_DRIVES must not be changed while
// other threads map paths (setenv is not thread-safe).
#ifndef VTTEL_PLATFORM_HOST_PATH_H_
#define VTTEL_PLATFORM_HOST_PATH_H_

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Maps a script path to the host path the OS call should use. Returns
// std::nullopt when the path cannot be mapped: an empty path, a NUL byte
// inside, a UNC path (two separators at the start), a ':' anywhere but after
// a drive letter, a drive letter that VTTEL_DRIVES does not map.
std::optional<std::string> ToHostPath(std::string_view script_path);

// The reverse map, for paths handed back to scripts: a host path (UTF-8)
// that lies under a folder of VTTEL_DRIVES becomes "X:\..." (the letter in
// upper case, '\' between components; of several folders the longest
// one), any other path stays as it is; either way in GBK. A GBK trail byte
// 0x5C in a name is a byte of its character, never a separator.
std::string ToScriptPath(const std::string& host_path);

// fopen / open of a script path through ToHostPath; nullptr / -1 with errno
// ENOENT when the path cannot be mapped. The descriptors are close-on-exec.
FILE* OpenHostFile(std::string_view script_path, const char* mode);
int OpenHostFd(std::string_view script_path, int flags, mode_t mode = 0666);

}  // namespace platform

#endif  // VTTEL_PLATFORM_HOST_PATH_H_
