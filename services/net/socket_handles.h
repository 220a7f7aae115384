// The process-wide numbers that scripts see for their sockets (TCP, UDP,
// the HTTP client's, listeners and connections).
//
// A script never sees a descriptor: every socket a statement opens gets a
// handle from here, so a script cannot reach the log file or another
// line's socket by guessing a number. Handles start at kFirstSocketHandle,
// grow with every socket and wrap back to it below INT32_MAX; a value still
// in use is skipped, so a handle is not given out again until the whole
// range has been used.
//
// Thread rules: thread-safe (one lock); any line may allocate or release.
#ifndef VTTEL_SERVICES_NET_SOCKET_HANDLES_H_
#define VTTEL_SERVICES_NET_SOCKET_HANDLES_H_

#include <cstddef>
#include <cstdint>

namespace services {

// The first handle: clear of the small descriptor numbers.
inline constexpr int32_t kFirstSocketHandle = 0x100;
// No handle: the registry is full.
inline constexpr int32_t kNoSocketHandle = -1;

// A fresh handle (marked in use), or kNoSocketHandle.
int32_t AllocateSocketHandle();
// Gives a handle back; unknown values are ignored.
void ReleaseSocketHandle(int32_t handle);
// The number of handles in use (for tests).
size_t SocketHandlesInUse();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_SOCKET_HANDLES_H_
