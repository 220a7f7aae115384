#include "frame/tcp_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <string>

#include "frame/log.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "platform/socket.h"

namespace frame {
namespace {

// The library version asked for at start-up, as the start-up line shows it.
constexpr int kSocketVersion = 0x202;
// The readiness polls wait this long.
constexpr long kPollWaitNanos = 20 * 1000;
// TcpRecvUntil: one receive asks for at most this many bytes, a pass with
// nothing to read sleeps this long, and this limit marks an HTTP head read.
constexpr int kRecvChunk = 2047;
constexpr uint32_t kRecvIdleMs = 120;
constexpr int kHeadLimit = 2048;

std::atomic<uint8_t> g_tcp_inited{0};

int Ready(int socket, platform::SocketEvent event) {
  return platform::WaitSocket(socket, event, kPollWaitNanos);
}

// A socket for a connect; one retry after a library restart. On POSIX the
// restart only clears and sets the started flag again: no socket of
// another line or of the monitor server is touched by it.
int CreateConnectSocket() {
  int s = platform::NewTcpSocket();
  if (s >= 0) return s;
  LogMsgF("socket()Error, isTcpInited=%d, WSAGetLastError=%d", IsTcpInited() ? 1 : 0, errno);
  TcpCleanup();
  TcpStartup();
  s = platform::NewTcpSocket();
  if (s < 0) {
    LogMsgF("Re: socket()Error, isTcpInited=%d, WSAGetLastError=%d", IsTcpInited() ? 1 : 0,
            errno);
  }
  return s;
}

// Step 1 of TcpConnectStep: the pending connect's progress.
int PollPending(TcpConnectState* state, int* connected) {
  const int ready = TcpCanWrite(state->pending_socket);
  if (ready == 0) return 0;
  const int s = state->pending_socket;
  state->pending_socket = -1;
  state->pending = false;
  if (ready < 0) {
    platform::CloseSocket(s);
    return kTcpPollError;
  }
  if (!platform::ConnectSucceeded(s)) {
    // Refused or unreachable: drop this attempt; the next step starts a
    // fresh one, so only the caller's time-out ends the wait.
    platform::CloseSocket(s);
    return 0;
  }
  *connected = s;
  return 1;
}

// A message box of InitTcp.
void Show(const platform::Message& message) {
  platform::ShowMessage(message.text, message.caption, message.icon);
}

}  // namespace

bool CheckPort(int port) {
  if (port >= 0 && port <= kTcpPortMax) return true;
  LogAlwaysF("port %d is not 0-%d", port, kTcpPortMax);
  return false;
}

bool ResolveHost(std::string_view host, platform::Ipv4Address* address, bool trace) {
  const std::string name(host);
  if (platform::ParseIpv4(name, address)) return true;
  std::string canon;
  if (!platform::LookUpIpv4(name, address, &canon)) {
    if (trace) LogMsgF("IpAddr Err1: %s", name.c_str());
    return false;
  }
  if (!platform::LookUpIpv4(canon, address, nullptr)) {
    if (trace) LogMsgF("IpAddr Err2: %s", canon.c_str());
    return false;
  }
  return true;
}

platform::Message SocketCreateFailure(int error) {
  char text[80];
  std::snprintf(text, sizeof text, "Error #%d occurred while creating socket!!", error);
  return {text, "InitTcp: socket()...", platform::MessageIcon::kError};
}

platform::Message SocketBindFailure(int error, int port) {
  char text[96];
  std::snprintf(text, sizeof text, "Error #%d occurred while bind socket! port=[%d]", error, port);
  return {text, "Server: bind()...", platform::MessageIcon::kError};
}

std::atomic<uint8_t>& TcpInitedFlag() { return g_tcp_inited; }

bool IsTcpInited() { return g_tcp_inited.load(std::memory_order_relaxed) != 0; }

int TcpStartup() {
  if (IsTcpInited()) return 0;
  WriteRawLogF("WSAStartup(WINSOCK_VERSION=0x%x)", kSocketVersion);
  WriteRawLog("WSAStartup OK.");
  g_tcp_inited.store(1, std::memory_order_relaxed);
  return 0;
}

void TcpCleanup() { g_tcp_inited.store(0, std::memory_order_relaxed); }

int TcpConnectStep(std::string_view host, int port, TcpConnectState* state, int* connected) {
  if (state->pending) return PollPending(state, connected);
  if (!CheckPort(port)) return kTcpHostNotResolved;
  platform::Ipv4Address address;
  if (!ResolveHost(host, &address, /*trace=*/true)) return kTcpHostNotResolved;
  const int s = CreateConnectSocket();
  if (s < 0) return kTcpNoSocket;
  // The polls of the next steps tell how the connect went.
  platform::StartConnect(s, address, port);
  state->pending_socket = s;
  state->pending = true;
  return 0;
}

void TcpAbandonConnect(TcpConnectState* state) {
  if (state->pending) platform::CloseSocket(state->pending_socket);
  state->pending_socket = -1;
  state->pending = false;
}

int TcpCanRead(int socket) { return Ready(socket, platform::SocketEvent::kReadable); }

int TcpCanWrite(int socket) { return Ready(socket, platform::SocketEvent::kWritable); }

int InitTcp(int port, int* listening, int backlog) {
  WriteRawLogF("InitTcp(port=%d, maxListen=%d)", port, backlog);
  if (!CheckPort(port)) return kTcpBindFailed;
  const int s = platform::NewTcpSocket();
  if (s < 0) {
    Show(SocketCreateFailure(errno));
    return kTcpNoSocket;
  }
  WriteRawLogF("socket() OK. hd=%d", s);
  if (const int error = platform::BindTcpAny(s, port); error != 0) {
    platform::CloseSocket(s);
    Show(SocketBindFailure(error, port));
    return kTcpBindFailed;
  }
  WriteRawLog("bind() OK.");
  if (const int error = platform::ListenOn(s, backlog); error != 0) {
    platform::CloseSocket(s);
    char text[80];
    std::snprintf(text, sizeof text, "Error #%d occurred while lisent() socket!!", error);
    Show({text, "InitTcp", platform::MessageIcon::kError});
    return kTcpListenFailed;
  }
  WriteRawLog("listen() OK.");
  *listening = s;
  return 0;
}

int TcpAcceptClient(int listening, char address[kTcpAddressRoom]) {
  address[0] = '\0';
  LogMsgF("accept(hd=0x%x), sizof=%d...", static_cast<unsigned>(listening), kTcpAddressRoom);
  std::string peer;
  int peer_port = 0;
  const int s = platform::AcceptTcp(listening, &peer, &peer_port);
  if (s < 0) {
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      // Polled readable, but the connection went to another caller (or
      // vanished) in between: nothing to accept, and no error.
      LogMsg("accept(): no connection waiting.");
      return -1;
    }
    WriteRawLog("accept(): INVALID_SOCKET.");
    WriteRawLogF("Error #%d occurred while accept() socket!!", error);
    LogAlwaysF("Error #%d occurred while accept() socket!!", error);
    return -1;
  }
  peer.copy(address, kTcpAddressRoom - 1);
  address[std::min<size_t>(peer.size(), kTcpAddressRoom - 1)] = '\0';
  LogMsgF("remoteAddr: '%s:%d'", address, peer_port);
  LogMsgF("accept(): OK, subSkt=0x%x.", static_cast<unsigned>(s));
  return s;
}

int TcpRecvUntil(int socket, char* buffer, int limit, int seconds) {
  if (limit < 0) return -1;
  buffer[0] = '\0';
  if (socket < 0) return -1;
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  // Unsigned: a negative time-out is a very long one.
  const uint64_t wait_ms = static_cast<uint64_t>(static_cast<uint32_t>(seconds)) * 1000u;
  int count = 0;
  for (;;) {
    const int ready = TcpCanRead(socket);
    if (ready < 0) break;
    if (ready == 0) {
      clock.Sleep(kRecvIdleMs);
    } else {
      const int room = std::min(kRecvChunk, limit - count);
      const long got = platform::ReceiveSome(socket, buffer + count, static_cast<size_t>(room));
      if (got <= 0) break;
      count += static_cast<int>(got);
      if (count >= limit) break;
      buffer[count] = '\0';
      if (limit < kHeadLimit) break;
      if (limit == kHeadLimit && memmem(buffer, static_cast<size_t>(count), "\r\n\r\n", 4)) break;
    }
    if (clock.TickCount() - start > wait_ms) {
      count = 0;
      break;
    }
  }
  buffer[count] = '\0';
  return count;
}

std::string GetPeerAddress(int socket) { return platform::SocketPeerAddress(socket); }

}  // namespace frame
