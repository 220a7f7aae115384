#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int OpenRegularFile(const std::string& path, int flags, mode_t mode, FileOpenError& error) {
  int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
  struct stat st {};
  if (fd < 0) {
    // A fifo without a reader refuses a non-blocking writer (ENXIO): still
    // the kind of file, not a missing one.
    bool other_kind = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    error = other_kind ? FileOpenError::kNotRegular : FileOpenError::kCannotOpen;
    return -1;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = S_ISREG(st.st_mode) ? FileOpenError::kCannotOpen : FileOpenError::kNotRegular;
    close(fd);
    return -1;
  }
  error = FileOpenError::kNone;
  return fd;
}

}  // namespace platform
