// Results of the socket statements besides a handle, a count and the
// socket routines' own codes (frame/tcp_socket.h, udp_socket.h).
#ifndef VTTEL_SERVICES_NET_SOCKET_RESULTS_H_
#define VTTEL_SERVICES_NET_SOCKET_RESULTS_H_

#include <cstdint>

namespace services {

// "TcpWrite(" and "TcpRead(" refuse bad arguments with this result.
inline constexpr int32_t kTcpBadArgument = -100;
// "UdpSend(" refuses data that is not a non-empty string, then a host that
// is not a string, with these results.
inline constexpr int32_t kUdpBadData = -100;
inline constexpr int32_t kUdpBadHost = -200;

}  // namespace services

#endif  // VTTEL_SERVICES_NET_SOCKET_RESULTS_H_
