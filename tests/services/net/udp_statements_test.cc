// The UDP statements on a line's socket set against real peers on loopback
// (socat and python3): round trips with the sender's address and port,
// "UdpTest(" before and after a datagram, datagrams over the receive limit,
// the argument checks of "UdpSend(", a port opened twice, the script's end
// freeing its ports, the line's stop ending a waiting "UdpRecv(", and a
// script run through vtsrun.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/message_service.h"
#include "services/net/socket_handles.h"
#include "services/net/socket_results.h"
#include "services/net/socket_set.h"
#include "services/net/udp_socket.h"
#include "tests/frame/tcp_peer.h"
#include "tests/platform/spawned_program.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/services/vtsrun_script.h"

namespace {

using engine::TagVar;
using services::kFirstSocketHandle;
using services::SocketKind;
using testing_support::OpenDescriptorCount;
using testing_support::PeerHex;
using testing_support::SpawnedProgram;

using Steady = std::chrono::steady_clock;

constexpr const char* kLogName = "udp_log.txt";
constexpr auto kStep = std::chrono::milliseconds(20);
constexpr int kSteps = 250;  // 5 s of steps

// A python3 UDP peer on a loopback port (written to a file). Actions:
//   recv               receives one datagram: "got <hex> from <port>"
//   send:<port>:<hex>  sends the bytes to 127.0.0.1:<port>
//   fill:<port>:<n>    sends n bytes (0, 1, 2, ... 250 repeating)
constexpr const char* kUdpPeerProgram = R"PY(
import os, socket, sys
port_file, actions = sys.argv[1], sys.argv[2:]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(('127.0.0.1', 0))
s.settimeout(20)
with open(port_file + '.tmp', 'w') as f:
    f.write(str(s.getsockname()[1]))
os.rename(port_file + '.tmp', port_file)
print('ready', flush=True)
for a in actions:
    k, _, v = a.partition(':')
    if k == 'recv':
        data, sender = s.recvfrom(65536)
        print('got %s from %d' % (data.hex(), sender[1]), flush=True)
    elif k == 'send':
        port, _, hexed = v.partition(':')
        s.sendto(bytes.fromhex(hexed), ('127.0.0.1', int(port)))
    elif k == 'fill':
        port, _, n = v.partition(':')
        s.sendto(bytes(i % 251 for i in range(int(n))), ('127.0.0.1', int(port)))
print('done', flush=True)
)PY";

class UdpPeer {
 public:
  bool Start(const std::vector<std::string>& actions) {
    const std::string port_file = dir_.File("port");
    std::vector<std::string> args{"-c", kUdpPeerProgram, port_file};
    args.insert(args.end(), actions.begin(), actions.end());
    if (!program_.Start("/usr/bin/python3", args)) return false;
    if (!program_.WaitForLine("ready", 20000)) return false;
    port_ = std::stoi(testing_support::ReadFile(port_file).value_or("0"));
    return true;
  }
  int port() const { return port_; }
  bool Says(const std::string& line) { return program_.WaitForLine(line, 10000); }

 private:
  testing_support::TempDir dir_;
  SpawnedProgram program_;
  int port_ = 0;
};

// A loopback port free at the time of the call.
int FreeUdpPort() {
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

std::string Socat() { return "/usr/bin/socat"; }

class UdpStatementsTest : public services_test::TcpScriptTest {
 protected:
  std::string Log() { return log_.Text(); }

  // "UdpOpen(" of a port (0: any): the handle variable and the bound port.
  TagVar* Open(int* port, int asked = 0) {
    TagVar* h = Val(Exec("UdpOpen(", {Val(asked)}));
    EXPECT_GE(h->intValue, kFirstSocketHandle);
    const int socket = services::SocketSetOf(script_.get())->Find(h->intValue, SocketKind::kUdp);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(socket, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return h;
  }
  // Polls "UdpTest(" until a datagram waits.
  bool WaitDatagram(TagVar* h) {
    for (int i = 0; i < kSteps; ++i) {
      if (Exec("UdpTest(", {h}) == 1) return true;
      std::this_thread::sleep_for(kStep);
    }
    return false;
  }
  // The variables of one "UdpRecv(", holding marks until it sets them.
  struct Received {
    TagVar *address, *port, *data;
  };
  Received Marked() { return {Val("addr"), Val(-7), Val("data")}; }
  int32_t Recv(TagVar* h, const Received& r) {
    return Exec("UdpRecv(", {h, r.address, r.port, r.data});
  }
  static void ExpectMarked(const Received& r) {
    EXPECT_EQ(r.address->Bytes(), "addr");
    EXPECT_EQ(r.port->intValue, -7);
    EXPECT_EQ(r.data->Bytes(), "data");
  }

  services_test::CapturedLog log_{kLogName};
};

TEST_F(UdpStatementsTest, RoundTripsWithSocatAndPython) {
  int port = 0;
  TagVar* h = Open(&port);
  EXPECT_EQ(Exec("UdpTest(", {h}), 0);
  // socat echoes one datagram back to its sender.
  const int echo_port = FreeUdpPort();
  SpawnedProgram echo;
  ASSERT_TRUE(echo.Start(Socat(), {"-T", "10", "UDP-RECVFROM:" + std::to_string(echo_port) +
                                                   ",bind=127.0.0.1", "PIPE"}));
  const std::string bytes("he\0llo\xff\x80", 8);
  bool echoed = false;
  // socat may not listen yet: a lost datagram is sent again.
  for (int i = 0; i < 50 && !echoed; ++i) {
    EXPECT_EQ(Exec("UdpSend(", {h, Val("127.0.0.1"), Val(echo_port), Val(bytes)}), 8);
    for (int j = 0; j < 10 && !echoed; ++j) {
      echoed = Exec("UdpTest(", {h}) == 1;
      if (!echoed) std::this_thread::sleep_for(kStep);
    }
  }
  ASSERT_TRUE(echoed);
  Received r = Marked();
  EXPECT_EQ(Recv(h, r), 8);
  EXPECT_EQ(r.data->kind, engine::kVarString);
  EXPECT_EQ(r.data->Bytes(), bytes);
  EXPECT_EQ(r.address->Bytes(), "127.0.0.1");
  EXPECT_EQ(r.port->intValue, echo_port);
  EXPECT_EQ(echo.Wait(10000), 0);

  // python3 receives by name ("localhost") and answers.
  UdpPeer peer;
  const std::string answer = "answer\r\n";
  ASSERT_TRUE(peer.Start({"recv", "send:" + std::to_string(port) + ":" + PeerHex(answer)}));
  EXPECT_EQ(Exec("UdpSend(", {h, Val("localhost"), Val(peer.port()), Val("ping")}), 4);
  EXPECT_TRUE(peer.Says("got " + PeerHex("ping") + " from " + std::to_string(port)));
  ASSERT_TRUE(WaitDatagram(h));
  r = Marked();
  EXPECT_EQ(Recv(h, r), static_cast<int32_t>(answer.size()));
  EXPECT_EQ(r.data->Bytes(), answer);
  EXPECT_EQ(r.port->intValue, peer.port());
  EXPECT_EQ(Exec("UdpClose(", {h}), 0);
  EXPECT_EQ(services::SocketSetOf(script_.get())->size(), 0u);
}

// Another line's socket: this line sends, tests, receives and closes it
// (0); it leaves the set of the line that opened it.
TEST_F(UdpStatementsTest, AnyLineUsesAndClosesTheSocketOfAnother) {
  engine::LineCallBase other_call;
  other_call.lineNo = 2;
  auto other = NewScript("empty.vts", other_call);
  TagVar* h = Val(Exec(other.get(), "UdpOpen(", {Val(0)}));
  ASSERT_GE(h->intValue, kFirstSocketHandle);
  const int port = PortOf(h->intValue, SocketKind::kUdp, other.get());
  EXPECT_EQ(Exec("UdpSend(", {h, Val("127.0.0.1"), Val(port), Val("hi")}), 2);
  ASSERT_TRUE(WaitDatagram(h));
  const Received r = Marked();
  EXPECT_EQ(Recv(h, r), 2);
  EXPECT_EQ(r.data->Bytes(), "hi");
  EXPECT_EQ(r.port->intValue, port);
  EXPECT_EQ(Exec("UdpClose(", {h}), 0);
  EXPECT_EQ(services::SocketSetOf(other.get())->size(), 0u);
  EXPECT_EQ(Exec(other.get(), "UdpClose(", {h}), -1);
}

TEST_F(UdpStatementsTest, TestShowsAWaitingDatagramAndRecvTakesItAtOnce) {
  int port = 0;
  TagVar* h = Open(&port);
  EXPECT_EQ(Exec("UdpTest(", {h}), 0);
  testing_support::WriteFile("datagram", "from socat");
  std::string err;
  ASSERT_EQ(testing_support::RunProgram(
                Socat(), {"-u", "OPEN:datagram", "UDP-SENDTO:127.0.0.1:" + std::to_string(port)},
                &err),
            0)
      << err;
  ASSERT_TRUE(WaitDatagram(h));
  EXPECT_EQ(Exec("UdpTest(", {h}), 1);
  Received r = Marked();
  const auto start = Steady::now();
  EXPECT_EQ(Recv(h, r), 10);
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(r.data->Bytes(), "from socat");
  EXPECT_EQ(r.address->Bytes(), "127.0.0.1");
  EXPECT_GT(r.port->intValue, 0);
  EXPECT_EQ(Exec("UdpTest(", {h}), 0);
}

TEST_F(UdpStatementsTest, DatagramsOverTheLimitGiveMinusOneAndAreDropped) {
  int port = 0;
  TagVar* h = Open(&port);
  const std::string to = std::to_string(port);
  UdpPeer peer;
  ASSERT_TRUE(peer.Start({"fill:" + to + ":10240", "fill:" + to + ":10241",
                          "fill:" + to + ":20000", "send:" + to + ":" + PeerHex("end")}));
  ASSERT_TRUE(peer.Says("done"));
  struct Case {
    int32_t result;
    size_t size;
  } const cases[] = {{10240, 10240}, {-1, 0}, {-1, 0}, {3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    ASSERT_TRUE(WaitDatagram(h));
    Received r = Marked();
    EXPECT_EQ(Recv(h, r), c.result);
    if (c.result < 0) {
      ExpectMarked(r);
      continue;
    }
    ASSERT_EQ(r.data->Bytes().size(), c.size);
    EXPECT_EQ(r.port->intValue, peer.port());
    if (c.size == 10240) {
      EXPECT_EQ(static_cast<unsigned char>(r.data->Bytes()[300]), 300 % 251);
    }
  }
  const std::string log = Log();
  for (const char* size : {"10241", "20000"}) {
    EXPECT_NE(log.find(std::string("UdpRecv: a datagram of ") + size + " bytes from 127.0.0.1:" +
                       std::to_string(peer.port()) + " is longer than 10240, dropped"),
              std::string::npos)
        << log;
  }
}

TEST_F(UdpStatementsTest, SendChecksItsArgumentsBeforeTheSocket) {
  int port = 0;
  TagVar* h = Open(&port);
  TagVar* tcp = Val(0);
  ASSERT_GE(Exec("TcpServer(", {Val(0), Val(1), tcp}), kFirstSocketHandle);
  TagVar* none = Val(0x7ffffff0);
  struct Case {
    const char* label;
    TagVar *handle, *host, *data;
    int32_t result;
  } const cases[] = {
      {"empty data", h, Val("127.0.0.1"), Val(""), services::kUdpBadData},
      {"integer data", h, Val("127.0.0.1"), Val(42), services::kUdpBadData},
      {"bad data before bad host", h, Val(7), Val(""), services::kUdpBadData},
      {"integer host", h, Val(7), Val("x"), services::kUdpBadHost},
      {"unresolvable host", h, Val("x.invalid"), Val("x"), -2},
      {"handle not held", none, Val("127.0.0.1"), Val("x"), -1},
      {"a TCP handle", tcp, Val("127.0.0.1"), Val("x"), -1},
      {"to itself", h, Val("127.0.0.1"), Val("self"), 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Exec("UdpSend(", {c.handle, c.host, Val(port), c.data}), c.result) << c.label;
  }
  // Only the datagram to itself went out.
  ASSERT_TRUE(WaitDatagram(h));
  Received r = Marked();
  EXPECT_EQ(Recv(h, r), 4);
  EXPECT_EQ(r.data->Bytes(), "self");
  EXPECT_EQ(r.port->intValue, port);
  EXPECT_EQ(Exec("UdpTest(", {h}), 0);
  // The other statements reach no socket through a handle the line does not
  // hold as UDP, and leave the variables alone.
  for (TagVar* other : {none, tcp}) {
    EXPECT_EQ(Exec("UdpTest(", {other}), -1);
    r = Marked();
    EXPECT_EQ(Recv(other, r), -1);
    ExpectMarked(r);
    EXPECT_EQ(Exec("UdpClose(", {other}), -1);
  }
  EXPECT_GE(services::SocketSetOf(script_.get())->Find(tcp->intValue), 0);
  EXPECT_EQ(Log().find("IpAddr Err"), std::string::npos);
}

TEST_F(UdpStatementsTest, ASecondOpenOfAPortGivesMinusFourAndItsMessage) {
  platform::RecordingMessageService messages;
  platform::ScopedMessageService scoped(&messages);
  int port = 0;
  TagVar* first = Open(&port);
  const int before = OpenDescriptorCount();
  const size_t handles = services::SocketHandlesInUse();
  EXPECT_EQ(Exec("UdpOpen(", {Val(port)}), -4);
  // The socket that could not be bound is closed.
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_EQ(services::SocketHandlesInUse(), handles);
  const std::string text = "Error #98 occurred while bind socket! port=[" + std::to_string(port) + "]";
  const auto shown = messages.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, text);
  EXPECT_EQ(shown[0].caption, "Server: bind()...");
  EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
  EXPECT_NE(Log().find("UdpOpen: beep, Server: bind()...: " + text), std::string::npos);
  // Closed, the port opens again; a second close finds nothing.
  EXPECT_EQ(Exec("UdpClose(", {first}), 0);
  EXPECT_EQ(Exec("UdpClose(", {first}), -1);
  int again = 0;
  Open(&again, port);
  EXPECT_EQ(again, port);
  EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(UdpStatementsTest, TheScriptsEndFreesItsPortsForTheNextScript) {
  platform::RecordingMessageService messages;
  platform::ScopedMessageService scoped(&messages);
  const size_t handles = services::SocketHandlesInUse();
  int first_port = 0, second_port = 0;
  Open(&first_port);
  Open(&second_port);
  // A reload: the old main script goes, the new one opens the same port.
  script_ = NewScript("empty.vts", call_);
  EXPECT_EQ(services::SocketHandlesInUse(), handles);
  int again = 0;
  Open(&again, first_port);
  EXPECT_EQ(again, first_port);
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(UdpStatementsTest, LineStopEndsAWaitingRecv) {
  int port = 0;
  TagVar* h = Open(&port);
  Received r = Marked();
  auto recv = std::async(std::launch::async, [&] { return Recv(h, r); });
  // The socket blocks: the read waits.
  EXPECT_EQ(recv.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  const auto start = Steady::now();
  script_->RequestStop();
  ASSERT_EQ(recv.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(recv.get(), 0);
  ExpectMarked(r);
  // Later reads, also on a socket opened after the stop, never wait.
  int other_port = 0;
  TagVar* later = Open(&other_port);
  for (TagVar* socket : {h, later}) {
    const auto again = Steady::now();
    EXPECT_EQ(Recv(socket, r), 0);
    EXPECT_LT(Steady::now() - again, std::chrono::milliseconds(500));
    ExpectMarked(r);
  }
}

TEST(UdpVtsrun, AScriptSendsToItselfAndCannotOpenItsPortTwice) {
  const int port = FreeUdpPort();
  const std::string p = std::to_string(port);
  testing_support::TempDir dir;
  const testing_support::VtsrunOutcome o = services_test::RunScript(
      dir, "a = \"\"\npt = 0\nd = \"\"\n"
           "h = UdpOpen(" + p + ")\nx = 0\nif(h > 0)\n{\nx = 1\n}\nPrint(x)\n"
           "r = UdpTest(h)\nPrint(r)\n"
           "r = UdpSend(h, \"127.0.0.1\", " + p + ", \"hello\")\nPrint(r)\n"
           "r = UdpSend(h, 5, " + p + ", \"hello\")\nPrint(r)\n"
           "Sleep(0.1)\nr = UdpTest(h)\nPrint(r)\n"
           "r = UdpRecv(h, a, pt, d)\nPrint(r)\nPrint(a)\nPrint(d)\n"
           "x = 0\nif(pt == " + p + ")\n{\nx = 1\n}\nPrint(x)\n"
           "r = UdpOpen(" + p + ")\nPrint(r)\n"
           "r = UdpClose(h)\nPrint(r)\n");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, services_test::Printed({"1", "0", "5", "-200", "1", "5", "127.0.0.1", "hello",
                                           "1", "-4", "0"}));
}

}  // namespace
