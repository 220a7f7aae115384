// The socket routines against real loopback peers (python3 processes and
// sockets of the test): connecting step by step, refused and unresolvable
// hosts, receiving until a head, a count or a time-out, listening,
// accepting and peer addresses (an accept never waits, also when another
// caller took the connection a poll saw or the client reset it), and sends
// to a reset peer.
#include "frame/tcp_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

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

// A listener of the routines on a free port, closed at the end.
class TcpAcceptTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(InitTcp(0, &listening_, 16), 0); }
  void TearDown() override {
    if (listening_ >= 0) close(listening_);
  }
  // TcpAcceptClient on another thread. An accept still waiting after 3 s
  // counts as a wait: shutting the listener down frees it.
  int AcceptOrWait(bool* waited) {
    auto accept = std::async(std::launch::async, [this] {
      char address[kTcpAddressRoom];
      return TcpAcceptClient(listening_, address);
    });
    *waited = accept.wait_for(std::chrono::seconds(3)) != std::future_status::ready;
    if (*waited) shutdown(listening_, SHUT_RDWR);
    return accept.get();
  }
  // A plain client socket connected to the listener (the handshake ends in
  // the backlog, before any accept).
  int Connect() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(LocalPort(listening_)));
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return s;
  }

  int listening_ = -1;
};

TEST_F(TcpAcceptTest, ConnectionAnotherCallerTookGivesMinusOneAtOnce) {
  const int client = Connect();
  // Both callers saw the connection; the first takes it.
  ASSERT_TRUE(WaitReadable(listening_));
  char address[kTcpAddressRoom];
  const int taken = TcpAcceptClient(listening_, address);
  ASSERT_GE(taken, 0);
  EXPECT_FALSE(IsNonBlocking(taken));
  bool waited = false;
  EXPECT_EQ(AcceptOrWait(&waited), -1);
  EXPECT_FALSE(waited) << "accept waited for a connection another caller took";
  close(taken);
  close(client);
}

TEST_F(TcpAcceptTest, ClientResetBeforeTheAcceptBlocksNothing) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(LocalPort(listening_), {"rst"}));
  ASSERT_TRUE(peer.Says("done"));
  ASSERT_TRUE(WaitReadable(listening_));
  // The reset connection is handed out (reading it then fails) or is gone;
  // either way nothing waits, now or on the next call.
  for (int i = 0; i < 2; ++i) {
    bool waited = false;
    const int s = AcceptOrWait(&waited);
    EXPECT_FALSE(waited) << i;
    if (s >= 0) {
      char byte;
      EXPECT_LE(recv(s, &byte, 1, 0), 0);
      close(s);
    }
  }
}

TEST_F(TcpAcceptTest, TwoAcceptersRacingTakeEveryConnectionOnce) {
  constexpr int kConnections = 20;
  std::vector<int> clients;
  std::atomic<int> accepted{0};
  std::atomic<bool> stop{false};
  // Each accepter polls as "TcpAccept(" and the monitor server do, and
  // lets a moment pass before the accept, so both often see one connection.
  auto accepter = [&] {
    while (!stop.load()) {
      if (TcpCanRead(listening_) <= 0) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      char address[kTcpAddressRoom];
      const int s = TcpAcceptClient(listening_, address);
      if (s < 0) continue;
      close(s);
      accepted.fetch_add(1);
    }
  };
  std::thread first(accepter), second(accepter);
  for (int i = 0; i < kConnections; ++i) clients.push_back(Connect());
  const auto deadline = Steady::now() + std::chrono::seconds(5);
  while (accepted.load() < kConnections && Steady::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
  }
  EXPECT_EQ(accepted.load(), kConnections);
  // Both accepters come back: neither waits inside accept.
  stop.store(true);
  auto joined = std::async(std::launch::async, [&] {
    first.join();
    second.join();
  });
  const bool stuck = joined.wait_for(std::chrono::seconds(3)) != std::future_status::ready;
  if (stuck) shutdown(listening_, SHUT_RDWR);
  joined.get();
  EXPECT_FALSE(stuck) << "an accepter waited inside accept";
  for (const int c : clients) close(c);
}

}  // namespace
}  // namespace frame
