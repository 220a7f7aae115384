#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

constexpr int64_t kNanosPerSecond = 1000 * 1000 * 1000;

sockaddr_in MakeAddress(uint32_t network_order, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = network_order;
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// The dotted text of an IPv4 socket address, "" for another family.
std::string DottedText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN];
  if (address.sin_family != AF_INET) return "";
  if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) return "";
  return text;
}

// A transfer call repeated while interrupted; a transfer that would block
// becomes kSocketWouldBlock.
template <typename Transfer>
long Repeat(Transfer transfer) {
  ssize_t n;
  do {
    n = transfer();
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kSocketWouldBlock;
  return static_cast<long>(n);
}

// A blocking transfer never reports kSocketWouldBlock as such: it is an
// error of a socket left non-blocking, as the OS reports it.
long AsBlocking(long n) { return n == kSocketWouldBlock ? -1 : n; }

short WantedBy(SocketEvent event) { return event == SocketEvent::kReadable ? POLLIN : POLLOUT; }

// ppoll over the sockets for at most wait_nanos: its result, with an
// interrupted wait as 0.
int PollFor(pollfd* sockets, nfds_t count, int64_t wait_nanos) {
  const timespec wait{static_cast<time_t>(wait_nanos / kNanosPerSecond),
                      static_cast<long>(wait_nanos % kNanosPerSecond)};
  const int n = ppoll(sockets, count, &wait, nullptr);
  if (n < 0) return errno == EINTR ? 0 : -1;
  return n;
}

}  // namespace

int NewTcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

void CloseSocket(int socket) {
  if (socket >= 0) ::close(socket);
}

void ShutdownSocket(int socket) { ::shutdown(socket, SHUT_RDWR); }

bool ReceiveWaits(int socket) {
  const int flags = ::fcntl(socket, F_GETFL);
  int listening = 0;
  socklen_t size = sizeof listening;
  if (::getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0) listening = 0;
  return flags != -1 && (flags & O_NONBLOCK) == 0 && listening == 0;
}

bool ParseIpv4(const std::string& text, Ipv4Address* address) {
  in_addr parsed{};
  if (inet_aton(text.c_str(), &parsed) == 0) return false;
  address->network_order = parsed.s_addr;
  return true;
}

bool LookUpIpv4(const std::string& name, Ipv4Address* address, std::string* canonical) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* answer = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) return false;
  address->network_order = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
  if (canonical != nullptr) {
    *canonical = answer->ai_canonname != nullptr ? answer->ai_canonname : name;
  }
  freeaddrinfo(answer);
  return true;
}

void StartConnect(int socket, Ipv4Address address, int port) {
  const int flags = fcntl(socket, F_GETFL);
  fcntl(socket, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
  const sockaddr_in to = MakeAddress(address.network_order, port);
  (void)::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

bool ConnectSucceeded(int socket) {
  int error = 0;
  socklen_t len = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return false;
  sockaddr_in peer{};
  socklen_t peer_len = sizeof peer;
  return getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peer_len) == 0;
}

int WaitSocket(int socket, SocketEvent event, int64_t wait_nanos) {
  if (socket < 0) return -1;
  const short wanted = WantedBy(event);
  pollfd p{socket, wanted, 0};
  const int n = PollFor(&p, 1, wait_nanos);
  if (n <= 0) return n;
  if ((p.revents & POLLNVAL) != 0) return -1;
  return (p.revents & (wanted | POLLERR | POLLHUP)) != 0 ? 1 : 0;
}

int WaitAnySocket(const int* sockets, size_t count, SocketEvent event, int64_t wait_nanos) {
  std::vector<pollfd> polled(count);
  for (size_t i = 0; i < count; ++i) polled[i] = pollfd{sockets[i], WantedBy(event), 0};
  return PollFor(polled.data(), polled.size(), wait_nanos);
}

int BindTcpAny(int socket, int port) {
  const int on = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = MakeAddress(htonl(INADDR_ANY), port);
  return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0
                                                                                          : errno;
}

int ListenOn(int socket, int backlog) { return ::listen(socket, backlog) == 0 ? 0 : errno; }

int AcceptTcp(int listening, std::string* address, int* port) {
  // A poll that saw a connection does not keep it for the caller: another
  // thread may take it first, so accept itself must never wait.
  const int flags = fcntl(listening, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) == 0) fcntl(listening, F_SETFL, flags | O_NONBLOCK);
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int s;
  do {
    // Without SOCK_NONBLOCK the new socket blocks (Linux does not pass the
    // listener's O_NONBLOCK on).
    s = accept4(listening, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  } while (s < 0 && errno == EINTR);
  address->clear();
  *port = 0;
  if (s < 0) return -1;
  *address = DottedText(peer);
  if (!address->empty()) *port = ntohs(peer.sin_port);
  return s;
}

std::string SocketPeerAddress(int socket) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &len) != 0) return "";
  return DottedText(peer);
}

long ReceiveSome(int socket, char* buffer, size_t size) {
  return AsBlocking(Repeat([&] { return ::recv(socket, buffer, size, 0); }));
}

long SendSome(int socket, const char* bytes, size_t size) {
  return AsBlocking(Repeat([&] { return ::send(socket, bytes, size, MSG_NOSIGNAL); }));
}

long ReceiveNoWait(int socket, char* buffer, size_t size) {
  return Repeat([&] { return ::recv(socket, buffer, size, MSG_DONTWAIT | MSG_NOSIGNAL); });
}

long SendNoWait(int socket, const char* bytes, size_t size) {
  return Repeat([&] { return ::send(socket, bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL); });
}

int NewUdpSocket() { return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP); }

int BindUdpAny(int socket, int port) {
  const sockaddr_in address = MakeAddress(htonl(INADDR_ANY), port);
  return ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0
                                                                                          : errno;
}

int SetReceiveBuffer(int socket, int bytes) {
  return setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0 ? 0 : errno;
}

long SendDatagram(int socket, Ipv4Address address, int port, const char* bytes, size_t size) {
  const sockaddr_in to = MakeAddress(address.network_order, port);
  return AsBlocking(Repeat([&] {
    return ::sendto(socket, bytes, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                    sizeof to);
  }));
}

long ReceiveDatagram(int socket, char* buffer, size_t size, std::string* address, int* port) {
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const long n = AsBlocking(Repeat([&] {
    len = sizeof from;
    return ::recvfrom(socket, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
  }));
  if (n > 0) {
    *address = DottedText(from);
    *port = address->empty() ? 0 : ntohs(from.sin_port);
  }
  return n;
}

}  // namespace platform
