// The line's socket set while another thread stops the line: sockets come
// and go on the line's thread as stops arrive from outside; nothing leaks,
// nothing is closed twice, and a socket that joins after the stop is shut
// down as it joins. A line waiting on another line's socket: the other
// line's close ends the wait (no descriptor reached after its close), and
// so does the waiting line's own stop, leaving the socket to its line.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "services/net/socket_handles.h"
#include "services/net/socket_set.h"
#include "tests/frame/tcp_peer.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using testing_support::OpenDescriptorCount;

class SocketSetConcurrencyTest : public services_test::TcpScriptTest {
 protected:
  services::SocketSet& Set() { return *services::SocketSetOf(script_.get()); }
};

TEST_F(SocketSetConcurrencyTest, StopsFromAnotherThreadWhileTheLineOpensAndCloses) {
  constexpr int kRounds = 300;
  const int before = OpenDescriptorCount();
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    while (!done.load()) {
      script_->SetQuit(1);
      script_->SetQuit(0);
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    const int32_t handle = Set().Add(pair[0]);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(Set().Find(handle), pair[0]);
    EXPECT_TRUE(Set().Close(handle));
    EXPECT_FALSE(Set().Close(handle));
    close(pair[1]);
  }
  done.store(true);
  stopper.join();
  EXPECT_EQ(Set().size(), 0u);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(SocketSetConcurrencyTest, SocketJoiningAfterTheStopIsShutDown) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  std::thread stopper([&] { script_->SetQuit(1); });
  stopper.join();
  Set().Add(pair[0]);
  const timeval wait{5, 0};  // a missing shutdown fails instead of hanging
  setsockopt(pair[1], SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  char c;
  EXPECT_EQ(recv(pair[1], &c, 1, 0), 0);  // the far end sees the shutdown
  Set().CloseAll();
  close(pair[1]);
}

// One line (the test's thread pool) waits in "UdpRecv(" on a socket line 2
// opened; the wait ends by line 2's "UdpClose(" or by the waiting line's
// stop, within a second, and nothing leaks.
TEST_F(SocketSetConcurrencyTest, WaitOnAnotherLinesSocketEndsByItsCloseOrTheStop) {
  const int before = OpenDescriptorCount();
  for (const bool by_close : {true, false}) {
    SCOPED_TRACE(by_close);
    script_->SetQuit(0);
    engine::LineCallBase other_call;
    other_call.lineNo = 2;
    auto other = NewScript("empty.vts", other_call);
    engine::TagVar* h = Val(Exec(other.get(), "UdpOpen(", {Val(0)}));
    ASSERT_GE(h->intValue, services::kFirstSocketHandle);
    auto recv = std::async(std::launch::async, [&] {
      return Exec("UdpRecv(", {h, Val(""), Val(0), Val("")});
    });
    EXPECT_EQ(recv.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    if (by_close) {
      EXPECT_EQ(Exec(other.get(), "UdpClose(", {h}), 0);
    } else {
      script_->SetQuit(1);
    }
    ASSERT_EQ(recv.wait_for(std::chrono::seconds(1)), std::future_status::ready);
    EXPECT_LE(recv.get(), 0);
    // A stop of the waiting line leaves line 2's socket open and its own.
    EXPECT_EQ(services::SocketSetOf(other.get())->size(), by_close ? 0u : 1u);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

// Lines use, close and reopen sockets of one another at once: every
// statement finds a socket open or none, never another's descriptor.
TEST_F(SocketSetConcurrencyTest, LinesCloseWhatOthersUse) {
  const int before = OpenDescriptorCount();
  engine::LineCallBase other_call;
  other_call.lineNo = 2;
  auto other = NewScript("empty.vts", other_call);
  std::atomic<int32_t> shared{-1};
  std::atomic<bool> done{false};
  std::thread user([&] {
    while (!done.load()) {
      engine::TagVar* h = Val(shared.load());
      const int32_t sent = Exec("UdpSend(", {h, Val("127.0.0.1"), Val(9), Val("x")});
      EXPECT_TRUE(sent == 1 || sent == -1) << sent;
      Exec("UdpTest(", {h});
      Exec("UdpClose(", {h});
    }
  });
  for (int i = 0; i < 300; ++i) {
    const int32_t h = Exec(other.get(), "UdpOpen(", {Val(0)});
    ASSERT_GE(h, services::kFirstSocketHandle);
    shared.store(h);
    std::this_thread::yield();
    Exec(other.get(), "UdpClose(", {Val(h)});
  }
  done.store(true);
  user.join();
  other.reset();
  EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
