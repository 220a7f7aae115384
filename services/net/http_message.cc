#include "services/net/http_message.h"

#include "frame/log.h"
#include "platform/socket.h"
#include "services/net/http_limits.h"
#include "services/net/http_transfer.h"

namespace services {

SizedBody ReadSizedBody(int socket, std::string_view text, size_t head_length, int64_t length,
                        const TickDeadline& deadline, const char* who, std::string* head,
                        std::string* body) {
  std::string_view extra = text.substr(head_length);
  const size_t want = static_cast<size_t>(length);
  if (extra.size() > want) {
    const std::string_view after = extra.substr(want);
    const size_t end = after.find("\r\n\r\n");
    if (end == std::string_view::npos) {
      frame::LogAlwaysF("%s: %d bytes after the body", who, static_cast<int>(after.size()));
      return SizedBody::kMalformed;
    }
    head->append(after.substr(0, end + 4));
    extra = extra.substr(0, want);
  }
  body->assign(extra);
  if (body->size() < want) ReceiveUpTo(socket, body, want - body->size(), deadline);
  if (body->size() == want) return SizedBody::kWhole;
  frame::LogAlwaysF("%s: body short by %d of %d bytes", who, static_cast<int>(want - body->size()),
                    static_cast<int>(want));
  body->clear();
  return SizedBody::kShort;
}

void LogHeadNotEnded(const char* who) {
  frame::LogAlwaysF("%s: head not ended within %d bytes", who, static_cast<int>(kHttpHeadLimit));
}

ExchangeSocket::ExchangeSocket(SocketSet* set, int socket, SocketKind kind)
    : set_(set), socket_(socket), kind_(kind) {
  if (set_ == nullptr) return;
  handle_ = set_->Add(socket, kind);
  // Add closed the socket when no handle was free.
  if (handle_ < 0) socket_ = -1;
}

ExchangeSocket::ExchangeSocket(SocketSet* set, int socket, SocketKind kind, int32_t handle)
    : set_(set), socket_(socket), kind_(kind), handle_(handle) {}

ExchangeSocket::~ExchangeSocket() { Close(); }

int32_t ExchangeSocket::Release() {
  socket_ = -1;
  return handle_;
}

void ExchangeSocket::Close() {
  if (socket_ < 0) return;
  if (set_ != nullptr) {
    set_->Close(handle_, kind_);
  } else {
    platform::CloseSocket(socket_);
  }
  socket_ = -1;
}

}  // namespace services
