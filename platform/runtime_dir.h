// The private folder of the running user where the system keeps its
// single-instance lock and its named events.
//
// It is "$XDG_RUNTIME_DIR/vttel" when XDG_RUNTIME_DIR is set and not empty
// (XDG_RUNTIME_DIR itself must exist), else "/tmp/vttel-<uid>". A missing
// folder is created with mode 0700. An existing one is used only when it is
// a real directory (not a symlink), owned by the effective uid, with mode
// exactly 0700; otherwise someone else may have placed it, and it is refused.
//
// The environment is read at every call. Thread-safe (as far as getenv is:
// nobody may change the environment while another thread calls this).
#ifndef VTTEL_PLATFORM_RUNTIME_DIR_H_
#define VTTEL_PLATFORM_RUNTIME_DIR_H_

#include <string>

namespace platform {

// The folder's path without a trailing '/', created if missing; an empty
// string when it cannot be created or is refused.
std::string RuntimeDir();

}  // namespace platform

#endif  // VTTEL_PLATFORM_RUNTIME_DIR_H_
