// The TCP statements on a line's socket set against python3 peers on
// loopback: opening, writing and reading with their argument rules,
// refused and unresolvable hosts, handles the line does not hold, the
// listener and accept, closing one and all, the line's stop waking a
// blocked read and ending a pending open, and the script's end closing
// what is left.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/message_service.h"
#include "services/net/socket_handles.h"
#include "services/net/socket_results.h"
#include "services/net/socket_set.h"
#include "tests/frame/tcp_peer.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;
using services::kFirstSocketHandle;
using services::kTcpBadArgument;
using testing_support::OpenDescriptorCount;
using testing_support::PeerHex;
using testing_support::RefusingPort;
using testing_support::TcpPeer;

using Steady = std::chrono::steady_clock;

constexpr auto kStep = std::chrono::milliseconds(20);
constexpr int kSteps = 250;  // 5 s of steps

class TcpStatementsTest : public services_test::TcpScriptTest {
 protected:
  // Opens a connection to a loopback port: the handle variable.
  TagVar* Open(int port) {
    TagVar* h = Val(0);
    const int32_t r = Exec("TcpOpen(", {Val("127.0.0.1"), Val(port), Val(5), h});
    EXPECT_GE(r, kFirstSocketHandle);
    EXPECT_EQ(h->intValue, r);
    return h;
  }
  // Polls "TcpTest(" until the handle has something to read.
  bool WaitReadable(TagVar* h) {
    TagVar* t = Val(0);
    for (int i = 0; i < kSteps; ++i) {
      if (Exec("TcpTest(", {h, t}) == 1) return t->intValue == 1;
      std::this_thread::sleep_for(kStep);
    }
    return false;
  }
  // A listener on a free port: its handle variable and the port.
  TagVar* Listen(int* port) {
    TagVar* h = Val(0);
    EXPECT_GE(Exec("TcpServer(", {Val(0), Val(0), h}), kFirstSocketHandle);
    const int socket = services::SocketSetOf(script_.get())->Find(h->intValue);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(socket, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return h;
  }
  // Polls "TcpAccept(" until a connection comes: the new handle variable.
  TagVar* Accept(TagVar* listening, TagVar* address) {
    TagVar* a = Val(0);
    for (int i = 0; i < kSteps; ++i) {
      if (Exec("TcpAccept(", {listening, a, address}) >= 0) return a;
      std::this_thread::sleep_for(kStep);
    }
    ADD_FAILURE() << "no connection accepted";
    return a;
  }
  size_t SetSize() { return services::SocketSetOf(script_.get())->size(); }
};

TEST_F(TcpStatementsTest, OpenWriteReadAndClose) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv:5", "send:" + PeerHex("world"), "say:sent", "recv_all"}));
  TagVar* h = Open(peer.port());
  // A handle is no descriptor number.
  EXPECT_EQ(fcntl(h->intValue, F_GETFD), -1);
  TagVar* n = Val(0);
  EXPECT_EQ(Exec("TcpWrite(", {h, Val("hello"), Val(0), n}), 5);
  EXPECT_EQ(n->intValue, 5);
  EXPECT_TRUE(peer.Says("got " + PeerHex("hello")));
  ASSERT_TRUE(peer.Says("sent"));
  ASSERT_TRUE(WaitReadable(h));
  TagVar* b = Val(0);
  TagVar* len = Val(0);
  EXPECT_EQ(Exec("TcpRead(", {h, b, len}), 5);
  EXPECT_EQ(b->kind, engine::kVarString);
  EXPECT_EQ(b->Bytes(), "world");
  EXPECT_EQ(len->intValue, 5);
  const int32_t old = h->intValue;
  EXPECT_EQ(Exec("TcpClose(", {h}), 0);
  EXPECT_EQ(h->intValue, -1);
  EXPECT_TRUE(peer.Says("got "));
  EXPECT_EQ(SetSize(), 0u);
  EXPECT_EQ(Exec("TcpTest(", {Val(old), Val(0)}), -1);
}

TEST_F(TcpStatementsTest, WriteSendsTheAskedLengthAndRefusesBadArguments) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv_all"}));
  TagVar* h = Open(peer.port());
  struct Case {
    int32_t length;
    int32_t result;
    std::string sent;
  } const cases[] = {
      {0, 3, "abc"},
      {2, 2, "ab"},
      {4, 4, std::string("abc\0", 4)},  // the terminating zero byte too
      {-7, 3, "abc"},
      {5, kTcpBadArgument, ""},
  };
  std::string all;
  for (const Case& c : cases) {
    TagVar* n = Val(77);
    EXPECT_EQ(Exec("TcpWrite(", {h, Val("abc"), Val(c.length), n}), c.result) << c.length;
    EXPECT_EQ(n->intValue, c.result == kTcpBadArgument ? 77 : c.result) << c.length;
    all += c.sent;
  }
  TagVar* n = Val(77);
  EXPECT_EQ(Exec("TcpWrite(", {h, Val(12345), Val(0), n}), kTcpBadArgument);
  EXPECT_EQ(n->intValue, 77);
  EXPECT_EQ(Exec("TcpClose(", {h}), 0);
  EXPECT_TRUE(peer.Says("got " + PeerHex(all)));
}

TEST_F(TcpStatementsTest, ReadTakesAtMostTheStringLength) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"send:" + PeerHex("0123456789"), "say:sent", "recv_all"}));
  TagVar* h = Open(peer.port());
  ASSERT_TRUE(peer.Says("sent"));
  ASSERT_TRUE(WaitReadable(h));
  TagVar* len = Val(0);
  TagVar* four = Val("xxxx");
  EXPECT_EQ(Exec("TcpRead(", {h, four, len}), 4);
  EXPECT_EQ(four->Bytes(), "0123");
  EXPECT_EQ(four->intValue, 5);
  TagVar* fixed = Val("zz");
  fixed->readOnly = 1;
  len->SetInt(33);
  EXPECT_EQ(Exec("TcpRead(", {h, fixed, len}), kTcpBadArgument);
  EXPECT_EQ(fixed->Bytes(), "zz");
  EXPECT_EQ(len->intValue, 33);
  TagVar* empty = Val("");
  EXPECT_EQ(Exec("TcpRead(", {h, empty, len}), 6);
  EXPECT_EQ(empty->Bytes(), "456789");
  // Nothing waits on the opened (non-blocking) socket: -1 at once, the
  // buffer unchanged.
  const auto start = Steady::now();
  EXPECT_EQ(Exec("TcpRead(", {h, empty, len}), -1);
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(len->intValue, -1);
  EXPECT_EQ(empty->Bytes(), "456789");
}

TEST_F(TcpStatementsTest, PeerCloseReadsZeroAndWritesFailWithoutASignal) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"close"}));
  TagVar* h = Open(peer.port());
  ASSERT_TRUE(peer.Says("done"));
  ASSERT_TRUE(WaitReadable(h));
  TagVar* len = Val(9);
  EXPECT_EQ(Exec("TcpRead(", {h, Val(0), len}), 0);
  EXPECT_EQ(len->intValue, 0);
  TagVar* n = Val(0);
  int32_t sent = 0;
  for (int i = 0; i < 10 && sent >= 0; ++i) {
    sent = Exec("TcpWrite(", {h, Val("data"), Val(0), n});
    std::this_thread::sleep_for(kStep);
  }
  EXPECT_EQ(sent, -1);
  EXPECT_EQ(n->intValue, -1);
}

TEST_F(TcpStatementsTest, RefusedPortEndsInTheTimeOutNeverInSuccess) {
  RefusingPort refusing;
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  const int before = OpenDescriptorCount();
  struct Case {
    int32_t seconds;
    uint64_t min_slept, max_slept;
  } const cases[] = {{0, 0, 0}, {1, 1000, 1100}};
  for (const Case& c : cases) {
    const uint64_t slept = clock.SleptMillis();
    TagVar* h = Val(0);
    EXPECT_EQ(Exec("TcpOpen(", {Val("127.0.0.1"), Val(refusing.port()), Val(c.seconds), h}),
              -9);
    EXPECT_EQ(h->intValue, -2);
    EXPECT_GE(clock.SleptMillis() - slept, c.min_slept) << c.seconds;
    EXPECT_LE(clock.SleptMillis() - slept, c.max_slept) << c.seconds;
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_EQ(SetSize(), 0u);
}

TEST_F(TcpStatementsTest, UnresolvableNameLeavesTheHandleAtMinusTwo) {
  TagVar* h = Val(5);
  EXPECT_EQ(Exec("TcpOpen(", {Val("no-such-host.invalid"), Val(80), Val(2), h}), -2);
  EXPECT_EQ(h->intValue, -2);
}

// Numbers that no statement opened reach no descriptor (standard output
// and error stay open); the sockets another line opened are everyone's.
TEST_F(TcpStatementsTest, HandlesNoStatementOpenedTouchNoSocket) {
  const int32_t handles[] = {0, 1, 2, kFirstSocketHandle - 1, 0x7ffffff0};
  for (const int32_t handle : handles) {
    TagVar* result = Val(5);
    EXPECT_EQ(Exec("TcpTest(", {Val(handle), result}), -1) << handle;
    EXPECT_EQ(result->intValue, -1) << handle;
    EXPECT_EQ(Exec("TcpRead(", {Val(handle), Val(""), result}), -1) << handle;
    EXPECT_EQ(Exec("TcpWrite(", {Val(handle), Val("x"), Val(0), result}), -1) << handle;
    TagVar* address = Val("kept");
    EXPECT_EQ(Exec("TcpAccept(", {Val(handle), result, address}), -1) << handle;
    EXPECT_EQ(address->Bytes(), "kept");
    TagVar* h = Val(handle);
    EXPECT_EQ(Exec("TcpClose(", {h}), -1) << handle;
  }
  EXPECT_NE(fcntl(1, F_GETFD), -1);
  EXPECT_NE(fcntl(2, F_GETFD), -1);
}

// A server line's listener and the socket this line accepts from it pass
// between lines as plain numbers: the other line reads, writes, tests and
// closes them (0), and they leave the set of the line that opened them.
TEST_F(TcpStatementsTest, AnyLineUsesAndClosesTheSocketsOfAnother) {
  engine::LineCallBase other_call;
  other_call.lineNo = 2;
  auto other = NewScript("empty.vts", other_call);
  TagVar* theirs = Val(0);
  ASSERT_GE(Exec(other.get(), "TcpServer(", {Val(0), Val(1), theirs}), kFirstSocketHandle);
  const int port = PortOf(theirs->intValue, services::SocketKind::kTcp, other.get());
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(port, {"send:" + PeerHex("ping"), "recv_all"}));
  TagVar* a = Accept(theirs, Val(""));
  ASSERT_GE(a->intValue, kFirstSocketHandle);
  // The accepted socket is the accepting line's; line 2 uses it.
  EXPECT_EQ(SetSize(), 1u);
  TagVar* b = Val(0);
  TagVar* len = Val(0);
  EXPECT_EQ(Exec(other.get(), "TcpRead(", {a, b, len}), 4);
  EXPECT_EQ(b->Bytes(), "ping");
  EXPECT_EQ(Exec(other.get(), "TcpWrite(", {a, Val("pong"), Val(0), len}), 4);
  EXPECT_EQ(Exec(other.get(), "TcpClose(", {a}), 0);
  EXPECT_EQ(a->intValue, -1);
  EXPECT_TRUE(peer.Says("got " + PeerHex("pong")));
  EXPECT_EQ(SetSize(), 0u);
  EXPECT_EQ(Exec("TcpClose(", {theirs}), 0);
  EXPECT_EQ(services::SocketSetOf(other.get())->size(), 0u);
  EXPECT_EQ(Exec(other.get(), "TcpCloseAll(", {}), 0);
}

TEST_F(TcpStatementsTest, AcceptNeverWaitsAndReadsTheAcceptedSocket) {
  int port = 0;
  TagVar* listening = Listen(&port);
  TagVar* a = Val(7);
  TagVar* address = Val("kept");
  const auto start = Steady::now();
  EXPECT_EQ(Exec("TcpAccept(", {listening, a, address}), -1);
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(a->intValue, -1);
  EXPECT_EQ(address->Bytes(), "kept");
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(port, {"send:6869", "say:sent", "recv_all"}));
  a = Accept(listening, address);
  EXPECT_GE(a->intValue, kFirstSocketHandle);
  EXPECT_EQ(address->Bytes(), "127.0.0.1");
  ASSERT_TRUE(peer.Says("sent"));
  TagVar* b = Val(0);
  TagVar* len = Val(0);
  EXPECT_EQ(Exec("TcpRead(", {a, b, len}), 2);
  EXPECT_EQ(b->Bytes(), "hi");
  // The port is taken: a second server fails with -1 (and its message).
  platform::RecordingMessageService messages;
  platform::ScopedMessageService scoped(&messages);
  TagVar* second = Val(3);
  EXPECT_EQ(Exec("TcpServer(", {Val(port), Val(1), second}), -1);
  EXPECT_EQ(second->intValue, -1);
  EXPECT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(SetSize(), 2u);
}

TEST_F(TcpStatementsTest, CloseAllClosesOnlyWhatIsLeft) {
  const size_t handles_before = services::SocketHandlesInUse();
  int port = 0;
  TagVar* listening = Listen(&port);
  TcpPeer first, second;
  ASSERT_TRUE(first.Connect(port, {"recv_all"}));
  TagVar* a1 = Accept(listening, Val(""));
  ASSERT_TRUE(second.Connect(port, {"recv_all"}));
  TagVar* a2 = Accept(listening, Val(""));
  const int32_t h2 = a2->intValue;
  EXPECT_EQ(Exec("TcpClose(", {a1}), 0);
  EXPECT_TRUE(first.Says("got "));
  // A descriptor opened now may get the number the closed socket had:
  // closing the rest must leave it alone.
  const int unrelated = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(unrelated, 0);
  EXPECT_EQ(Exec("TcpCloseAll(", {}), 0);
  EXPECT_TRUE(second.Says("got "));
  EXPECT_EQ(SetSize(), 0u);
  EXPECT_EQ(services::SocketHandlesInUse(), handles_before);
  EXPECT_EQ(Exec("TcpTest(", {Val(h2), Val(0)}), -1);
  EXPECT_EQ(Exec("TcpCloseAll(", {}), 0);
  EXPECT_NE(fcntl(unrelated, F_GETFD), -1);
  close(unrelated);
}

TEST_F(TcpStatementsTest, SocketsOfOtherKindsAreOutOfTheTcpStatementsReach) {
  using services::SocketKind;
  services::SocketSet& set = *services::SocketSetOf(script_.get());
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  const int32_t udp = set.Add(pair[0], SocketKind::kUdp);
  ASSERT_GE(udp, kFirstSocketHandle);
  EXPECT_EQ(set.Find(udp), -1);
  EXPECT_EQ(set.Find(udp, SocketKind::kHttpListener), -1);
  EXPECT_EQ(set.Find(udp, SocketKind::kUdp), pair[0]);
  // Neither "TcpClose(" nor "TcpCloseAll(" closes it.
  TagVar* h = Val(udp);
  EXPECT_NE(Exec("TcpClose(", {h}), 0);
  EXPECT_EQ(Exec("TcpCloseAll(", {}), 0);
  EXPECT_EQ(set.Find(udp, SocketKind::kUdp), pair[0]);
  EXPECT_FALSE(set.Close(udp, SocketKind::kTcp));
  EXPECT_TRUE(set.Close(udp, SocketKind::kUdp));
  EXPECT_EQ(SetSize(), 0u);
  close(pair[1]);
}

TEST_F(TcpStatementsTest, LineStopWakesABlockedRead) {
  int port = 0;
  TagVar* listening = Listen(&port);
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(port, {"recv_all"}));
  TagVar* a = Accept(listening, Val(""));
  TagVar* b = Val(0);
  TagVar* len = Val(0);
  auto read = std::async(std::launch::async, [&] { return Exec("TcpRead(", {a, b, len}); });
  // The accepted socket blocks: the read waits.
  EXPECT_EQ(read.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  script_->SetQuit(1);
  ASSERT_EQ(read.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_EQ(read.get(), 0);
  EXPECT_TRUE(peer.Says("got "));
}

TEST_F(TcpStatementsTest, LineStopEndsAPendingOpenWithoutALeak) {
  // Each way a line is stopped: the quit request, and the call's stop flag
  // alone (what the line drive raises when it takes the line down).
  struct Stop {
    const char* name;
    void (*raise)(engine::TagTelBasic& script, engine::LineCallBase& call);
    void (*clear)(engine::TagTelBasic& script, engine::LineCallBase& call);
  };
  const Stop kStops[] = {
      {"quit request", [](engine::TagTelBasic& s, engine::LineCallBase&) { s.SetQuit(1); },
       [](engine::TagTelBasic& s, engine::LineCallBase&) { s.SetQuit(0); }},
      {"call's stop flag", [](engine::TagTelBasic&, engine::LineCallBase& c) { c.RaiseStop(); },
       [](engine::TagTelBasic&, engine::LineCallBase& c) { c.stopFlag.store(0); }},
  };
  RefusingPort refusing;
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv_all"}));
  for (const Stop& stop : kStops) {
    SCOPED_TRACE(stop.name);
    const int before = OpenDescriptorCount();
    TagVar* h = Val(0);
    // A negative time-out never runs out: only the stop ends the wait.
    auto open = std::async(std::launch::async, [&] {
      return Exec("TcpOpen(", {Val("127.0.0.1"), Val(refusing.port()), Val(-1), h});
    });
    EXPECT_EQ(open.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    stop.raise(*script_, call_);
    const bool ended = open.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    if (!ended) script_->SetQuit(1);  // lets the open go before the test fails
    ASSERT_TRUE(ended);
    EXPECT_EQ(open.get(), -9);
    EXPECT_EQ(h->intValue, -2);
    EXPECT_EQ(OpenDescriptorCount(), before);
    // While the stop is raised an open does not start at all.
    EXPECT_EQ(Exec("TcpOpen(", {Val("127.0.0.1"), Val(peer.port()), Val(5), h}), -9);
    EXPECT_EQ(SetSize(), 0u);
    stop.clear(*script_, call_);
  }
}

TEST_F(TcpStatementsTest, DeletingTheScriptClosesItsSockets) {
  const size_t handles_before = services::SocketHandlesInUse();
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv_all"}));
  Open(peer.port());
  int port = 0;
  Listen(&port);
  EXPECT_EQ(services::SocketHandlesInUse(), handles_before + 2);
  script_.reset();
  EXPECT_TRUE(peer.Says("got "));
  EXPECT_EQ(services::SocketHandlesInUse(), handles_before);
}

TEST_F(TcpStatementsTest, ScriptTextCompilesAndRunsTheStatements) {
  TcpPeer peer;
  ASSERT_TRUE(peer.Listen({"recv_all"}));
  testing_support::WriteFile(
      "tcp.vts", "h = 0\nn = 0\nt = 0\n"
                 "r = TcpOpen(\"127.0.0.1\", " + std::to_string(peer.port()) + ", 5, h)\n"
                 "w = TcpWrite(h, \"ping\", 0, n)\n"
                 "e = TcpTest(h, t)\n"
                 "TcpCloseAll()\n"
                 "c = TcpClose(h)\n"
                 "return(0)\n");
  auto script = NewScript("tcp.vts", call_);
  ASSERT_EQ(script->compileState.errorCount, 0);
  EXPECT_EQ(script->Run(), 0);
  EXPECT_TRUE(peer.Says("got " + PeerHex("ping")));
  auto value = [&](const char* name) {
    engine::TagVar* v = nullptr;
    script->FindVariable(name, &v);
    return v != nullptr ? v->intValue : INT32_MIN;
  };
  EXPECT_GE(value("r"), kFirstSocketHandle);
  EXPECT_EQ(value("w"), 4);
  EXPECT_EQ(value("n"), 4);
  EXPECT_EQ(value("e"), 0);
  EXPECT_EQ(value("t"), 0);
  // Closed by "TcpCloseAll(" already: the handle is no longer the line's.
  EXPECT_EQ(value("c"), -1);
  EXPECT_EQ(value("h"), -1);
}

}  // namespace
