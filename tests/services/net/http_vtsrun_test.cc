// The HTTP statements in a script run by vtsrun: "Http(" against python3's
// http.server, then a listener answering curl's POST.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <string>

#include "tests/services/net/http_peer.h"
#include "tests/services/vtsrun_script.h"

namespace {

// A loopback port that was free a moment ago.
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

TEST(HttpVtsrun, ClientAndServer) {
  testing_support::TempDir dir;
  testing_support::TempDir files;
  testing_support::WriteFile(files.File("f.txt"), "file text");
  services_test::PortPeer folder;
  ASSERT_TRUE(folder.Start(services_test::kFolderServer, {files.path()}));
  const int port = FreePort();
  auto curl = std::async(std::launch::async, [port] {
    testing_support::SpawnedProgram p;
    p.Start("/usr/bin/curl", {"-s", "--retry", "100", "--retry-delay", "0", "--retry-connrefused",
                              "-H", "Expect:", "--data-binary", "ping",
                              "http://127.0.0.1:" + std::to_string(port) + "/x"});
    p.Wait(20000);
    return p.stdout_text();
  });
  const std::string script =
      "b = \"\"\nh = \"\"\na = \"\"\n"
      "r = Http(\"get\", \"http://127.0.0.1:" +
      std::to_string(folder.port()) +
      "/f.txt\", 0, \"\", b, h)\nPrint(r)\nPrint(b)\n"
      "l = HttpServerOpen(" +
      std::to_string(port) +
      ")\n"
      "c = -1\nwhile(c < 0)\n{\nSleep(0.01)\nc = HttpServerRecv(l, h, b, "
      "a)\n}\n"
      "Print(b)\nPrint(a)\nr = HttpServerSend(c, \"\", \"pong\")\nPrint(r)\n"
      "r = HttpServerClose(l)\nPrint(r)\n";
  const testing_support::VtsrunOutcome o = services_test::RunScript(dir, script);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, services_test::Printed({"9", "file text", "ping", "127.0.0.1", "4", "0"}));
  EXPECT_EQ(curl.get(), "pong");
}

}  // namespace
