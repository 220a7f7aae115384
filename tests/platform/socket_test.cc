// The socket layer's transfers and waits on a connected pair.
#include "platform/socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

// Long enough for a local socket to become ready.
constexpr int64_t kReadyWaitNanos = 1000 * 1000 * 1000;

class SocketPairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_), 0);
  }
  void TearDown() override {
    CloseSocket(ends_[0]);
    CloseSocket(ends_[1]);
  }
  int ends_[2] = {-1, -1};
};

TEST_F(SocketPairTest, NoWaitTransfersTellWouldBlockFromClosed) {
  char buffer[8];
  EXPECT_EQ(ReceiveNoWait(ends_[0], buffer, sizeof buffer), kSocketWouldBlock);
  EXPECT_EQ(WaitSocket(ends_[0], SocketEvent::kReadable, 0), 0);
  EXPECT_EQ(WaitSocket(ends_[0], SocketEvent::kWritable, kReadyWaitNanos), 1);

  ASSERT_EQ(SendSome(ends_[1], "abc", 3), 3);
  EXPECT_EQ(WaitSocket(ends_[0], SocketEvent::kReadable, kReadyWaitNanos), 1);
  ASSERT_EQ(ReceiveNoWait(ends_[0], buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  ShutdownSocket(ends_[1]);
  EXPECT_EQ(WaitSocket(ends_[0], SocketEvent::kReadable, kReadyWaitNanos), 1);
  EXPECT_EQ(ReceiveNoWait(ends_[0], buffer, sizeof buffer), 0);  // the peer closed
  EXPECT_EQ(ReceiveSome(ends_[0], buffer, sizeof buffer), 0);
}

TEST_F(SocketPairTest, SendToAClosedPeerIsAnErrorNotASignal) {
  CloseSocket(ends_[1]);
  ends_[1] = -1;
  EXPECT_EQ(SendSome(ends_[0], "x", 1), -1);  // EPIPE; no SIGPIPE ends the test
  EXPECT_EQ(SendNoWait(ends_[0], "x", 1), -1);
}

TEST(Socket, ClosedOrInvalidSocketsAreErrors) {
  EXPECT_EQ(WaitSocket(-1, SocketEvent::kReadable, 0), -1);
  EXPECT_EQ(SocketPeerAddress(-1), "");
  Ipv4Address address;
  EXPECT_TRUE(ParseIpv4("127.0.0.1", &address));
  EXPECT_FALSE(ParseIpv4("no-such-host.invalid", &address));
}

}  // namespace
}  // namespace platform
