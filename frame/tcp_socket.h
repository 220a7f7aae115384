// The system's TCP socket routines (their results, trace lines and message
// boxes) over the OS layer's sockets (platform/socket.h), shared by the TCP
// statements, the HTTP client and server, the UDP statements (the started
// flag, the host lookup, the socket messages and the readability poll) and
// the monitor server.
//
// Every routine runs on the calling thread and never blocks longer than its
// own time-out; accept never waits, even on a listener polled readable
// whose connection another thread took (the sockets it hands out block). Every socket
// is close-on-exec and every send goes through platform::SendSome or
// SendNoWait (a closed peer is an error, never a signal).
//
// Thread rules: the routines keep no shared state except the process-wide
// started flag (an atomic byte); any thread may call any routine. A
// TcpConnectState belongs to one caller and is not shared.
#ifndef VTTEL_FRAME_TCP_SOCKET_H_
#define VTTEL_FRAME_TCP_SOCKET_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_service.h"
#include "platform/socket.h"

namespace frame {

// Result codes of the routines.
inline constexpr int kTcpHostNotResolved = -2;
inline constexpr int kTcpNoSocket = -3;
inline constexpr int kTcpBindFailed = -4;
inline constexpr int kTcpPollError = -5;   // TcpConnectStep
inline constexpr int kTcpListenFailed = -5;  // InitTcp
inline constexpr int kTcpTimeout = -9;

// The highest port number of TCP and UDP.
inline constexpr int kTcpPortMax = 65535;

// True when port is 0-65535; otherwise logs "port %d is not 0-65535" and
// returns false. Every routine given a port to connect to, send to or
// listen on checks it here first, so a port never wraps onto another.
bool CheckPort(int port);

// Room for an IPv4 dotted address text and its NUL.
inline constexpr int kTcpAddressRoom = 16;

// Marks the socket library started: 0 started now or already; -1 failure
// (the POSIX socket layer needs no start, so it does not fail). Writes the
// start-up lines to the raw trace log when it starts.
int TcpStartup();
// Clears the started flag. Sockets that are open stay usable: the POSIX
// socket layer needs no start or stop, so nothing else is torn down.
void TcpCleanup();
bool IsTcpInited();
// The process-wide started flag (also set by the UDP start-up).
std::atomic<uint8_t>& TcpInitedFlag();

// The host as a dotted address, else by name: the official name of the
// first answer is looked up once more and its first address is used. With
// trace, a failed lookup logs "IpAddr Err1: %s" or "IpAddr Err2: %s".
bool ResolveHost(std::string_view host, platform::Ipv4Address* address, bool trace);

// The messages of a socket that could not be made or bound (the platform's
// error number; the port), as InitTcp shows them.
platform::Message SocketCreateFailure(int error);
platform::Message SocketBindFailure(int error, int port);

// One pending non-blocking connect, owned by the caller of TcpConnectStep.
struct TcpConnectState {
  int pending_socket = -1;
  bool pending = false;
};

// One step of a non-blocking connect; the caller repeats it until non-zero.
// 1 connected (*connected set, state cleared); 0 in progress; -2 host not
// resolved or port outside 0-65535; -3 no socket; -5 poll error (the
// pending socket is closed).
// The connected socket stays non-blocking for its whole life.
//
// A connect counts as done only when the socket is writable AND its
// SO_ERROR is 0. A refused or unreachable connect is never reported as an
// error or a success: the failed socket is closed and a fresh attempt is
// started on the next step, so the caller's time-out ends the wait.
int TcpConnectStep(std::string_view host, int port, TcpConnectState* state,
                   int* connected);
// Closes the pending socket of a state (if any) and clears it.
void TcpAbandonConnect(TcpConnectState* state);

// Readability / writability poll with a 20 µs time-out: 1 ready (for
// reading: data, a connection or the peer's close), 0 not, negative error.
int TcpCanRead(int socket);
int TcpCanWrite(int socket);

// A blocking listening socket on every local address (SO_REUSEADDR):
// 0 listening (*listening set); -3 socket failed; -4 bind failed or port
// outside 0-65535 (logged, no socket made); -5 listen failed. Every other
// failure shows a message through platform::ShowMessage and closes the
// socket made.
int InitTcp(int port, int* listening, int backlog);

// Accepts one waiting connection and never waits: -1 at once when none
// waits (another caller took the one a poll saw); the listener becomes
// non-blocking, the socket handed out blocks. Returns the new socket and
// the peer's dotted address in address, or -1 (address then empty).
int TcpAcceptClient(int listening, char address[kTcpAddressRoom]);

// Receives into buffer (room for limit + 1 bytes) until the limit is
// reached, a complete HTTP head arrived (limit 2048), one receive was done
// (limit below 2048), the peer closed, or the time-out passed. Returns the
// byte count stored (NUL-terminated), 0 on time-out (what arrived is
// dropped), -1 for a negative socket or limit (nothing written then for a
// negative limit). Time-outs are compared unsigned: a negative one is a
// very long one.
int TcpRecvUntil(int socket, char* buffer, int limit, int seconds);

// The peer's dotted IPv4 address of a connected socket, or "".
std::string GetPeerAddress(int socket);

}  // namespace frame

#endif  // VTTEL_FRAME_TCP_SOCKET_H_
