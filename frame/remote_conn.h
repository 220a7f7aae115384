// TagRemoteConn: one connected monitoring client of the monitor server.
//
// It owns the client's socket (closed by the destructor) and the client's
// view of which monitor cells it has not been sent yet (a fresh client has
// every cell pending). The server's poll thread takes requests from it and
// sends it updates; a client found gone (read error, closed connection, a
// send that could not be completed in time) is marked not alive and is
// dropped by the poll thread.
//
// Thread rules: TakeRequest and SendUpdate are called by one thread (the
// poll thread). alive() and Shutdown() may be called from any thread;
// Shutdown ends the connection at once but keeps the socket number until
// the object is destroyed, so the number cannot be reused while another
// thread still holds the client. The monitor table must outlive the client.
#ifndef VTTEL_FRAME_REMOTE_CONN_H_
#define VTTEL_FRAME_REMOTE_CONN_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/monitor.h"
#include "frame/monitor_update.h"

namespace frame {

// Bytes of one request.
inline constexpr size_t kRequestBytes = 5;
// The longest time one update may take to be handed to the connection;
// a client that has not taken it by then is dropped.
inline constexpr uint32_t kSendLimitMs = 250;
// Waits for a full send buffer are cut into slices of this length so that
// a stop request is seen.
inline constexpr uint32_t kSendSliceMs = 20;

class TagRemoteConn {
 public:
  // Takes ownership of socket. line_count is the size of the client's
  // table (the server's line count).
  TagRemoteConn(int socket, std::string address, const TagMonitor& monitor, int32_t line_count);
  ~TagRemoteConn();
  TagRemoteConn(const TagRemoteConn&) = delete;
  TagRemoteConn& operator=(const TagRemoteConn&) = delete;

  int socket() const { return socket_; }
  const std::string& address() const { return address_; }
  bool alive() const { return alive_.load(std::memory_order_relaxed); }

  // Reads at most one request: true when exactly kRequestBytes arrived.
  // Fewer bytes are dropped; no data is false; an error or a closed
  // connection marks the client not alive.
  bool TakeRequest();

  // Builds the next update with the summary and sends all of it within
  // kSendLimitMs (less when *stop becomes true). Anything short of the
  // whole update marks the client not alive; returns alive().
  bool SendUpdate(std::string_view summary, const std::atomic<bool>* stop);

  // Ends the connection (both directions) and marks the client not alive.
  void Shutdown();

 private:
  // Sends bytes until all are out, the time limit passes, stop is set or
  // the connection fails.
  bool SendAll(std::string_view bytes, const std::atomic<bool>* stop);

  const int socket_;
  const std::string address_;
  std::atomic<bool> alive_{true};
  MonitorUpdateBuilder builder_;
};

}  // namespace frame

#endif  // VTTEL_FRAME_REMOTE_CONN_H_
