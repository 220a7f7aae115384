#include "platform/peer_user.h"

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

bool PeerUid(int fd, uid_t& uid) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
  uid = cred.uid;
  return true;
}

bool PeerIsSameUser(int fd) {
  uid_t uid;
  return PeerUid(fd, uid) && uid == geteuid();
}

}  // namespace platform
