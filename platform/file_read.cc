#include "platform/file_read.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

std::optional<std::string> ReadRegularFile(int fd, int64_t max_bytes, size_t chunk) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (st.st_size <= 0 || st.st_size > max_bytes) return std::nullopt;
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const size_t left = bytes.size() - got;
    const size_t want = chunk == 0 ? left : std::min(chunk, left);
    ssize_t n = read(fd, bytes.data() + got, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (got == 0) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

}  // namespace platform
