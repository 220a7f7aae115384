#include "services/net/udp_socket.h"

#include <cerrno>

#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "platform/message_service.h"
#include "platform/socket.h"

namespace services {
namespace {

// The error beep and box of a failed open: the beep goes to the log with
// the box's caption and text.
void ShowOpenFailure(const platform::Message& message) {
  frame::LogAlwaysF("UdpOpen: beep, %s: %s", message.caption.c_str(), message.text.c_str());
  platform::ShowMessage(message.text, message.caption, message.icon);
}

}  // namespace

int UdpStartup() {
  frame::TcpInitedFlag().store(1, std::memory_order_relaxed);
  return 0;
}

int UdpOpenSocket(int port, int* socket) {
  if (!frame::CheckPort(port)) return frame::kTcpBindFailed;
  const int s = platform::NewUdpSocket();
  if (s < 0) {
    ShowOpenFailure(frame::SocketCreateFailure(errno));
    return frame::kTcpNoSocket;
  }
  if (const int error = platform::BindUdpAny(s, port); error != 0) {
    platform::CloseSocket(s);
    ShowOpenFailure(frame::SocketBindFailure(error, port));
    return frame::kTcpBindFailed;
  }
  // A smaller buffer than asked for still works: the result is not used.
  (void)platform::SetReceiveBuffer(s, kUdpReceiveBuffer);
  *socket = s;
  return 0;
}

long UdpSendTo(int socket, std::string_view host, int port, const char* bytes, size_t count) {
  if (!frame::CheckPort(port)) return frame::kTcpHostNotResolved;
  platform::Ipv4Address address;
  if (!frame::ResolveHost(host, &address, /*trace=*/false)) return frame::kTcpHostNotResolved;
  return platform::SendDatagram(socket, address, port, bytes, count);
}

long UdpRecvFrom(int socket, char* buffer, size_t size, std::string* address, int* port) {
  std::string from;
  int from_port = 0;
  const long got = platform::ReceiveDatagram(socket, buffer, size, &from, &from_port);
  if (got > static_cast<long>(size)) {
    frame::LogAlwaysF("UdpRecv: a datagram of %ld bytes from %s:%d is longer than %zu, dropped",
                      got, from.c_str(), from_port, size);
    return kUdpTooLong;
  }
  if (got > 0) {
    *address = std::move(from);
    *port = from_port;
  }
  return got;
}

}  // namespace services
