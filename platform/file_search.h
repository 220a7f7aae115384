// Finding files by a script pattern: the folder part of the pattern is a
// script path (ToHostPath), its last component a name with the wildcards
// '*' (any run of characters) and '?' (one character; a GBK double-byte
// character is one), matched without regard to ASCII case. A pattern
// ending in ".*" also matches the names without that extension, so "*.*"
// matches every name. Folders, other non-regular entries and names
// starting with '.' are skipped; symbolic links count as what they point
// to. Names are handed back in GBK, in the case-insensitive order of their
// UTF-16 form (the order the original file system listed them in).
//
// Thread-safe (no state).
#ifndef VTTEL_PLATFORM_FILE_SEARCH_H_
#define VTTEL_PLATFORM_FILE_SEARCH_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct FoundFile {
  std::string name;      // GBK, without its folder
  int64_t size = 0;      // bytes
  int64_t modified = 0;  // seconds since the epoch
};

// The files matching the pattern; empty when none does or the folder
// cannot be read.
std::vector<FoundFile> FindScriptFiles(std::string_view pattern);

// Whether the GBK name matches the GBK wildcard pattern (the rules above).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace platform

#endif  // VTTEL_PLATFORM_FILE_SEARCH_H_
