// Reading a whole regular file from an open descriptor.
#ifndef VTTEL_PLATFORM_FILE_READ_H_
#define VTTEL_PLATFORM_FILE_READ_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The bytes of the regular file behind fd, read in pieces of at most chunk
// bytes (0: as large as the file); nullopt for a directory or other
// non-regular file, a read error, an empty file or one above max_bytes. A
// file that shrinks while it is read gives the bytes that were there; every
// byte read counts, a last short piece included.
std::optional<std::string> ReadRegularFile(int fd, int64_t max_bytes, size_t chunk = 0);

}  // namespace platform

#endif  // VTTEL_PLATFORM_FILE_READ_H_
