// Opening a file that must be a regular file: plays, recordings, captures
// and injected far-end audio. The open never blocks: a fifo, a device or a
// socket at the path is refused (and closed) instead of waiting for a peer.
//
// Thread-safe (no state).
#ifndef VTTEL_PLATFORM_REGULAR_FILE_H_
#define VTTEL_PLATFORM_REGULAR_FILE_H_

#include <sys/types.h>

#include <string>

namespace platform {

enum class FileOpenError { kNone, kCannotOpen, kNotRegular };

// open(path, flags | O_NONBLOCK | O_CLOEXEC, mode), kept only when it is a
// regular file. Returns the descriptor, or -1 with the reason in error.
int OpenRegularFile(const std::string& path, int flags, mode_t mode, FileOpenError& error);

}  // namespace platform

#endif  // VTTEL_PLATFORM_REGULAR_FILE_H_
