// TCP and UDP sockets over IPv4: the only code that calls the OS's socket
// layer for the system's TCP routines, the TCP and UDP statements and the
// monitor server.
//
// Every socket is made with SOCK_CLOEXEC, every send uses MSG_NOSIGNAL (a
// closed peer is an error result, never a signal), waits use poll and an
// interrupted call is repeated. Routines that fail return -1 and leave the
// OS's reason in errno; none keeps state, so any thread may call any of
// them on sockets it holds.
#ifndef VTTEL_PLATFORM_SOCKET_H_
#define VTTEL_PLATFORM_SOCKET_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An IPv4 address as the socket layer holds it (network byte order).
struct Ipv4Address {
  uint32_t network_order = 0;
};

// What a readiness wait looks for.
enum class SocketEvent { kReadable, kWritable };

// Result of a non-blocking transfer that would have had to wait.
inline constexpr long kSocketWouldBlock = -2;

// A new TCP socket (blocking, close-on-exec), or -1.
int NewTcpSocket();
void CloseSocket(int socket);
// Ends both directions at once; a thread blocked on the socket returns.
void ShutdownSocket(int socket);
// True when a receive on the socket waits for data: blocking mode, and
// not a listener (a receive on a listener fails at once).
bool ReceiveWaits(int socket);

// A dotted address text; false when it is not one.
bool ParseIpv4(const std::string& text, Ipv4Address* address);
// The first IPv4 address of a name lookup, and (when canonical is not null)
// the canonical name of the answer (the name itself when there is none);
// false when the name does not resolve.
bool LookUpIpv4(const std::string& name, Ipv4Address* address, std::string* canonical);

// Makes the socket non-blocking and starts a connect to address:port; the
// immediate result is not reported: a readiness wait for kWritable and
// ConnectSucceeded tell how it went.
void StartConnect(int socket, Ipv4Address address, int port);
// True when a started connect has completed: no pending error and a peer.
bool ConnectSucceeded(int socket);

// Waits at most wait_nanos for the event: 1 ready (the event, an error or
// the peer's hang-up: the next call on the socket returns at once), 0 not
// (an interrupted wait included), -1 when the wait failed or the socket
// is not open.
int WaitSocket(int socket, SocketEvent event, int64_t wait_nanos);

// Waits at most wait_nanos for the event on any of count sockets: the
// number of sockets ready (as WaitSocket counts them ready; one that is
// not open counts too, so its next call fails at once), 0 when none,
// -1 when the wait failed.
int WaitAnySocket(const int* sockets, size_t count, SocketEvent event, int64_t wait_nanos);

// Sets SO_REUSEADDR and binds the socket to port on every local address;
// listens with backlog. 0, or the OS's error number.
int BindTcpAny(int socket, int port);
int ListenOn(int socket, int backlog);
// Accepts one waiting connection, never waiting for one: the listener is
// switched to non-blocking mode (it stays so; readiness waits and accept
// are all a listener is used for), so a connection that another thread
// took or that vanished gives -1 with errno EAGAIN. The new socket is
// close-on-exec and in blocking mode whatever the listener's mode; the
// peer's dotted address and port are set ("" and 0 for a peer that is not
// IPv4). -1 on failure.
int AcceptTcp(int listening, std::string* address, int* port);
// The dotted IPv4 address of the peer of a connected socket, or "".
std::string SocketPeerAddress(int socket);

// One receive / one send of at most size bytes, waiting as the socket's
// mode says: the byte count, 0 when the peer closed (receive), or -1.
long ReceiveSome(int socket, char* buffer, size_t size);
long SendSome(int socket, const char* bytes, size_t size);
// The same without waiting, whatever the socket's mode: kSocketWouldBlock
// when nothing could be moved now.
long ReceiveNoWait(int socket, char* buffer, size_t size);
long SendNoWait(int socket, const char* bytes, size_t size);

// A new UDP socket (blocking, close-on-exec), or -1.
int NewUdpSocket();
// Binds the socket to port on every local address, without SO_REUSEADDR:
// a port another socket holds is refused. 0, or the OS's error number.
int BindUdpAny(int socket, int port);
// Asks for a receive buffer of bytes (SO_RCVBUF); the OS may give less.
// 0, or the OS's error number.
int SetReceiveBuffer(int socket, int bytes);
// Sends one datagram of size bytes to address:port (flags MSG_NOSIGNAL
// only): the byte count sent, or -1.
long SendDatagram(int socket, Ipv4Address address, int port, const char* bytes, size_t size);
// Receives one datagram into buffer (at most size bytes kept), waiting as
// the socket's mode says: the datagram's whole length (MSG_TRUNC: above
// size when it was cut), 0 for an empty datagram or a socket shut down, or
// -1. With a result above 0 the sender's dotted address and port are set.
long ReceiveDatagram(int socket, char* buffer, size_t size, std::string* address, int* port);

}  // namespace platform

#endif  // VTTEL_PLATFORM_SOCKET_H_
