#include "services/net/http_server.h"

#include <cstdio>

#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "services/net/http_head.h"
#include "services/net/http_limits.h"
#include "services/net/http_listeners.h"
#include "services/net/http_message.h"
#include "services/net/http_pending.h"
#include "services/net/http_transfer.h"
#include "services/net/socket_set.h"

namespace services {
namespace {

constexpr int kListenBacklog = 10;
// While a line waits on connections whose heads have not come whole, it
// looks this often for new connections on the listener (which is polled
// only under the listener map's lock, so not in the same wait).
constexpr uint32_t kAcceptCheckMs = 50;

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

// The rest of a request whose head has come whole in text: the head and
// its body before the deadline. false when it is malformed or did not come
// whole (logged).
bool FinishRequest(int socket, const std::string& text, const TickDeadline& deadline,
                   HttpRequest* request) {
  const size_t head_length = HeadLength(text);
  request->head.assign(text, 0, head_length);
  const BodyFraming framing = ReadFraming(request->head);
  if (framing.kind == BodyFraming::kMalformed || framing.kind == BodyFraming::kChunked) {
    frame::LogAlwaysF("HttpServer: request body neither sized nor within %d bytes",
                      static_cast<int>(kHttpBodyLimit));
    return false;
  }
  return ReadSizedBody(socket, text, head_length, framing.length, deadline, "HttpServer",
                       &request->head, &request->body) == SizedBody::kWhole;
}

// A request on a connection kept open after an earlier one (of any line).
int32_t ServeConnection(SocketSet* set, int socket, int32_t handle, HttpRequest* request) {
  const int ready = frame::TcpCanRead(socket);
  if (ready <= 0) return ready == 0 ? -1 : -2;
  ExchangeSocket exchange(set, socket, SocketKind::kHttpConnection, handle);
  if (!ReadHttpRequest(socket, request)) return -1;
  return exchange.Release();
}

// A request from a connection of the listener: takes in the connections
// waiting on it and serves the first whose head has come whole, waiting
// while the line holds connections of the listener. -1 when none came
// whole before they were given up, the line stops, the handle names no
// listener or nothing waits; -2 when the listener's poll failed.
int32_t ServeListener(engine::TagTelBasic* script, SocketSet* set,
                      HttpPendingRequests* pending, int32_t listener, HttpRequest* request) {
  HttpPendingRequests::Ready ready;
  while (!pending->TakeReady(listener, &ready)) {
    std::string address;
    const int accepted = AcceptHttpListener(listener, &address);
    if (accepted >= 0) {
      pending->Add(listener, accepted, std::move(address));
      continue;
    }
    if (accepted == kNoListener) {
      pending->Drop(listener);
      return -1;
    }
    if (!pending->Holds(listener)) return accepted;
    if (script->LineStopping()) return -1;
    pending->Wait(listener, kAcceptCheckMs);
  }
  const int32_t connection = set->Add(ready.socket, SocketKind::kHttpConnection);
  if (connection < 0) return -1;
  ExchangeSocket exchange(set, ready.socket, SocketKind::kHttpConnection, connection);
  request->address = std::move(ready.address);
  if (!FinishRequest(ready.socket, ready.text, ready.deadline, request)) return -1;
  return exchange.Release();
}

}  // namespace

bool ReadHttpRequest(int socket, HttpRequest* request) {
  const TickDeadline deadline = TickDeadline::In(HttpReadLimitsInForce().request_ms);
  std::string text;
  if (ReceiveHead(socket, &text, kHttpHeadLimit, deadline) <= 0) return false;
  if (HeadLength(text) == 0) {
    if (text.size() >= kHttpHeadLimit) {
      LogHeadNotEnded("HttpServer");
    } else {
      frame::LogMsgF("HttpServer: no whole request head in time (%d bytes)",
                     static_cast<int>(text.size()));
    }
    return false;
  }
  return FinishRequest(socket, text, deadline, request);
}

int32_t HttpServerListen(SocketSet* set, int port) {
  int socket = -1;
  if (set == nullptr || frame::InitTcp(port, &socket, kListenBacklog) != 0) return -1;
  const int32_t handle = set->Add(socket, SocketKind::kHttpListener);
  if (handle < 0) return -1;
  AddHttpListener(port, handle, socket);
  return handle;
}

int32_t HttpServerRecvRequest(engine::TagTelBasic* script, int32_t handle, HttpRequest* request) {
  request->head.clear();
  request->body.clear();
  request->address.clear();
  SocketSet* set = SocketSetOf(script);
  HttpPendingRequests* pending = HttpPendingOf(script);
  if (set == nullptr || pending == nullptr) return -1;
  const SocketLease connection = set->Lease(handle, SocketKind::kHttpConnection);
  const int32_t result = connection != nullptr
                             ? ServeConnection(set, connection->socket(), handle, request)
                             : ServeListener(script, set, pending, handle, request);
  if (result < 0) request->body.clear();
  return result;
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

int32_t HttpServerSendResponse(SocketSet* set, int32_t handle, std::string_view head,
                               std::string_view body) {
  const SocketLease connection =
      set != nullptr ? set->Lease(handle, SocketKind::kHttpConnection) : nullptr;
  if (connection == nullptr) return -1;
  const int socket = connection->socket();
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

bool HttpServerClose(engine::TagTelBasic* script, int32_t handle) {
  SocketSet* set = SocketSetOf(script);
  if (set == nullptr) return false;
  if (set->Close(handle, SocketKind::kHttpListener)) {
    if (HttpPendingRequests* pending = HttpPendingOf(script)) pending->Drop(handle);
    return true;
  }
  return set->Close(handle, SocketKind::kHttpConnection);
}

}  // namespace services
