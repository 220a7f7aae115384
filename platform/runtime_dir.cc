#include "platform/runtime_dir.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr mode_t kRuntimeDirMode = 0700;

std::string RuntimeDirPath() {
  const char* xdg = getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/vttel";
  return "/tmp/vttel-" + std::to_string(geteuid());
}

// Opens the folder itself (never through a symlink) and checks who owns it
// and its mode. A folder we have just made gets its mode set exactly, since
// the umask may have taken bits away.
bool CheckFolder(const std::string& path, bool created) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
  if (ok && created) ok = fchmod(fd, kRuntimeDirMode) == 0 && fstat(fd, &st) == 0;
  ok = ok && (st.st_mode & 07777) == kRuntimeDirMode;
  close(fd);
  return ok;
}

}  // namespace

std::string RuntimeDir() {
  std::string path = RuntimeDirPath();
  bool created = mkdir(path.c_str(), kRuntimeDirMode) == 0;
  if (!created && errno != EEXIST) return std::string();
  return CheckFolder(path, created) ? path : std::string();
}

}  // namespace platform
