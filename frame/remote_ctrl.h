// TagRemoteCtrl: the monitor server. Monitoring programs connect over TCP,
// send a five-byte request whenever they want news and receive the monitor
// cells that changed since their last update, then the summary line (the
// wire format is in monitor_update.h). There is no authentication and no
// command from the clients.
//
// One instance always exists once the system is built (it keeps the summary
// text); it listens only when its client limit is 1 or more. Then a listen
// thread admits connections (every 120 ms) and a poll thread answers the
// requests (a pass every 80 ms). One connection per client address: a new
// connection from the address of a connected client replaces it; one over
// the limit is closed at once, without data. A client that does not take
// its update within kSendLimitMs is dropped, so a stalled client holds up
// neither the others nor the shutdown.
//
// Clients are shared between the map and the poll pass that uses them, and
// a client's socket is closed only when the last holder lets it go.
//
// Thread rules: construction and destruction on one thread (the window
// thread); SetSummary and the accessors from any thread. The destructor
// stops both threads and joins them (well within a second: every wait of
// the threads ends at the stop flag). The monitor table and the panel must
// outlive the server.
#ifndef VTTEL_FRAME_REMOTE_CTRL_H_
#define VTTEL_FRAME_REMOTE_CTRL_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "frame/monitor.h"
#include "frame/remote_conn.h"
#include "frame/window_view.h"
#include "platform/thread.h"

namespace frame {

inline constexpr int kMonitorListenBacklog = 10;
inline constexpr uint32_t kMonitorListenSleepMs = 120;
inline constexpr uint32_t kMonitorPollPassMs = 80;

class TagRemoteCtrl : public SummaryTarget {
 public:
  // Starts the socket library. With client_limit 1 or more (and a monitor
  // table), listens on port and starts the two threads; panel (may be null)
  // then shows the running state with 0 clients. When the port cannot be
  // opened, InitTcp has shown why and there is no server. The panel's language is RunCfg().language as it
  // is now. line_count is the size of every client's table.
  TagRemoteCtrl(int32_t line_count, int32_t port, int32_t client_limit, const TagMonitor* monitor,
                MonitorConnPanel* panel);
  ~TagRemoteCtrl() override;
  TagRemoteCtrl(const TagRemoteCtrl&) = delete;
  TagRemoteCtrl& operator=(const TagRemoteCtrl&) = delete;

  // The summary line sent after the cells (kept to kSummaryMax bytes).
  void SetSummary(std::string_view text) override;
  std::string Summary() const;

  // Whether the server listens (threads started).
  bool running() const { return running_; }
  int ClientCount() const;

 private:
  using ClientMap = std::map<int, std::shared_ptr<TagRemoteConn>>;

  bool StartThreads();
  void StopThreads();
  void ListenThread();
  void PollThread();
  void PollPass();
  void Admit(int socket);
  // Removes the client connected from address, if any.
  void ReplaceAddress(const std::string& address);
  // Removes the client from the map when it is still there; true if so.
  bool Remove(const std::shared_ptr<TagRemoteConn>& conn);
  void Disconnected(const TagRemoteConn& conn);
  void ShowCount(int count);

  const int32_t line_count_;
  const int32_t port_;
  const int32_t client_limit_;
  const TagMonitor* const monitor_;
  MonitorConnPanel* const panel_;
  const bool english_;
  bool running_ = false;
  std::atomic<bool> quit_{false};

  mutable std::mutex mu_;
  ClientMap clients_;    // guarded by mu_
  std::string summary_;  // guarded by mu_

  std::mutex listen_mu_;
  int listening_ = -1;  // guarded by listen_mu_; closed by the listen thread

  platform::Thread listen_thread_;
  platform::Thread poll_thread_;
};

}  // namespace frame

#endif  // VTTEL_FRAME_REMOTE_CTRL_H_
