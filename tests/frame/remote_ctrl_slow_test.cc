// The monitor server against real clients on loopback: C++ sockets where a
// test needs exact control of the connection, and the protocol's python
// client (tools/monitor_client.py) run as a process.
#include "frame/remote_ctrl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/log.h"
#include "frame/monitor.h"
#include "frame/monitor_update.h"
#include "frame/run_cfg.h"
#include "frame/settings.h"
#include "tests/test_support.h"

namespace frame {
namespace {

using Clock = std::chrono::steady_clock;

long MillisSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class RecordingPanel : public MonitorConnPanel {
 public:
  void ShowMonitorConn(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mu_);
    texts_.emplace_back(text);
  }
  std::vector<std::string> texts() const {
    std::lock_guard<std::mutex> lock(mu_);
    return texts_;
  }

 private:
  mutable std::mutex mu_;
  std::vector<std::string> texts_;
};

// A monitoring client on a plain socket.
class TestClient {
 public:
  // from: the local address to connect from; rcvbuf: receive buffer size
  // (0 leaves the default).
  TestClient(int port, const char* from = "127.0.0.1", int rcvbuf = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (rcvbuf > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
  }
  ~TestClient() { Close(); }

  bool connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  void Request() { Send("abcde"); }

  // One whole update, or nullopt when none came within ms (or the server
  // closed the connection: closed() tells).
  std::optional<std::string> ReadUpdate(int ms) {
    const auto start = Clock::now();
    while (true) {
      if (buffer_.size() >= 4) {
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<unsigned char>(buffer_[i]);
        if (buffer_.size() >= length + 4u) {
          std::string update = buffer_.substr(0, length + 4);
          buffer_.erase(0, length + 4);
          return update;
        }
      }
      long left = ms - MillisSince(start);
      if (left <= 0 || !Receive(static_cast<int>(left))) return std::nullopt;
    }
  }

  // True when the server closes the connection within ms; *bytes counts
  // what arrived before.
  bool WaitClosed(int ms, size_t* bytes = nullptr) {
    const auto start = Clock::now();
    while (!closed_ && MillisSince(start) < ms) Receive(static_cast<int>(ms - MillisSince(start)));
    if (bytes != nullptr) *bytes = buffer_.size();
    return closed_;
  }
  bool closed() const { return closed_; }

 private:
  // Waits up to ms for bytes; false on time-out or close.
  bool Receive(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    char chunk[65536];
    ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
      closed_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<size_t>(got));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  std::string buffer_;
};

struct Cell {
  int line, cell, font, background;
  std::string text;
};

// The records of an update (the end record last).
std::vector<Cell> Records(const std::string& u) {
  std::vector<Cell> out;
  size_t at = kUpdateHeaderBytes;
  while (at + kUpdateRecordHeadBytes < u.size()) {
    auto b = [&](size_t i) { return static_cast<int>(static_cast<unsigned char>(u[at + i])); };
    size_t nul = u.find('\0', at + kUpdateRecordHeadBytes);
    if (nul == std::string::npos) break;
    out.push_back({b(0) | b(1) << 8, b(2), b(3), b(4),
                   u.substr(at + kUpdateRecordHeadBytes, nul - at - kUpdateRecordHeadBytes)});
    at = nul + 1;
  }
  return out;
}

// Waits until pred holds, at most ms.
template <typename Pred>
bool WaitFor(int ms, Pred pred) {
  const auto start = Clock::now();
  while (!pred()) {
    if (MillisSince(start) > ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Runs the python client; its standard output.
std::string RunPythonClient(const std::string& args) {
  const std::string cmd =
      std::string("python3 ") + VTTEL_SOURCE_DIR + "/tools/monitor_client.py " + args;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return "";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(::pclose(p), 0) << cmd;
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every cell of every line a 40-byte text.
void FillFull(TagMonitor& m, char fill) {
  for (int line = 0; line < m.LineCount(); ++line) {
    for (int cell = 0; cell < kMonitorCells; ++cell) {
      std::string text = std::to_string(line) + ":" + std::to_string(cell) + ":";
      text.resize(kUpdateCellTextMax, fill);
      m.SetCell(text, line, cell);
    }
  }
}

class RemoteCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override { port_ = testing_support::FreeLoopbackPort(); }

  std::unique_ptr<TagRemoteCtrl> Start(int limit, int lines = 4) {
    if (monitor_ == nullptr) monitor_ = std::make_unique<TagMonitor>(lines);
    return std::make_unique<TagRemoteCtrl>(monitor_->LineCount(), port_, limit, monitor_.get(),
                                           &panel_);
  }

  int port_ = 0;
  std::unique_ptr<TagMonitor> monitor_;
  RecordingPanel panel_;
};

TEST_F(RemoteCtrlTest, NoPortIsOpenedWithoutAClientLimit) {
  for (int limit : {0, -1}) {
    auto server = Start(limit);
    EXPECT_FALSE(server->running());
    TestClient client(port_);
    EXPECT_FALSE(client.connected()) << "limit " << limit;
    server->SetSummary("kept");
    EXPECT_EQ(server->Summary(), "kept");
  }
  EXPECT_TRUE(panel_.texts().empty());
}

TEST_F(RemoteCtrlTest, PortInUseLeavesTheSystemWithoutAServer) {
  int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port_));
  ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(taken, 1), 0);
  auto server = Start(1);
  EXPECT_FALSE(server->running());
  EXPECT_TRUE(panel_.texts().empty());
  server.reset();
  ::close(taken);
}

TEST_F(RemoteCtrlTest, PanelSpeaksTheConfiguredLanguage) {
  const uint8_t saved = RunCfg().language;
  RunCfg().language = 1;
  auto server = Start(1);
  RunCfg().language = saved;
  TestClient client(port_);
  ASSERT_TRUE(WaitFor(2000, [&] { return server->ClientCount() == 1; }));
  const auto texts = panel_.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "MonitorServer Running, Conn Num: 0");
  EXPECT_EQ(texts[1], "MonitorServer Running, Conn Num: 1");
}

TEST_F(RemoteCtrlTest, PythonClientReceivesEveryCellInGbkThenOnlyChanges) {
  monitor_ = std::make_unique<TagMonitor>(3);
  monitor_->SetCell("运行", 0, kCellStatus);
  monitor_->SetColors(1, 1, 14);
  monitor_->SetCell("连通", 1, kCellStatus);
  monitor_->SetCell(std::string(60, 'k'), 2, kCellKeys);
  auto server = Start(2);
  ASSERT_TRUE(server->running());
  server->SetSummary("连通数:1.0: 外:0.0, 内:1, 虚:0, Ip:0.0");

  auto lines = Lines(RunPythonClient("--port " + std::to_string(port_) + " --count 2"));
  ASSERT_EQ(lines.size(), 2u + 3 * kMonitorCells + 2u);
  EXPECT_EQ(lines[0].substr(0, 28), "update lines=3 records=24 by");
  // The client prints UTF-8: compare with UTF-8 bytes, not GBK literals.
  EXPECT_EQ(lines[1 + kCellStatus], "cell 0 2 0 15 \xe8\xbf\x90\xe8\xa1\x8c");  // 运行
  EXPECT_EQ(lines[1 + kMonitorCells + kCellStatus], "cell 1 2 1 14 \xe8\xbf\x9e\xe9\x80\x9a");  // 连通
  EXPECT_EQ(lines[1 + 2 * kMonitorCells + kCellKeys], "cell 2 3 0 15 " + std::string(40, 'k'));
  EXPECT_EQ(lines[1 + 3 * kMonitorCells].substr(0, 21), "summary \xe8\xbf\x9e\xe9\x80\x9a\xe6\x95\xb0:1.0");
  EXPECT_EQ(lines[2 + 3 * kMonitorCells].substr(0, 24), "update lines=3 records=0");

  ASSERT_TRUE(WaitFor(1000, [&] { return server->ClientCount() == 0; }));
  server.reset();
  const auto texts = panel_.texts();
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "远程监控服务已经启动, 当前连接数: 0");
  EXPECT_EQ(texts[1], "远程监控服务已经启动, 当前连接数: 1");
  EXPECT_EQ(texts.back(), "远程监控服务已经启动, 当前连接数: 0");
}

TEST_F(RemoteCtrlTest, OneClientPerAddressAndNoneOverTheLimit) {
  testing_support::TempDir dir;
  GetSettings().log_level = 1;
  OpenProcessLog(std::make_unique<TagWriteLog>(dir.File("msg_log.txt"), 0, true, true));
  {
    auto server = Start(1);
    TestClient first(port_);
    ASSERT_TRUE(WaitFor(2000, [&] { return server->ClientCount() == 1; }));

    // Another machine over the limit: closed at once, without data.
    TestClient other(port_, "127.0.0.2");
    ASSERT_TRUE(other.connected());
    size_t bytes = 99;
    EXPECT_TRUE(other.WaitClosed(1500, &bytes));
    EXPECT_EQ(bytes, 0u);
    first.Request();
    EXPECT_TRUE(first.ReadUpdate(1500).has_value());

    // The first machine again: the new connection replaces the old one.
    TestClient again(port_);
    EXPECT_TRUE(first.WaitClosed(1500));
    again.Request();
    auto update = again.ReadUpdate(1500);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(Records(*update).size(), 4u * kMonitorCells + 1) << "a new client gets every cell";
    EXPECT_EQ(server->ClientCount(), 1);
  }
  CloseProcessLog();
  GetSettings().log_level = 0;
  const std::string log = testing_support::ReadFile(dir.File("msg_log.txt")).value_or("");
  const size_t gone = log.find("Monitor Disconneted: 127.0.0.1");
  ASSERT_NE(gone, std::string::npos) << log;
  EXPECT_EQ(log.find("Monitor Conneted: 127.0.0.2"), std::string::npos);
  EXPECT_NE(log.find("Monitor Conneted: 127.0.0.1, hd=", gone), std::string::npos);
  for (const char* text :
       {"hTcpSocket=", "MonitorServer Running.", "TagRemoteCtrl::ListenTcpThread(hd=",
        "ListenConnect(hd=", "RemoteCtrlThread()...", "RemoteCtrlThread() End.",
        "TagRemoteCtrl::ListenTcpThread() End.", "~TagRemoteCtrl."}) {
    EXPECT_NE(log.find(text), std::string::npos) << text;
  }
}

TEST_F(RemoteCtrlTest, OnlyWholeRequestsAreAnsweredOneUpdateEach) {
  auto server = Start(1);
  TestClient client(port_);
  client.Send("abc");
  EXPECT_FALSE(client.ReadUpdate(500).has_value()) << "3 bytes are no request";
  client.Send("0123456789");
  auto one = client.ReadUpdate(1500);
  auto two = client.ReadUpdate(1500);
  ASSERT_TRUE(one.has_value());
  ASSERT_TRUE(two.has_value());
  EXPECT_EQ(Records(*one).size(), 4u * kMonitorCells + 1);
  EXPECT_EQ(Records(*two).size(), 1u) << "nothing changed in between";
  EXPECT_FALSE(client.ReadUpdate(400).has_value());
}

TEST_F(RemoteCtrlTest, CutUpdateIsFollowedByTheRestThenLineZero) {
  monitor_ = std::make_unique<TagMonitor>(120);
  FillFull(*monitor_, 'x');
  auto server = Start(1);
  TestClient client(port_);
  client.Request();
  auto first = client.ReadUpdate(2000);
  ASSERT_TRUE(first.has_value());
  EXPECT_GE(first->size(), kUpdateCutBytes);
  EXPECT_LT(first->size(), kUpdateCutBytes + 46 + 7);
  auto a = Records(*first);
  monitor_->SetCell("new", 0, kCellRunInfo);
  client.Request();
  auto second = client.ReadUpdate(2000);
  ASSERT_TRUE(second.has_value());
  auto b = Records(*second);
  a.pop_back();
  ASSERT_FALSE(b.empty());
  b.pop_back();
  ASSERT_EQ(a.size() + b.size(), 120u * kMonitorCells);
  a.insert(a.end(), b.begin(), b.end());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].line * kMonitorCells + a[i].cell, static_cast<int>(i));
  }
  client.Request();
  auto third = client.ReadUpdate(2000);
  ASSERT_TRUE(third.has_value());
  auto c = Records(*third);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].line, 0);
  EXPECT_EQ(c[0].text, "new");
}

// Changes every cell until stopped, so that every update is a full one.
class BusyWriter {
 public:
  explicit BusyWriter(TagMonitor& m) : thread_([this, &m] {
    for (char fill = 'a'; !stop_; fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1)) {
      FillFull(m, fill);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }) {}
  ~BusyWriter() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(RemoteCtrlTest, StalledClientIsDroppedWhileOthersKeepBeingServed) {
  // The stalled client asks for updates and never reads them. On loopback
  // the server's send buffer grows to a few MiB, so it takes some seconds
  // of full updates until a send can no longer be completed.
  monitor_ = std::make_unique<TagMonitor>(120);
  auto server = Start(3);
  BusyWriter writer(*monitor_);
  TestClient reader(port_);
  TestClient stalled(port_, "127.0.0.2", 2048);
  ASSERT_TRUE(WaitFor(2000, [&] { return server->ClientCount() == 2; }));
  stalled.Send(std::string(kRequestBytes * 400, 'r'));

  long worst_gap = 0;
  int updates = 0;
  const auto start = Clock::now();
  auto last = Clock::now();
  while (server->ClientCount() == 2 && MillisSince(start) < 25000) {
    reader.Request();
    auto u = reader.ReadUpdate(2000);
    ASSERT_TRUE(u.has_value()) << "the reader was held up";
    ++updates;
    worst_gap = std::max(worst_gap, MillisSince(last));
    last = Clock::now();
  }
  EXPECT_EQ(server->ClientCount(), 1) << "the stalled client was not dropped";
  // The reader goes on being served after the drop.
  for (int i = 0; i < 5; ++i) {
    reader.Request();
    ASSERT_TRUE(reader.ReadUpdate(2000).has_value());
    worst_gap = std::max(worst_gap, MillisSince(last));
    last = Clock::now();
  }
  EXPECT_LT(worst_gap, 1000);
  EXPECT_GE(updates, 10);
}

TEST_F(RemoteCtrlTest, ResetConnectionsDoNotEndTheProcess) {
  // A send on a reset connection must not raise SIGPIPE.
  struct sigaction old{};
  struct sigaction dfl{};
  dfl.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &dfl, &old);
  monitor_ = std::make_unique<TagMonitor>(120);
  {
    auto server = Start(2);
    BusyWriter writer(*monitor_);
    for (int round = 0; round < 5; ++round) {
      TestClient client(port_);
      client.Send(std::string(kRequestBytes * 20, 'r'));
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      client.Close();  // with updates unread: the close resets the connection
    }
    EXPECT_TRUE(WaitFor(2000, [&] { return server->ClientCount() == 0; }));
    TestClient after(port_);
    after.Request();
    EXPECT_TRUE(after.ReadUpdate(2000).has_value());
  }
  ::sigaction(SIGPIPE, &old, nullptr);
}

TEST_F(RemoteCtrlTest, DestructionWithClientsConnectedIsQuick) {
  monitor_ = std::make_unique<TagMonitor>(120);
  auto server = Start(3);
  std::unique_ptr<BusyWriter> writer = std::make_unique<BusyWriter>(*monitor_);
  TestClient reader(port_);
  TestClient stalled(port_, "127.0.0.2", 2048);
  ASSERT_TRUE(WaitFor(2000, [&] { return server->ClientCount() == 2; }));
  stalled.Send(std::string(kRequestBytes * 200, 'r'));
  reader.Request();
  ASSERT_TRUE(reader.ReadUpdate(2000).has_value());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  server.reset();
  EXPECT_LT(MillisSince(start), 1500);
  writer.reset();
  EXPECT_TRUE(reader.WaitClosed(1000));
  TestClient late(port_);
  EXPECT_FALSE(late.connected()) << "the port stays open";
}

}  // namespace
}  // namespace frame
