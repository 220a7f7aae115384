// The socket routines against real loopback peers (python3 processes and
// sockets of the test): connecting step by step, refused and unresolvable
// hosts, receiving until a head, a count or a time-out, listening,
// accepting and peer addresses, and sends to a reset peer.
#include "frame/tcp_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/frame/tcp_peer.h"

namespace frame {
namespace {

using testing_support::OpenDescriptorCount;
using testing_support::RefusingPort;
using testing_support::TcpPeer;

using Steady = std::chrono::steady_clock;

constexpr int kStepMs = 20;
constexpr int kConnectSteps = 250;  // 5 s of 20 ms steps

// Steps a connect until it ends; the last step result (0 when it never ended).
int ConnectSteps(std::string_view host, int port, int* socket, int max_steps) {
  TcpConnectState state;
  for (int i = 0; i < max_steps; ++i) {
    const int r = TcpConnectStep(host, port, &state, socket);
    if (r != 0) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  }
  TcpAbandonConnect(&state);
  return 0;
}

bool IsNonBlocking(int socket) { return (fcntl(socket, F_GETFL) & O_NONBLOCK) != 0; }

int LocalPort(int socket) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(socket, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// Polls until the socket is readable; false after 5 s.
bool WaitReadable(int socket) {
  for (int i = 0; i < kConnectSteps; ++i) {
    if (TcpCanRead(socket) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  }
  return false;
}

TEST(TcpSocket, StartupSetsAndCleanupClearsTheFlag) {
  EXPECT_EQ(TcpStartup(), 0);
  EXPECT_TRUE(IsTcpInited());
  EXPECT_EQ(TcpStartup(), 0);
  TcpCleanup();
  EXPECT_FALSE(IsTcpInited());
  EXPECT_EQ(TcpStartup(), 0);
  EXPECT_EQ(TcpInitedFlag().load(), 1);
}

TEST(TcpSocket, ConnectStepReachesAListenerAndHandsOutANonBlockingSocket) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv_all"}));
  int socket = -1;
  ASSERT_EQ(ConnectSteps("127.0.0.1", peer.port(), &socket, kConnectSteps), 1);
  ASSERT_GE(socket, 0);
  EXPECT_TRUE(IsNonBlocking(socket));
  EXPECT_EQ((fcntl(socket, F_GETFD) & FD_CLOEXEC), FD_CLOEXEC);
  EXPECT_EQ(GetPeerAddress(socket), "127.0.0.1");
  EXPECT_EQ(send(socket, "hi", 2, MSG_NOSIGNAL), 2);
  close(socket);
  EXPECT_TRUE(peer.Says("got 6869"));
  // A host name resolves as well.
  TcpPeer named;
  ASSERT_TRUE(named.Listen({"recv_all"}));
  ASSERT_EQ(ConnectSteps("localhost", named.port(), &socket, kConnectSteps), 1);
  close(socket);
  EXPECT_TRUE(named.Says("got "));
}

TEST(TcpSocket, RefusedPortNeverCountsAsConnectedNorLeaks) {
  RefusingPort refusing;
  const int before = OpenDescriptorCount();
  int socket = -1;
  TcpConnectState state;
  // Half a second of steps: a refused connect only reports "in progress".
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(TcpConnectStep("127.0.0.1", refusing.port(), &state, &socket), 0) << i;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  }
  EXPECT_EQ(socket, -1);
  TcpAbandonConnect(&state);
  EXPECT_FALSE(state.pending);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(TcpSocket, UnresolvableNameAndPollErrors) {
  TcpConnectState state;
  int socket = -1;
  EXPECT_EQ(TcpConnectStep("no-such-host.invalid", 80, &state, &socket), kTcpHostNotResolved);
  EXPECT_FALSE(state.pending);
  // A pending socket that is no descriptor: the poll fails.
  state.pending = true;
  state.pending_socket = 100000;
  EXPECT_EQ(TcpConnectStep("127.0.0.1", 80, &state, &socket), kTcpPollError);
  EXPECT_FALSE(state.pending);
  EXPECT_LT(TcpCanRead(-1), 0);
  EXPECT_LT(TcpCanWrite(100000), 0);
  char buffer[8];
  EXPECT_EQ(TcpRecvUntil(-1, buffer, 7, 1), -1);
}

// A connected pair: the routines' end (from TcpAcceptClient) and a python peer.
class TcpReceiveTest : public ::testing::Test {
 protected:
  // Starts a peer that connects to a fresh listener and runs actions.
  void Start(const std::vector<std::string>& actions) {
    ASSERT_EQ(InitTcp(0, &listening_, 4), 0);
    ASSERT_TRUE(peer_.Connect(LocalPort(listening_), actions));
    ASSERT_TRUE(WaitReadable(listening_));
    char address[kTcpAddressRoom];
    socket_ = TcpAcceptClient(listening_, address);
    ASSERT_GE(socket_, 0);
    EXPECT_STREQ(address, "127.0.0.1");
  }
  void TearDown() override {
    if (socket_ >= 0) close(socket_);
    if (listening_ >= 0) close(listening_);
  }

  int listening_ = -1;
  int socket_ = -1;
  TcpPeer peer_;
};

TEST_F(TcpReceiveTest, AcceptedSocketIsBlockingAndKnowsItsPeer) {
  Start({"say:connected", "recv_all"});
  EXPECT_FALSE(IsNonBlocking(socket_));
  EXPECT_EQ(GetPeerAddress(socket_), "127.0.0.1");
  EXPECT_EQ(GetPeerAddress(listening_), "");
  EXPECT_EQ(GetPeerAddress(-1), "");
  EXPECT_EQ(TcpCanRead(socket_), 0);
  EXPECT_EQ(TcpCanWrite(socket_), 1);
  // No second connection waits on the listener.
  EXPECT_EQ(TcpCanRead(listening_), 0);
  shutdown(socket_, SHUT_WR);
  EXPECT_TRUE(peer_.Says("got "));
}

TEST_F(TcpReceiveTest, HeadLimitStopsAtTheBlankLine) {
  const std::string head = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  Start({"send:" + testing_support::PeerHex(head), "say:sent", "sleep:5000"});
  ASSERT_TRUE(peer_.Says("sent"));
  char buffer[2049];
  const auto start = Steady::now();
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 2048, 5), static_cast<int>(head.size()));
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(std::string(buffer), head);
}

TEST_F(TcpReceiveTest, SmallLimitReturnsAfterOneReceiveAndLeavesTheRest) {
  Start({"send:" + testing_support::PeerHex(std::string(150, 'a')), "say:sent", "sleep:5000"});
  ASSERT_TRUE(peer_.Says("sent"));
  char buffer[101];
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 100, 5), 100);
  EXPECT_EQ(std::string(buffer), std::string(100, 'a'));
  // The bytes beyond the limit wait for the next read.
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 100, 5), 50);
  EXPECT_EQ(std::string(buffer), std::string(50, 'a'));
}

TEST_F(TcpReceiveTest, PeerCloseEndsTheReadWithWhatArrived) {
  Start({"send:616263", "close"});
  char buffer[2049];
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 2048, 5), 3);
  EXPECT_STREQ(buffer, "abc");
}

TEST_F(TcpReceiveTest, SilentPeerTimesOutAndDropsAPartialHead) {
  Start({"send:474554202f", "say:sent", "recv_all"});
  ASSERT_TRUE(peer_.Says("sent"));
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  char buffer[2049];
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 2048, 1), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_GT(clock.SleptMillis(), 1000u);
  EXPECT_LT(clock.SleptMillis(), 1500u);
  // Nothing at all: 0 after the time-out as well.
  EXPECT_EQ(TcpRecvUntil(socket_, buffer, 100, 1), 0);
}

TEST_F(TcpReceiveTest, SendToAResetPeerFailsWithoutASignal) {
  Start({"rst"});
  ASSERT_TRUE(peer_.Says("done"));
  ASSERT_TRUE(WaitReadable(socket_));
  int result = 0;
  for (int i = 0; i < 5 && result >= 0; ++i) {
    result = static_cast<int>(send(socket_, "x", 1, MSG_NOSIGNAL));
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  }
  EXPECT_EQ(result, -1);
}

TEST(TcpSocket, BindFailureShowsItsMessageAndClosesTheSocket) {
  platform::RecordingMessageService messages;
  platform::ScopedMessageService scoped(&messages);
  int first = -1;
  ASSERT_EQ(InitTcp(0, &first, 1), 0);
  const int port = LocalPort(first);
  const int before = OpenDescriptorCount();
  int second = -1;
  EXPECT_EQ(InitTcp(port, &second, 1), kTcpBindFailed);
  EXPECT_EQ(second, -1);
  EXPECT_EQ(OpenDescriptorCount(), before);
  const auto shown = messages.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Error #98 occurred while bind socket! port=[" +
                               std::to_string(port) + "]");
  EXPECT_EQ(shown[0].caption, "Server: bind()...");
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
  close(first);
  // The port is free again at once (SO_REUSEADDR).
  int again = -1;
  EXPECT_EQ(InitTcp(port, &again, 1), 0);
  close(again);
}

}  // namespace
}  // namespace frame
