// The user at the other end of a local (UNIX) socket: the system's local
// sockets (named events, the simulated board's control socket) talk only
// to processes of the user that owns them.
//
// Thread-safe (no state).
#ifndef VTTEL_PLATFORM_PEER_USER_H_
#define VTTEL_PLATFORM_PEER_USER_H_

#include <sys/types.h>

namespace platform {

// The effective uid of the process at the other end of the connected UNIX
// socket fd (as it was when it connected); false when it cannot be told.
bool PeerUid(int fd, uid_t& uid);

// True when the peer of fd runs as our effective uid.
bool PeerIsSameUser(int fd);

}  // namespace platform

#endif  // VTTEL_PLATFORM_PEER_USER_H_
