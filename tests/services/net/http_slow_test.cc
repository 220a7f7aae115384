// The HTTP client's real-time bounds: a connect that is refused gives up
// after 4 s, a response head that never comes after 8 s, and a response
// whose body stalls ends 8 s after the request as a failure (nothing of
// the body is kept).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/frame/tcp_peer.h"
#include "tests/services/net/http_peer.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;
using Steady = std::chrono::steady_clock;

class HttpSlowTest : public services_test::TcpScriptTest {
 protected:
  // "Http(": the result and the seconds it took.
  int32_t Get(int port, std::string* body, double* seconds) {
    TagVar *b = Val(0), *h = Val(0);
    const auto start = Steady::now();
    const int32_t r = Exec(
        "Http(",
        {Val("GET"), Val("http://127.0.0.1:" + std::to_string(port) + "/"), Val(0), Val(""), b, h});
    *seconds = std::chrono::duration<double>(Steady::now() - start).count();
    *body = std::string(b->Bytes());
    return r;
  }
};

TEST_F(HttpSlowTest, TimeOuts) {
  std::string body;
  double seconds = 0;
  {
    testing_support::RefusingPort refusing;
    EXPECT_EQ(Get(refusing.port(), &body, &seconds), -1);
    EXPECT_GE(seconds, 3.9);
    EXPECT_LT(seconds, 6.0);
  }
  {
    services_test::RawHttpServer silent;
    ASSERT_TRUE(silent.Start({"sleep:12000"}));
    EXPECT_EQ(Get(silent.port(), &body, &seconds), 0);
    EXPECT_GE(seconds, 7.9);
    EXPECT_LT(seconds, 10.0);
  }
  {
    services_test::RawHttpServer stalled;
    ASSERT_TRUE(stalled.Start(
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab", "sleep:1000", "cd", "sleep:12000"}));
    EXPECT_EQ(Get(stalled.port(), &body, &seconds), 0);
    EXPECT_EQ(body, "");
    EXPECT_GE(seconds, 7.9);
    EXPECT_LT(seconds, 10.0);
  }
}

}  // namespace
