#include "services/http_server.h"

#include <cstdio>

#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "services/http_head.h"
#include "services/http_limits.h"
#include "services/http_listeners.h"
#include "services/http_message.h"
#include "services/http_transfer.h"
#include "services/tcp_socket_set.h"

namespace services {
namespace {

constexpr int kListenBacklog = 10;

// "Last-Modified: Fri, 11 Dec 2026 07:46:23 GMT", without the locale.
std::string LastModified(std::time_t now) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  gmtime_r(&now, &t);
  char text[64];
  std::snprintf(text, sizeof text, "Last-Modified: %s, %02d %s %d %02d:%02d:%02d GMT",
                kDays[t.tm_wday], t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour,
                t.tm_min, t.tm_sec);
  return text;
}

}  // namespace

bool ReadHttpRequest(int socket, HttpRequest* request) {
  std::string text;
  if (ReceiveHead(socket, &text, kHttpHeadLimit, kHttpServerReadSeconds) <= 0) return false;
  const size_t head_length = HeadLength(text);
  if (head_length == 0) {
    if (text.size() >= kHttpHeadLimit) {
      frame::LogAlwaysF("HttpServer: head not ended within %d bytes",
                        static_cast<int>(kHttpHeadLimit));
    }
    return false;
  }
  request->head.assign(text, 0, head_length);
  const BodyFraming framing = ReadFraming(request->head);
  if (framing.kind == BodyFraming::kMalformed || framing.kind == BodyFraming::kChunked) {
    frame::LogAlwaysF("HttpServer: request body neither sized nor within %d bytes",
                      static_cast<int>(kHttpBodyLimit));
    return false;
  }
  return ReadSizedBody(socket, text, head_length, framing.length, kHttpServerReadSeconds,
                       "HttpServer", &request->head, &request->body);
}

int32_t HttpServerListen(TcpSocketSet* set, int port) {
  int socket = -1;
  if (set == nullptr || frame::InitTcp(port, &socket, kListenBacklog) != 0) return -1;
  const int32_t handle = set->Add(socket, SocketKind::kHttpListener);
  if (handle < 0) return -1;
  AddHttpListener(port, handle, socket);
  return handle;
}

int32_t HttpServerRecvRequest(TcpSocketSet* set, int32_t handle, HttpRequest* request) {
  request->head.clear();
  request->body.clear();
  request->address.clear();
  if (set == nullptr) return -1;
  int socket = set->Find(handle, SocketKind::kHttpConnection);
  int32_t connection = handle;
  if (socket >= 0) {
    const int ready = frame::TcpCanRead(socket);
    if (ready <= 0) return ready == 0 ? -1 : -2;
  } else {
    socket = AcceptHttpListener(handle, &request->address);
    if (socket == kNoListener) return -1;
    if (socket < 0) return socket;
    connection = set->Add(socket, SocketKind::kHttpConnection);
    if (connection < 0) return -1;
  }
  ExchangeSocket exchange(set, socket, SocketKind::kHttpConnection, connection);
  if (!ReadHttpRequest(socket, request)) {
    request->body.clear();
    return -1;
  }
  return exchange.Release();
}

std::string ResponseHead(std::string_view head, size_t body_length, std::time_t now) {
  const std::string length = "Content-Length: " + std::to_string(body_length) + "\r\n\r\n";
  if (head.empty()) {
    return "HTTP/1.1 200 OK\r\nServer: VantorelMablen/1.7\r\nAccept-Ranges: "
           "bytes\r\n"
           "Connection: close\r\nContent-Type: */*\r\n" +
           LastModified(now) + "\r\n" + length;
  }
  if (HeadLength(head) != 0) return std::string(head);
  // The head's lines, then the length line (unless it has one) and the
  // blank line.
  while (head.size() >= 2 && head.substr(head.size() - 2) == "\r\n") head.remove_suffix(2);
  std::string text(head);
  text += "\r\n";
  if (HeaderValue(text, "Content-Length")) return text + "\r\n";
  return text + length;
}

int32_t HttpServerSendResponse(TcpSocketSet* set, int32_t handle, std::string_view head,
                               std::string_view body) {
  const int socket = set != nullptr ? set->Find(handle, SocketKind::kHttpConnection) : -1;
  if (socket < 0) return -1;
  ExchangeSocket exchange(set, socket, SocketKind::kHttpConnection, handle);
  if (head.empty() && body.empty()) return 0;
  std::string text = ResponseHead(head, body.size(), std::time(nullptr));
  const size_t head_size = text.size();
  const bool close = text.find("close") != std::string::npos;
  // Head and body in one send, so the body does not wait for the head's
  // acknowledgement.
  text.append(body);
  const size_t sent = SendAll(socket, text, kHttpServerSendSeconds);
  if (sent < text.size()) {
    frame::LogAlwaysF("HttpServer: sent %d of %d bytes", static_cast<int>(sent),
                      static_cast<int>(text.size()));
    return -1;
  }
  if (!close) exchange.Release();
  return static_cast<int32_t>(body.empty() ? head_size : body.size());
}

bool HttpServerClose(TcpSocketSet* set, int32_t handle) {
  if (set == nullptr) return false;
  return set->Close(handle, SocketKind::kHttpListener) ||
         set->Close(handle, SocketKind::kHttpConnection);
}

}  // namespace services
