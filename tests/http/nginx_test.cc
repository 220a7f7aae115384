// "Http(" and the server statements beside nginx (started once per run by
// the test servers helper): bodies by length and in chunks as nginx sends
// them, and nginx proxying a request to a script's listener.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <future>
#include <string>

#include "services/net/socket_handles.h"
#include "services/net/socket_set.h"
#include "tests/services/tcp_script_fixture.h"
#include "tests/test_servers.h"

namespace {

using engine::TagVar;

class NginxTest : public services_test::TcpScriptTest {
 protected:
  void SetUp() override {
    TcpScriptTest::SetUp();
    const auto server = testing_support::FindTestServer(VTTEL_HTTP_SERVERS_STATE, "nginx");
    ASSERT_TRUE(server.has_value()) << "nginx is not running";
    nginx_ = *server;
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(nginx_.port) + path;
  }
  // A file nginx serves at path.
  void Serve(const std::string& path, const std::string& bytes) {
    testing_support::WriteFile(nginx_.folder + "/www" + path, bytes);
  }
  int32_t Get(engine::TagTelBasic* script, const std::string& url, std::string* body,
              std::string* head) {
    TagVar *b = Val(0), *h = Val(0);
    const int32_t r = Exec(script, "Http(", {Val("GET"), Val(url), Val(0), Val(""), b, h});
    *body = std::string(b->Bytes());
    *head = std::string(h->Bytes());
    return r;
  }

  testing_support::TestServer nginx_;
};

std::string Pattern(size_t n) {
  std::string bytes(n, '\0');
  // Printable, so the chunked location's includes find nothing to do.
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>('a' + (i * 7) % 26);
  return bytes;
}

TEST_F(NginxTest, BodiesByLengthAndInChunks) {
  for (const size_t n : {size_t{0}, size_t{1}, size_t{100 * 1024}, size_t{3 * 1024 * 1024}}) {
    const std::string bytes = Pattern(n);
    const std::string name = "/f" + std::to_string(n) + ".txt";
    Serve(name, bytes);
    Serve("/chunked" + name, bytes);
    std::string body, head;
    EXPECT_EQ(Get(script_.get(), Url(name), &body, &head), static_cast<int32_t>(n));
    EXPECT_TRUE(body == bytes) << n;
    EXPECT_NE(head.find("Content-Length: " + std::to_string(n)), std::string::npos) << head;
    EXPECT_EQ(Get(script_.get(), Url("/chunked" + name), &body, &head), static_cast<int32_t>(n));
    EXPECT_TRUE(body == bytes) << n;
    // nginx gives an empty file its length even there.
    if (n > 0) {
      EXPECT_NE(head.find("Transfer-Encoding: chunked"), std::string::npos) << head;
    }
  }
  std::string body, head;
  const int32_t missing = Get(script_.get(), Url("/missing"), &body, &head);
  EXPECT_EQ(missing, static_cast<int32_t>(body.size()));
  EXPECT_EQ(head.rfind("HTTP/1.1 404 ", 0), 0u);
}

TEST_F(NginxTest, ProxiesToAScript) {
  const int32_t listener = Exec("HttpServerOpen(", {Val(0)});
  ASSERT_GE(listener, services::kFirstSocketHandle);
  const int s =
      services::SocketSetOf(script_.get())->Find(listener, services::SocketKind::kHttpListener);
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  const int port = ntohs(a.sin_port);
  // Line 2 asks nginx; nginx asks line 1's listener.
  engine::LineCallBase call2;
  call2.lineNo = 2;
  auto line2 = NewScript("empty.vts", call2);
  std::string body, head;
  auto client = std::async(std::launch::async, [&] {
    return Get(line2.get(), Url("/proxy/" + std::to_string(port) + "/script?q=1"), &body, &head);
  });
  TagVar *h = Val(0), *b = Val(0), *addr = Val(0);
  int32_t c = -1;
  for (int i = 0; i < 1000 && c < 0; ++i) {
    c = Exec("HttpServerRecv(", {Val(listener), h, b, addr});
    if (c < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(c, 0);
  EXPECT_EQ(std::string(h->Bytes()).rfind("GET /script?q=1 HTTP/1.1\r\n", 0), 0u);
  EXPECT_EQ(std::string(addr->Bytes()), "127.0.0.1");
  EXPECT_EQ(Exec("HttpServerSend(", {Val(c), Val(""), Val("from the script")}), 15);
  EXPECT_EQ(client.get(), 15);
  EXPECT_EQ(body, "from the script");
  EXPECT_NE(head.find("Server: nginx"), std::string::npos);
}

}  // namespace
