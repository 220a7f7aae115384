// The TCP statements in real time: a refused connect runs out its whole
// time-out, and the real vtsrun tool serves a python3 client from a script
// and, when its time-out raises the line's stop, a script blocked in a
// read on the accepted socket ends at once instead of hanging the line.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/frame/tcp_peer.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/vtsrun_runner.h"

namespace {

using testing_support::PeerHex;
using testing_support::RefusingPort;
using testing_support::TcpPeer;

using Steady = std::chrono::steady_clock;

class TcpStatementsSlowTest : public services_test::TcpScriptTest {};

TEST_F(TcpStatementsSlowTest, RefusedConnectWaitsTheWholeTimeOut) {
  RefusingPort refusing;
  engine::TagVar* h = Val(0);
  const auto start = Steady::now();
  EXPECT_EQ(Exec("TcpOpen(", {Val("127.0.0.1"), Val(refusing.port()), Val(1), h}), -9);
  const auto took = Steady::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(1000));
  EXPECT_LT(took, std::chrono::milliseconds(2000));
  EXPECT_EQ(h->intValue, -2);
}

// A script that listens on port, waits for one client (polling without
// waiting), answers its first bytes and then reads again (blocking).
std::string ServerScript(int port) {
  return "SetPrintTo(\"\")\nh = 0\na = -1\ns = \"\"\nb = 0\nn = 0\nw = 0\n"
         "r = TcpServer(" + std::to_string(port) + ", 1, h)\n"
         "while(a < 0)\n{\nTcpAccept(h, a, s)\nSleep(0.02)\n}\n"
         "Print(s)\nt = 0\nwhile(t < 1)\n{\nTcpTest(a, t)\nSleep(0.02)\n}\n"
         "TcpRead(a, b, n)\nPrint(b)\nTcpWrite(a, \"pong\", 0, w)\n"
         "TcpRead(a, b, n)\nPrint(n)\nreturn(0)\n";
}

TEST(TcpVtsrunSlowTest, ScriptServesAClientAndTheStopWakesItsBlockedRead) {
  testing_support::TempDir dir;
  int port = 0;
  {
    RefusingPort free_port;  // a port number no one else is using now
    port = free_port.port();
  }
  testing_support::WriteFile(dir.File("s.vts"), ServerScript(port));
  testing_support::VtsrunOutcome outcome;
  const auto start = Steady::now();
  std::thread tool([&] {
    outcome = testing_support::RunVtsrun(dir.path(), {"--timeout", "3", "s.vts"}, 20000);
  });
  TcpPeer client;
  const bool connected =
      client.Connect(port, {"send:" + PeerHex("ping"), "recv:4", "recv_all"}, /*retry=*/true);
  tool.join();
  const auto took = Steady::now() - start;
  ASSERT_TRUE(connected) << client.errors();
  EXPECT_TRUE(client.Says("got " + PeerHex("pong")));
  // The time-out's stop ended the blocked read (the socket was shut down)
  // and the run stopped after it, well before the tool's 5 s of grace.
  EXPECT_EQ(outcome.status, 3) << outcome.err;
  EXPECT_LT(took, std::chrono::milliseconds(7000));
  EXPECT_EQ(outcome.out, "0 : 127.0.0.1\n0 : ping\n");
  EXPECT_TRUE(client.Says("got "));
}

}  // namespace
