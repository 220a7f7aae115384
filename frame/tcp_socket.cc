#include "frame/tcp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "frame/log.h"
#include "platform/clock.h"
#include "platform/message_service.h"

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

// The revents of one poll of the socket for events, 0 when nothing is
// ready, -1 when the poll failed or the descriptor is not open.
int PollOnce(int socket, short events) {
  if (socket < 0) return -1;
  pollfd p{socket, events, 0};
  const timespec wait{0, kPollWaitNanos};
  const int n = ppoll(&p, 1, &wait, nullptr);
  if (n < 0) return errno == EINTR ? 0 : -1;
  if (n == 0) return 0;
  if ((p.revents & POLLNVAL) != 0) return -1;
  return p.revents;
}

// Ready when one of the wanted events, an error or a hang-up is reported:
// the next call on the socket then returns at once with data or a result.
int Ready(int socket, short events) {
  const int revents = PollOnce(socket, events);
  if (revents <= 0) return revents;
  return (revents & (events | POLLERR | POLLHUP)) != 0 ? 1 : 0;
}

int NewStreamSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

// The first IPv4 address of a name lookup, with the canonical name of the
// answer in canon; false when the name does not resolve.
bool LookUp(const std::string& name, in_addr* address, std::string* canon) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* answer = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) return false;
  *address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr;
  if (canon != nullptr) *canon = answer->ai_canonname != nullptr ? answer->ai_canonname : name;
  freeaddrinfo(answer);
  return true;
}

// The host as a dotted address, else by name: the official name of the
// first answer is looked up once more and its first address is used.
bool ResolveHost(const std::string& host, in_addr* address) {
  if (inet_aton(host.c_str(), address) != 0) return true;
  std::string canon;
  if (!LookUp(host, address, &canon)) {
    LogMsgF("IpAddr Err1: %s", host.c_str());
    return false;
  }
  if (!LookUp(canon, address, nullptr)) {
    LogMsgF("IpAddr Err2: %s", canon.c_str());
    return false;
  }
  return true;
}

// A socket for a connect; one retry after a library restart. On POSIX the
// restart only clears and sets the started flag again: no socket of
// another line or of the monitor server is touched by it.
int CreateConnectSocket() {
  int s = NewStreamSocket();
  if (s >= 0) return s;
  LogMsgF("socket()Error, isTcpInited=%d, WSAGetLastError=%d", IsTcpInited() ? 1 : 0, errno);
  TcpCleanup();
  TcpStartup();
  s = NewStreamSocket();
  if (s < 0) {
    LogMsgF("Re: socket()Error, isTcpInited=%d, WSAGetLastError=%d", IsTcpInited() ? 1 : 0,
            errno);
  }
  return s;
}

// A non-blocking connect has succeeded when the socket reports no pending
// error and has a peer.
bool ConnectSucceeded(int socket) {
  int error = 0;
  socklen_t len = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return false;
  sockaddr_in peer{};
  socklen_t peer_len = sizeof peer;
  return getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peer_len) == 0;
}

// Step 1 of TcpConnectStep: the pending connect's progress.
int PollPending(TcpConnectState* state, int* connected) {
  const int ready = TcpCanWrite(state->pending_socket);
  if (ready == 0) return 0;
  const int s = state->pending_socket;
  state->pending_socket = -1;
  state->pending = false;
  if (ready < 0) {
    close(s);
    return kTcpPollError;
  }
  if (!ConnectSucceeded(s)) {
    // Refused or unreachable: drop this attempt; the next step starts a
    // fresh one, so only the caller's time-out ends the wait.
    close(s);
    return 0;
  }
  *connected = s;
  return 1;
}

// A message box of InitTcp; format takes the error number and the port.
void ShowSocketError(const char* format, int error, int port, const char* caption) {
  char text[160];
  std::snprintf(text, sizeof text, format, error, port);
  platform::ShowMessage(text, caption, platform::MessageIcon::kError);
}

}  // namespace

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
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (!ResolveHost(std::string(host), &address.sin_addr)) return kTcpHostNotResolved;
  const int s = CreateConnectSocket();
  if (s < 0) return kTcpNoSocket;
  const int flags = fcntl(s, F_GETFL);
  fcntl(s, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
  // The immediate result is not looked at: the polls of the next steps
  // tell how the connect went.
  (void)connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  state->pending_socket = s;
  state->pending = true;
  return 0;
}

void TcpAbandonConnect(TcpConnectState* state) {
  if (state->pending && state->pending_socket >= 0) close(state->pending_socket);
  state->pending_socket = -1;
  state->pending = false;
}

int TcpCanRead(int socket) { return Ready(socket, POLLIN); }

int TcpCanWrite(int socket) { return Ready(socket, POLLOUT); }

int InitTcp(int port, int* listening, int backlog) {
  WriteRawLogF("InitTcp(port=%d, maxListen=%d)", port, backlog);
  const int s = NewStreamSocket();
  if (s < 0) {
    ShowSocketError("Error #%d occurred while creating socket!!", errno, 0,
                    "InitTcp: socket()...");
    return kTcpNoSocket;
  }
  WriteRawLogF("socket() OK. hd=%d", s);
  const int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(s);
    ShowSocketError("Error #%d occurred while bind socket! port=[%d]", error, port,
                    "Server: bind()...");
    return kTcpBindFailed;
  }
  WriteRawLog("bind() OK.");
  if (listen(s, backlog) != 0) {
    const int error = errno;
    close(s);
    ShowSocketError("Error #%d occurred while lisent() socket!!", error, 0, "InitTcp");
    return kTcpListenFailed;
  }
  WriteRawLog("listen() OK.");
  *listening = s;
  return 0;
}

int TcpAcceptClient(int listening, char address[kTcpAddressRoom]) {
  address[0] = '\0';
  LogMsgF("accept(hd=0x%x), sizof=%d...", static_cast<unsigned>(listening), kTcpAddressRoom);
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int s;
  do {
    s = accept4(listening, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  } while (s < 0 && errno == EINTR);
  if (s < 0) {
    const int error = errno;
    WriteRawLog("accept(): INVALID_SOCKET.");
    WriteRawLogF("Error #%d occurred while accept() socket!!", error);
    LogAlwaysF("Error #%d occurred while accept() socket!!", error);
    return -1;
  }
  if (peer.sin_family == AF_INET) inet_ntop(AF_INET, &peer.sin_addr, address, kTcpAddressRoom);
  LogMsgF("remoteAddr: '%s:%d'", address, ntohs(peer.sin_port));
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
      const ssize_t got = recv(socket, buffer + count, static_cast<size_t>(room), 0);
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

std::string GetPeerAddress(int socket) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &len) != 0) return "";
  if (peer.sin_family != AF_INET) return "";
  char text[kTcpAddressRoom];
  if (inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text) == nullptr) return "";
  return text;
}

}  // namespace frame
