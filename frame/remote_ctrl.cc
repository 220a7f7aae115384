#include "frame/remote_ctrl.h"

#include <cstdio>
#include <vector>

#include "frame/log.h"
#include "frame/monitor_update.h"
#include "frame/run_cfg.h"
#include "frame/tcp_socket.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace frame {

namespace {

constexpr uint8_t kLanguageEnglish = 1;
// Bound of the join of each thread at destruction; every wait of the
// threads ends within a few milliseconds of the quit flag.
constexpr uint32_t kStopJoinMs = 1000;

}  // namespace

TagRemoteCtrl::TagRemoteCtrl(int32_t line_count, int32_t port, int32_t client_limit,
                             const TagMonitor* monitor, MonitorConnPanel* panel)
    : line_count_(line_count),
      port_(port),
      client_limit_(client_limit),
      monitor_(monitor),
      panel_(panel),
      english_(RunCfg().language == kLanguageEnglish) {
  TcpStartup();
  if (client_limit_ <= 0 || monitor_ == nullptr) return;
  int listening = -1;
  if (InitTcp(port_, &listening, kMonitorListenBacklog) != 0) return;
  listening_ = listening;
  LogMsgF("hTcpSocket=%d...", listening);
  if (!StartThreads()) return;
  LogMsg("MonitorServer Running.");
  ShowCount(0);
}

TagRemoteCtrl::~TagRemoteCtrl() {
  StopThreads();
  ClientMap clients;
  {
    std::lock_guard<std::mutex> lock(mu_);
    clients.swap(clients_);
  }
  clients.clear();  // closes the sockets
  LogMsg("~TagRemoteCtrl.");
}

bool TagRemoteCtrl::StartThreads() {
  running_ = listen_thread_.Start("MonitorListen", 0, [this] { ListenThread(); }) &&
             poll_thread_.Start("MonitorPoll", 0, [this] { PollThread(); });
  if (!running_) {
    LogAlways("TagRemoteCtrl: the server threads could not be started.");
    StopThreads();
  }
  return running_;
}

void TagRemoteCtrl::StopThreads() {
  quit_.store(true);  // seen by the listen thread before the shutdown below
  platform::WakeStopSleepers();
  {
    // Wakes an accept that waits on a connection that went away.
    std::lock_guard<std::mutex> lock(listen_mu_);
    if (listening_ >= 0) platform::ShutdownSocket(listening_);
  }
  for (platform::Thread* t : {&listen_thread_, &poll_thread_}) {
    if (t->joinable() && !t->JoinFor(kStopJoinMs)) {
      LogAlways("TagRemoteCtrl: waiting for " + t->name() + " to end.");
      t->Join();
    }
  }
  // Without a listen thread nobody else closes the socket.
  std::lock_guard<std::mutex> lock(listen_mu_);
  if (listening_ >= 0) {
    platform::CloseSocket(listening_);
    listening_ = -1;
  }
}

void TagRemoteCtrl::SetSummary(std::string_view text) {
  std::string_view kept = GbkPrefix(text, kSummaryMax);
  std::lock_guard<std::mutex> lock(mu_);
  summary_.assign(kept);
}

std::string TagRemoteCtrl::Summary() const {
  std::lock_guard<std::mutex> lock(mu_);
  return summary_;
}

int TagRemoteCtrl::ClientCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(clients_.size());
}

void TagRemoteCtrl::ListenThread() {
  int listening;
  {
    std::lock_guard<std::mutex> lock(listen_mu_);
    listening = listening_;
  }
  LogMsgF("TagRemoteCtrl::ListenTcpThread(hd=%d)...", listening);
  platform::Clock& clock = platform::GetClock();
  while (!quit_.load(std::memory_order_relaxed)) {
    if (TcpCanRead(listening) <= 0) {
      clock.Sleep(kMonitorListenSleepMs, &quit_);
      continue;
    }
    // StopThreads raises quit_ before it shuts the listener down, which
    // makes it readable: an accept then would fail (EINVAL) and log an error.
    if (quit_.load()) break;
    char address[kTcpAddressRoom] = {};
    int socket = TcpAcceptClient(listening, address);
    if (socket < 0) {
      // Nothing to take after all (or no descriptor left): wait as when idle.
      clock.Sleep(kMonitorListenSleepMs, &quit_);
      continue;
    }
    LogMsgF("ListenConnect(hd=%d, ip=%s)...", socket, address);
    Admit(socket);
  }
  {
    std::lock_guard<std::mutex> lock(listen_mu_);
    platform::CloseSocket(listening_);
    listening_ = -1;
  }
  LogMsg("TagRemoteCtrl::ListenTcpThread() End.");
}

void TagRemoteCtrl::Admit(int socket) {
  std::string address = GetPeerAddress(socket);
  LogMsgF("Monitor Address(hd=%d): %s", socket, address.c_str());
  ReplaceAddress(address);
  auto conn = std::make_shared<TagRemoteConn>(socket, address, *monitor_, line_count_);
  int count = -1;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (static_cast<int32_t>(clients_.size()) < client_limit_) {
      clients_[socket] = conn;
      count = static_cast<int>(clients_.size());
    }
  }
  if (count < 0) return;  // refused: closed with conn, without data
  ShowCount(count);
  LogMsgF("Monitor Conneted: %s, hd=%d", address.c_str(), socket);
}

void TagRemoteCtrl::ReplaceAddress(const std::string& address) {
  std::shared_ptr<TagRemoteConn> old;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (const auto& [socket, conn] : clients_) {
      if (conn->address() == address) {
        old = conn;
        break;
      }
    }
  }
  if (old != nullptr && Remove(old)) {
    old->Shutdown();
    Disconnected(*old);
  }
}

bool TagRemoteCtrl::Remove(const std::shared_ptr<TagRemoteConn>& conn) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = clients_.find(conn->socket());
  if (it == clients_.end() || it->second != conn) return false;
  clients_.erase(it);
  return true;
}

void TagRemoteCtrl::Disconnected(const TagRemoteConn& conn) {
  LogMsgF("Monitor Disconneted: %s", conn.address().c_str());
  ShowCount(ClientCount());
}

void TagRemoteCtrl::PollThread() {
  LogMsg("RemoteCtrlThread()...");
  platform::Clock& clock = platform::GetClock();
  while (!quit_.load(std::memory_order_relaxed)) {
    PollPass();
    clock.Sleep(kMonitorPollPassMs, &quit_);
  }
  LogMsg("RemoteCtrlThread() End.");
}

void TagRemoteCtrl::PollPass() {
  std::vector<std::shared_ptr<TagRemoteConn>> clients;
  std::string summary;
  {
    std::lock_guard<std::mutex> lock(mu_);
    clients.reserve(clients_.size());
    for (const auto& entry : clients_) clients.push_back(entry.second);
    summary = summary_;
  }
  for (const auto& conn : clients) {
    if (quit_.load(std::memory_order_relaxed)) return;
    if (!conn->alive()) {
      // A dropped client ends the pass; the others are served in the next.
      if (Remove(conn)) Disconnected(*conn);
      return;
    }
    if (conn->TakeRequest()) conn->SendUpdate(summary, &quit_);
  }
}

void TagRemoteCtrl::ShowCount(int count) {
  if (panel_ == nullptr) return;
  char text[96];
  snprintf(text, sizeof text,
           english_ ? "MonitorServer Running, Conn Num: %d" : "远程监控服务已经启动, 当前连接数: %d",
           count);
  panel_->ShowMonitorConn(text);
}

}  // namespace frame
