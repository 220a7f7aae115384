// Lines sharing one HTTP listener through the port map: eight line
// threads take requests from it while ab sends them, and a listener that
// its line closes while others poll it is forgotten without a race; a
// line waiting on idle connections is stopped from another thread.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "services/net/http_listeners.h"
#include "services/net/http_pending.h"
#include "services/net/socket_set.h"
#include "tests/frame/tcp_peer.h"
#include "tests/platform/spawned_program.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;

class HttpListenerConcurrencyTest : public services_test::TcpScriptTest {
 protected:
  int32_t Open(int* port) {
    const int32_t h = Exec("HttpServerOpen(", {Val(0)});
    const int s =
        services::SocketSetOf(script_.get())->Find(h, services::SocketKind::kHttpListener);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return h;
  }

  // One line's thread: answers requests from the listener until told to
  // stop.
  static void ServeLine(engine::TagTelBasic* script, int32_t listener,
                        const std::atomic<bool>* stop, std::atomic<int>* served) {
    TagVar l, h, b, a, empty, body;
    l.SetInt(listener);
    empty.SetString("");
    body.SetString("0123456789");
    while (!stop->load()) {
      const int32_t c = Exec(script, "HttpServerRecv(", {&l, &h, &b, &a});
      if (c < 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        continue;
      }
      TagVar conn;
      conn.SetInt(c);
      if (Exec(script, "HttpServerSend(", {&conn, &empty, &body}) == 10) served->fetch_add(1);
    }
  }
};

TEST_F(HttpListenerConcurrencyTest, EightLinesShareOneListener) {
  int port = 0;
  const int32_t listener = Open(&port);
  std::atomic<bool> stop{false};
  std::atomic<int> served{0};
  std::vector<std::unique_ptr<engine::LineCallBase>> calls;
  std::vector<std::unique_ptr<engine::TagTelBasic>> scripts;
  std::vector<std::thread> lines;
  for (int i = 0; i < 8; ++i) {
    calls.push_back(std::make_unique<engine::LineCallBase>());
    calls.back()->lineNo = 2 + i;
    scripts.push_back(NewScript("empty.vts", *calls.back()));
  }
  for (auto& script : scripts) {
    lines.emplace_back(ServeLine, script.get(), listener, &stop, &served);
  }
  testing_support::SpawnedProgram ab;
  ASSERT_TRUE(ab.Start("/usr/bin/ab", {"-q", "-n", "400", "-c", "8",
                                       "http://127.0.0.1:" + std::to_string(port) + "/"}));
  EXPECT_EQ(ab.Wait(60000), 0);
  EXPECT_NE(ab.stdout_text().find("Failed requests:        0"), std::string::npos);
  // The owner closes the listener while the lines still poll it.
  EXPECT_EQ(Exec("HttpServerClose(", {Val(listener)}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  stop = true;
  for (std::thread& t : lines) t.join();
  EXPECT_EQ(served.load(), 400);
  EXPECT_EQ(services::HttpListenerCount(), 0u);
}

// A line waiting on connections that send nothing is stopped from another
// thread: the wait ends at once and the connections are closed.
TEST_F(HttpListenerConcurrencyTest, StopEndsAWaitOnIdleConnections) {
  int port = 0;
  const int32_t listener = Open(&port);
  std::vector<std::unique_ptr<testing_support::TcpPeer>> idle(3);
  for (auto& peer : idle) {
    peer = std::make_unique<testing_support::TcpPeer>();
    ASSERT_TRUE(peer->Connect(port, {"recv_all"}));
  }
  std::atomic<int32_t> result{0};
  std::thread line([&] {
    TagVar l, h, b, a;
    l.SetInt(listener);
    result = Exec(script_.get(), "HttpServerRecv(", {&l, &h, &b, &a});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(result.load(), 0);  // still waiting
  const auto stopped = std::chrono::steady_clock::now();
  script_->SetQuit(1);
  line.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
  EXPECT_EQ(result.load(), -1);
  EXPECT_EQ(services::HttpPendingOf(script_.get())->size(), 0u);
  for (auto& peer : idle) EXPECT_TRUE(peer->Says("got "));
}

}  // namespace
