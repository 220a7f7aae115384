#include "services/net/http_client.h"

#include <string>

#include "frame/log.h"
#include "platform/gbk.h"
#include "services/net/chunk_proc.h"
#include "services/net/connect.h"
#include "services/net/http_head.h"
#include "services/net/http_limits.h"
#include "services/net/http_message.h"
#include "services/net/http_transfer.h"
#include "services/net/socket_set.h"

namespace services {
namespace {

// The longest wait for one connect step's progress.
constexpr uint32_t kConnectStepMs = 90;
// A method this long or longer is cut to kMethodCut characters.
constexpr size_t kMethodLimit = 80;
constexpr size_t kMethodCut = 20;
// One chunk read asks for at most this many bytes.
constexpr size_t kChunkReadBlock = 64 * 1024;

std::string RequestHead(std::string_view method, std::string_view target, const std::string& host,
                        int port, std::string_view body, std::string_view content_type) {
  std::string m(method.size() >= kMethodLimit ? method.substr(0, kMethodCut) : method);
  for (char& c : m) c = platform::AsciiUpper(c);
  std::string head = m + " " + std::string(target) + " HTTP/1.1\r\nHost: " + host + ":" +
                     std::to_string(port) +
                     "\r\nConnection: close\r\nUser-Agent: "
                     "VantorelHttp/1.0\r\nAccept: */*\r\n";
  if (body.empty()) return head + "\r\n";
  return head + "Content-type: " + std::string(content_type) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
}

// Feeds the decoder what is in *pending and keeps an incomplete size line
// there: 0 (more is needed) or a negative Feed result.
int64_t FeedPending(TagChunkProc* chunks, std::string* pending) {
  size_t at = 0;
  int64_t left = 0;
  while (at < pending->size()) {
    const size_t offered = pending->size() - at;
    left = chunks->Feed(pending->data() + at, offered);
    frame::LogMsgF("   ret=%d, len=%d", static_cast<int>(left), static_cast<int>(offered));
    if (left < 0) break;
    if (static_cast<size_t>(left) == offered) {
      frame::LogMsgF("   ret=%d, [%.*s]", static_cast<int>(left), static_cast<int>(offered),
                     pending->data() + at);
      left = 0;
      break;
    }
    at += offered - static_cast<size_t>(left);
    left = 0;
  }
  pending->erase(0, left < 0 ? pending->size() : at);
  return left;
}

// The chunked body after the head; text holds the head read. Reads end
// at the response's deadline, each also after the chunk read's time, and
// after the most reads allowed: a body that has not come whole by then is
// no body (0).
int32_t ReadChunked(int socket, const std::string& text, size_t head_length,
                    const TickDeadline& deadline, const HttpReadLimits& limits,
                    HttpResponse* response) {
  frame::LogMsg("push 1");
  TagChunkProc chunks;
  std::string pending = text.substr(head_length);
  int64_t fed = FeedPending(&chunks, &pending);
  if (fed == TagChunkProc::kBadSizeLine) {
    frame::LogMsg("push ret=-1");
    return static_cast<int32_t>(text.size());
  }
  if (fed == 0) frame::LogMsg("push 2");
  for (int reads = 0; fed == 0 && reads < limits.chunk_reads; ++reads) {
    const long got = ReceiveOnce(socket, &pending, kChunkReadBlock,
                                 deadline.Within(limits.chunk_read_ms));
    if (got <= 0) {
      if (deadline.Passed()) break;
      // The peer closed or paused longer than a chunk read: the body was
      // cut off.
      frame::LogMsg("isChunked Recv Timeout.");
      return 0;
    }
    frame::LogMsgF("Push3: count=%d", static_cast<int>(pending.size()));
    fed = FeedPending(&chunks, &pending);
  }
  if (fed == TagChunkProc::kTooLarge) {
    frame::LogAlwaysF("HTTP: chunked body above %d bytes", static_cast<int>(kHttpBodyLimit));
    return kHttpMalformed;
  }
  int32_t length = 0;
  if (fed == TagChunkProc::kLastChunk) {
    frame::LogMsg("CopyTo");
    length = static_cast<int32_t>(chunks.Join(&response->body));
  } else {
    frame::LogMsg("isChunked Not Recv All data.");
  }
  frame::LogMsg("HttpProc end.");
  return length;
}

// Reads heads until one is not interim, all before the deadline: the final
// head's text (with the bytes after it) in *text, its length in
// *head_length (0 when it did not end). The count of the last read.
long ReceiveFinalHead(int socket, const TickDeadline& deadline, std::string* text,
                      size_t* head_length) {
  std::string rest;
  long count = 0;
  for (int reads = 0; reads < kHttpInterimHeadLimit; ++reads) {
    if (rest.empty()) {
      text->clear();
      count = ReceiveHead(socket, text, kHttpHeadLimit, deadline);
      frame::LogAlwaysF("HtmlRecv: (hd='%d') : %d", socket, static_cast<int>(count));
      if (count <= 0) return count;
    } else {
      text->swap(rest);
      rest.clear();
      // The head may have come only in part with the interim one.
      if (HeadLength(*text) == 0) ReceiveHead(socket, text, kHttpHeadLimit, deadline);
      count = static_cast<long>(text->size());
    }
    *head_length = HeadLength(*text);
    if (*head_length == 0 || !IsInterimHead(*text)) return count;
    // An interim head: what follows it is the next head.
    rest = text->substr(*head_length);
  }
  return count;
}

// True when text holds a control byte (below 0x20, or 0x7F), which would
// end or split a line of the request head; logged with what it is.
bool HasControlByte(std::string_view text, const char* what) {
  for (const char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      frame::LogAlwaysF("HTTP: a control byte in the %s (0x%02x), nothing sent", what, b);
      return true;
    }
  }
  return false;
}

}  // namespace

int HttpConnect(engine::TagTelBasic* script, int* connected, std::string_view host, int port,
                int seconds) {
  // Each step waits for the pending connect's progress rather than a
  // fixed pause.
  return ConnectWithin(script, connected, host, port, seconds,
                       ConnectPace{kConnectStepMs, true}, nullptr);
}

int32_t ReadHttpResponse(int socket, HttpResponse* response) {
  const HttpReadLimits& limits = HttpReadLimitsInForce();
  const TickDeadline deadline = TickDeadline::In(limits.response_ms);
  std::string text;
  size_t head_length = 0;
  const long count = ReceiveFinalHead(socket, deadline, &text, &head_length);
  if (count <= 0) {
    frame::LogMsg("Recv Head Failed.");
    return 0;
  }
  if (head_length == 0) {
    // A chunked response whose head did not end in the read: the count of
    // the head read, no body.
    if (ReadFraming(text).kind == BodyFraming::kChunked) {
      frame::LogMsg("isChunked Not found Body.");
      return static_cast<int32_t>(count);
    }
    if (text.size() >= kHttpHeadLimit) {
      LogHeadNotEnded("HTTP");
      return kHttpMalformed;
    }
    frame::LogAlwaysF("HTTP: head not ended (%d bytes)", static_cast<int>(text.size()));
    return 0;
  }
  response->head.assign(text, 0, head_length);
  const BodyFraming framing = ReadFraming(response->head);
  if (framing.kind == BodyFraming::kChunked) {
    return ReadChunked(socket, text, head_length, deadline, limits, response);
  }
  if (framing.kind == BodyFraming::kMalformed) {
    frame::LogAlwaysF("HTTP: bad Content-Length (limit %d)", static_cast<int>(kHttpBodyLimit));
    return kHttpMalformed;
  }
  if (framing.kind == BodyFraming::kNone) frame::LogMsg("HTTP: response without a length");
  switch (ReadSizedBody(socket, text, head_length, framing.length, deadline, "HTTP",
                        &response->head, &response->body)) {
    case SizedBody::kWhole:
      return static_cast<int32_t>(response->body.size());
    case SizedBody::kShort:
      return 0;
    case SizedBody::kMalformed:
      break;
  }
  response->body.clear();
  return kHttpMalformed;
}

int32_t HtmlRecv(engine::TagTelBasic* script, std::string_view url, std::string_view method,
                 std::string_view body, std::string_view content_type, HttpResponse* response) {
  response->head.clear();
  response->body.clear();
  if (HasControlByte(url, "URL") || HasControlByte(method, "method") ||
      HasControlByte(content_type, "content type")) {
    return kHttpMalformed;
  }
  std::string host;
  int port = 0;
  const std::string_view target = SplitUrl(url, &host, &port);
  if (url.substr(0, 6) == "https:") {
    frame::LogMsgF("HTTP: '%.*s' is spoken to as plain HTTP", static_cast<int>(url.size()),
                   url.data());
  }
  std::string request = RequestHead(method, target, host, port, body, content_type);
  if (request.size() > kHttpRequestHeadLimit) {
    frame::LogAlwaysF("HTTP: request head of %d bytes above %d", static_cast<int>(request.size()),
                      static_cast<int>(kHttpRequestHeadLimit));
    return kHttpMalformed;
  }
  int socket = -1;
  if (host.size() > kHttpHostLimit ||
      HttpConnect(script, &socket, host, port, kHttpConnectSeconds) != 0) {
    frame::LogMsgF("HTTP: Connect '%.255s:%d' Failed!", host.c_str(), port);
    return kHttpConnectFailed;
  }
  ExchangeSocket exchange(SocketSetOf(script), socket, SocketKind::kHttpClient);
  if (exchange.socket() < 0) return kHttpConnectFailed;
  const size_t head_size = request.size();
  request.append(body);
  const size_t sent = SendAll(exchange.socket(), request, kHttpClientSendSeconds);
  if (sent < request.size()) {
    request.resize(head_size);
    frame::LogAlwaysF("HTTP: send('%s') Failed, %d", request.c_str(), static_cast<int>(sent));
    return kHttpMalformed;
  }
  return ReadHttpResponse(exchange.socket(), response);
}

}  // namespace services
