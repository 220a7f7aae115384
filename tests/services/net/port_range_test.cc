// Ports outside 0-65535 given to the statements that take one ("TcpOpen(",
// "TcpServer(", "HttpServerOpen(", "UdpOpen(", "UdpSend("; "Http(" with
// the client's tests): each refuses them with its failure result and a log
// line, and a port that would wrap onto a socket of the line reaches
// nothing.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "services/net/socket_handles.h"
#include "services/net/socket_set.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;
using services::SocketKind;

using PortRangeTest = services_test::TcpScriptTest;

TEST_F(PortRangeTest, PortsOutsideTheRangeAreRefused) {
  services_test::CapturedLog log;
  // The sockets a wrapped port would reach.
  TagVar* tcp = Val(0);
  ASSERT_GE(Exec("TcpServer(", {Val(0), Val(0), tcp}), services::kFirstSocketHandle);
  const int tcp_port = PortOf(tcp->intValue, SocketKind::kTcp);
  TagVar* udp = Val(Exec("UdpOpen(", {Val(0)}));
  ASSERT_GE(udp->intValue, services::kFirstSocketHandle);
  const int udp_port = PortOf(udp->intValue, SocketKind::kUdp);
  const auto host = [this] { return Val("127.0.0.1"); };
  struct Case {
    const char* keyword;
    std::vector<TagVar*> args;
    int32_t result;
    int handle_arg;  // the argument that gets the handle, or -1
  } cases[] = {
      {"TcpOpen(", {host(), Val(tcp_port + 65536), Val(1), Val(7)}, -2, 3},
      {"TcpOpen(", {host(), Val(-1), Val(1), Val(7)}, -2, 3},
      {"TcpServer(", {Val(70000), Val(0), Val(7)}, -1, 2},
      {"TcpServer(", {Val(-1), Val(0), Val(7)}, -1, 2},
      {"HttpServerOpen(", {Val(70000)}, -1, -1},
      {"HttpServerOpen(", {Val(-1)}, -1, -1},
      {"UdpOpen(", {Val(70000)}, -4, -1},
      {"UdpOpen(", {Val(-1)}, -4, -1},
      {"UdpSend(", {udp, host(), Val(udp_port + 65536), Val("x")}, -2, -1},
      {"UdpSend(", {udp, host(), Val(99999), Val("x")}, -2, -1},
      {"UdpSend(", {udp, host(), Val(-1), Val("x")}, -2, -1},
      {"UdpSend(", {udp, host(), Val(65535), Val("x")}, 1, -1},  // the top of the range
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(Exec(c.keyword, c.args), c.result) << "case " << i << ": " << c.keyword;
    if (c.handle_arg >= 0) {
      EXPECT_EQ(c.args[c.handle_arg]->intValue, c.result) << "case " << i << ": " << c.keyword;
    }
  }
  // Nothing reached the line's own sockets.
  EXPECT_EQ(Exec("TcpAccept(", {tcp, Val(0), Val(0)}), -1);
  EXPECT_EQ(Exec("UdpTest(", {udp}), 0);
  EXPECT_EQ(services::SocketSetOf(script_.get())->size(), 2u);
  const std::string text = log.Text();
  for (const int port : {tcp_port + 65536, -1, 70000, udp_port + 65536, 99999}) {
    EXPECT_NE(text.find("port " + std::to_string(port) + " is not 0-65535"), std::string::npos)
        << port << "\n" << text;
  }
}

}  // namespace
