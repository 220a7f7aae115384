#include "services/net/http_pending.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/socket.h"
#include "services/net/http_head.h"
#include "services/net/http_limits.h"
#include "services/net/http_message.h"

namespace services {
namespace {

constexpr int64_t kNanosPerMs = 1000 * 1000;

}  // namespace

HttpPendingRequests::HttpPendingRequests(const engine::TagTelBasic& script) : script_(script) {}

HttpPendingRequests::~HttpPendingRequests() {
  std::lock_guard<std::mutex> lock(mu_);
  CloseWhere([](Connection&) { return true; });
}

void HttpPendingRequests::Add(int32_t listener, int socket, std::string address) {
  std::lock_guard<std::mutex> lock(mu_);
  if (connections_.size() >= kHttpPendingLimit) {
    frame::LogMsgF("HttpServer: %d connections without a request; the oldest, from %s, closed",
                   static_cast<int>(kHttpPendingLimit), connections_.front().address.c_str());
    platform::CloseSocket(connections_.front().socket);
    connections_.pop_front();
  }
  connections_.push_back(Connection{listener, socket, std::move(address),
                                    TickDeadline::In(HttpReadLimitsInForce().request_ms), {}});
  // A stop raised before the socket joined: OnStop has not seen it.
  if (script_.IsQuit()) platform::ShutdownSocket(socket);
}

HttpPendingRequests::Progress HttpPendingRequests::Receive(Connection* c) {
  while (HeadLength(c->text) == 0) {
    if (c->text.size() >= kHttpHeadLimit) {
      LogHeadNotEnded("HttpServer");
      return Progress::kGone;
    }
    const long got = ReceiveAppend(c->socket, &c->text, kHttpHeadLimit - c->text.size());
    if (got == platform::kSocketWouldBlock) {
      if (!c->deadline.Passed()) return Progress::kWaiting;
      frame::LogMsgF("HttpServer: no whole request from %s in time", c->address.c_str());
      return Progress::kGone;
    }
    if (got <= 0) return Progress::kGone;
  }
  return Progress::kWhole;
}

template <typename Predicate>
void HttpPendingRequests::CloseWhere(Predicate drop) {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (drop(*it)) {
      platform::CloseSocket(it->socket);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

bool HttpPendingRequests::TakeReady(int32_t listener, Ready* ready) {
  std::lock_guard<std::mutex> lock(mu_);
  CloseWhere([](Connection& c) { return Receive(&c) == Progress::kGone; });
  // The oldest whole head of listener.
  const auto it = std::find_if(connections_.begin(), connections_.end(), [&](const Connection& c) {
    return c.listener == listener && HeadLength(c.text) != 0;
  });
  if (it == connections_.end()) return false;
  *ready = Ready{it->socket, std::move(it->address), std::move(it->text), it->deadline};
  connections_.erase(it);
  return true;
}

bool HttpPendingRequests::Holds(int32_t listener) const {
  std::lock_guard<std::mutex> lock(mu_);
  return std::any_of(connections_.begin(), connections_.end(),
                     [listener](const Connection& c) { return c.listener == listener; });
}

void HttpPendingRequests::Wait(int32_t listener, uint32_t ms) const {
  std::vector<int> sockets;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (const Connection& c : connections_) {
      if (c.listener != listener) continue;
      sockets.push_back(c.socket);
      ms = std::min(ms, c.deadline.LeftMs());
    }
  }
  // Only this thread closes the descriptors: they stay open during the
  // wait.
  if (sockets.empty() || ms == 0) return;
  platform::WaitAnySocket(sockets.data(), sockets.size(), platform::SocketEvent::kReadable,
                          static_cast<int64_t>(ms) * kNanosPerMs);
}

void HttpPendingRequests::Drop(int32_t listener) {
  std::lock_guard<std::mutex> lock(mu_);
  CloseWhere([listener](Connection& c) { return c.listener == listener; });
}

size_t HttpPendingRequests::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return connections_.size();
}

void HttpPendingRequests::OnStop() {
  std::lock_guard<std::mutex> lock(mu_);
  for (const Connection& c : connections_) platform::ShutdownSocket(c.socket);
}

HttpPendingRequests* HttpPendingOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return dynamic_cast<HttpPendingRequests*>(
      script->GetRunContext()->store(engine::StoreSlot::kHttpRequests));
}

std::unique_ptr<engine::ScriptStore> NewHttpPendingRequests(engine::TagTelBasic& script) {
  return std::make_unique<HttpPendingRequests>(script);
}

}  // namespace services
