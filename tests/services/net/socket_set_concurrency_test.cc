// The line's socket set while another thread stops the line: sockets come
// and go on the line's thread as stops arrive from outside; nothing leaks,
// nothing is closed twice, and a socket that joins after the stop is shut
// down as it joins.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

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

}  // namespace
