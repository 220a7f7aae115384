// The UDP socket routines of the script statements: plain IPv4 datagram
// sockets bound to a local port, sending to a host by address or name, and
// receiving one datagram with its sender.
//
// A socket from UdpOpenSocket blocks (UdpRecvFrom waits for a datagram;
// shutting the socket down ends the wait with 0), has a receive buffer of
// kUdpReceiveBuffer bytes when the OS grants it, and is bound without
// SO_REUSEADDR, so a port already held by another socket is refused.
//
// Thread rules: no shared state but the started flag of the socket
// library (frame::TcpInitedFlag); any thread may call any routine on the
// sockets it holds.
#ifndef VTTEL_SERVICES_NET_UDP_SOCKET_H_
#define VTTEL_SERVICES_NET_UDP_SOCKET_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace services {

// The receive buffer asked for on every socket.
inline constexpr int kUdpReceiveBuffer = 1 << 20;
// The largest datagram one "UdpRecv(" hands over.
inline constexpr int kUdpDatagramLimit = 10240;
// The result of UdpRecvFrom for a datagram longer than its buffer.
inline constexpr long kUdpTooLong = -1;

// Marks the socket library started (the flag the TCP routines share), with
// no trace lines: 0 (the POSIX socket layer needs no start).
int UdpStartup();

// Makes a datagram socket bound to port on every local address (0: the OS
// chooses): 0 (*socket set); -3 no socket; -4 bind failed (the socket is
// closed) or port outside 0-65535 (logged, no socket made). A failure of
// the OS logs the beep of the error box and shows the box through
// platform::ShowMessage (texts and captions as InitTcp's).
int UdpOpenSocket(int port, int* socket);

// Sends count bytes as one datagram to host (dotted address or name):
// the byte count sent, -1 on a send error, -2 when host does not resolve
// (no log line) or port is outside 0-65535 (logged).
long UdpSendTo(int socket, std::string_view host, int port, const char* bytes, size_t count);

// Receives one datagram into buffer (size bytes): its length; 0 (an empty
// datagram, or the socket shut down) or -1 on error; kUdpTooLong with a log
// line for a datagram longer than size, which is dropped. Only a result
// above 0 sets address (dotted text) and port (host order).
long UdpRecvFrom(int socket, char* buffer, size_t size, std::string* address, int* port);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_UDP_SOCKET_H_
