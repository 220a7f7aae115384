#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

void UniqueFd::Reset(int fd) {
  Close();
  fd_ = fd;
}

void UniqueFd::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool MakePipe(UniqueFd* read_end, UniqueFd* write_end, int more_flags) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | more_flags) != 0) return false;
  read_end->Reset(fds[0]);
  write_end->Reset(fds[1]);
  return true;
}

}  // namespace platform
