// The parts of reading an HTTP message that the client and the server
// share: the body that a Content-Length gives (or none), after the head
// and the bytes that came with it. Also the socket of one exchange, held
// in the line's socket set for as long as the exchange lasts.
#ifndef VTTEL_SERVICES_NET_HTTP_MESSAGE_H_
#define VTTEL_SERVICES_NET_HTTP_MESSAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "services/net/http_transfer.h"
#include "services/net/socket_set.h"

namespace services {

// How reading a body by its length went.
enum class SizedBody {
  kWhole,      // all of it came
  kShort,      // the peer closed or the deadline passed first
  kMalformed,  // more bytes than the length came, without a second head
};

// Reads the body of length bytes: the bytes after the head in text come
// first, the rest is received until the deadline. A body cut short is no
// body: *body is emptied and the missing count logged. When more bytes
// than length came with the head, those after the body up to the next
// "\r\n\r\n" are a second head, appended to *head. who names the side in
// the log lines.
SizedBody ReadSizedBody(int socket, std::string_view text, size_t head_length, int64_t length,
                        const TickDeadline& deadline, const char* who, std::string* head,
                        std::string* body);

// Logs that a head did not end within kHttpHeadLimit bytes; who names the
// side.
void LogHeadNotEnded(const char* who);

// A socket of one exchange, in the socket set of its line (when the line
// has one) under kind, so that the line's stop ends any wait on it; closed
// when the exchange ends (unless Release hands it on).
class ExchangeSocket {
 public:
  ExchangeSocket(SocketSet* set, int socket, SocketKind kind);
  // A socket the set already holds under handle.
  ExchangeSocket(SocketSet* set, int socket, SocketKind kind, int32_t handle);
  ~ExchangeSocket();
  ExchangeSocket(const ExchangeSocket&) = delete;
  ExchangeSocket& operator=(const ExchangeSocket&) = delete;

  int socket() const { return socket_; }
  // The handle in the set, or -1 (no set, or no handle was free).
  int32_t handle() const { return handle_; }
  // Keeps the socket open: the set holds it on.
  int32_t Release();
  void Close();

 private:
  SocketSet* set_;
  int socket_;
  SocketKind kind_;
  int32_t handle_ = -1;
};

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_MESSAGE_H_
