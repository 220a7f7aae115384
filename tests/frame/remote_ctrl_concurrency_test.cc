// The monitor server's threads against clients that come, replace each
// other and go while the table and the summary change: no client may be
// used after it was let go, and every update stays well formed.
#include "frame/remote_ctrl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "frame/monitor.h"
#include "frame/monitor_update.h"
#include "tests/test_support.h"

namespace frame {
namespace {

int Connect(int port, const char* from) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, from, &local.sin_addr);
  ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<uint16_t>(port));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads what arrives within ms and checks every whole update in it: the
// records fill it exactly and the last is the end record with a summary
// that was set. Counts the whole updates in *updates.
void ReadAndCheck(int fd, int ms, std::string* pending, std::atomic<int>* updates) {
  pollfd p{fd, POLLIN, 0};
  char chunk[65536];
  while (::poll(&p, 1, ms) > 0) {
    ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    pending->append(chunk, static_cast<size_t>(got));
    ms = 20;
  }
  while (pending->size() >= 4) {
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<unsigned char>((*pending)[i]);
    if (pending->size() < length + 4u) break;
    const std::string u = pending->substr(0, length + 4);
    pending->erase(0, length + 4);
    // Walk the records to the end record.
    size_t at = kUpdateHeaderBytes;
    size_t end_at = std::string::npos;
    while (at + kUpdateRecordHeadBytes < u.size()) {
      end_at = at;
      size_t nul = u.find('\0', at + kUpdateRecordHeadBytes);
      ASSERT_NE(nul, std::string::npos);
      at = nul + 1;
    }
    ASSERT_EQ(at, u.size());
    ASSERT_NE(end_at, std::string::npos);
    EXPECT_EQ(u.compare(end_at, 5, std::string("\xff\xff\xff\0\0", 5)), 0);
    const std::string summary = u.substr(end_at + 5, u.size() - end_at - 6);
    EXPECT_TRUE(summary.empty() || summary.rfind("summary ", 0) == 0) << summary;
    ++*updates;
  }
}

TEST(RemoteCtrlConcurrencyTest, ClientsComingAndGoingWhileEverythingChanges) {
  const int port = testing_support::FreeLoopbackPort();
  TagMonitor monitor(60);
  TagRemoteCtrl server(monitor.LineCount(), port, 3, &monitor, nullptr);
  ASSERT_TRUE(server.running());
  std::atomic<bool> stop{false};
  std::atomic<int> updates{0};

  std::thread writer([&] {
    for (int round = 0; !stop; ++round) {
      for (int line = 0; line < monitor.LineCount(); ++line) {
        monitor.SetCell(std::to_string(round), line, round % kMonitorCells);
      }
      server.SetSummary("summary " + std::to_string(round));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  // Each client thread reconnects from its own address, so every new
  // connection replaces the one before while the poll thread may hold it.
  auto client = [&](const char* from) {
    while (!stop) {
      int fd = Connect(port, from);
      if (fd < 0) continue;
      std::string pending;
      for (int i = 0; i < 3 && !stop; ++i) {
        ::send(fd, "abcde", 5, MSG_NOSIGNAL);
        ReadAndCheck(fd, 100, &pending, &updates);
      }
      ::close(fd);
    }
  };
  std::vector<std::thread> clients;
  for (const char* from : {"127.0.0.1", "127.0.0.1", "127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
    clients.emplace_back(client, from);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  stop = true;
  for (auto& t : clients) t.join();
  writer.join();
  EXPECT_GT(updates.load(), 0);
  EXPECT_LE(server.ClientCount(), 3);
}

}  // namespace
}  // namespace frame
