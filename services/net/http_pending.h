// The connections a line accepted from HTTP listeners whose request head
// has not come whole yet, with the bytes received so far, oldest first.
// "HttpServerRecv(" on a listener takes in what waits on it and serves the
// first connection whose head is whole, so connections that send nothing,
// or trickle, cannot keep a client that has sent its request waiting; each
// is given up when its request's deadline (HttpReadLimits::request_ms from
// its accept) passes, and at most kHttpPendingLimit are held (a new one
// takes the place of the oldest).
//
// It is the store of slot kHttpRequests of the line's main script; the
// statements of a function or a child script reach it through the run
// context.
//
// Ownership: the store owns the descriptors it holds and closes them when
// destroyed; TakeReady hands a connection's descriptor to the caller.
//
// Thread rules: used on the line's thread. OnStop comes from any thread:
// it shuts every socket down so a wait on them ends at once, and a socket
// added while the script's quit request is raised is shut down as it
// joins. A small lock guards the list; descriptors are closed only on the
// line's thread and under the lock, and no call blocks holding it.
#ifndef VTTEL_SERVICES_NET_HTTP_PENDING_H_
#define VTTEL_SERVICES_NET_HTTP_PENDING_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "engine/script_store.h"
#include "services/net/http_transfer.h"

namespace engine {
class TagTelBasic;
}

namespace services {

class HttpPendingRequests : public engine::ScriptStore {
 public:
  // A connection whose request head has come whole.
  struct Ready {
    int socket = -1;       // the caller owns it
    std::string address;   // the client's
    std::string text;      // the head and the bytes that came after it
    TickDeadline deadline;  // for the rest of the request
  };

  // script: the main script holding the store (outlives it).
  explicit HttpPendingRequests(const engine::TagTelBasic& script);
  ~HttpPendingRequests() override;
  HttpPendingRequests(const HttpPendingRequests&) = delete;
  HttpPendingRequests& operator=(const HttpPendingRequests&) = delete;

  // Takes in a connection accepted from listener, its request's deadline
  // counting from now.
  void Add(int32_t listener, int socket, std::string address);
  // Receives what has come on the connections without waiting and gives
  // up those of any listener that are past their deadline, closed, failed
  // or whose head did not end within kHttpHeadLimit bytes. Then takes out
  // the oldest connection of listener whose head is whole: true and *ready
  // set, or false.
  bool TakeReady(int32_t listener, Ready* ready);
  // True when connections of listener are held.
  bool Holds(int32_t listener) const;
  // Waits at most ms, and not past the earliest deadline, for bytes on one
  // of the connections of listener.
  void Wait(int32_t listener, uint32_t ms) const;
  // Closes the connections of listener.
  void Drop(int32_t listener);
  size_t size() const;

  void OnStop() override;

 private:
  struct Connection {
    int32_t listener;
    int socket;
    std::string address;
    TickDeadline deadline;
    std::string text;
  };
  enum class Progress { kWaiting, kWhole, kGone };
  // Receives what waits on c; mu_ held.
  static Progress Receive(Connection* c);
  // Closes and removes the connections for which drop is true; mu_ held.
  template <typename Predicate>
  void CloseWhere(Predicate drop);

  const engine::TagTelBasic& script_;
  mutable std::mutex mu_;
  std::deque<Connection> connections_;  // oldest first; guarded by mu_
};

// The store a statement compiled in script acts on (the run context's), or
// null when the script has none.
HttpPendingRequests* HttpPendingOf(engine::TagTelBasic* script);

// The store factory of slot kHttpRequests.
std::unique_ptr<engine::ScriptStore> NewHttpPendingRequests(engine::TagTelBasic& script);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_PENDING_H_
