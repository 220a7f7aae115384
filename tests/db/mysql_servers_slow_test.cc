// The MySQL back end against a private MariaDB server of its own, which the
// tests stop and start again: a restart between statements, a reconnect
// that failed while the server was down, and a connection the server closed
// after its wait_timeout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "services/mysql_client.h"
#include "services/mysql_data.h"
#include "tests/db/db_server_fixture.h"
#include "tests/db/mysql_server_env.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagMySqlData;

// The private server's port, fixed for the process before the client
// library reads it.
const int private_port = [] {
  const int port = testing_support::FreeLoopbackPort();
  SetMySqlServerEnv(port, "");
  return port;
}();

std::string Value(TagMySqlData& data, int32_t col, int32_t row) {
  char buf[services::kDbValueBytes];
  data.GetValByIndex(buf, col, row);
  return buf;
}

class MySqlPrivateServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDbClientLibraries(); }
  void SetUp() override {
    ASSERT_NE(services::MySqlLibrary(), nullptr);
    ASSERT_TRUE(Start());
  }
  void TearDown() override { Stop(); }

  bool Start() {
    const std::string command = std::string("python3 ") + VTTEL_TEST_SERVERS_PY +
                                " start mariadb --port " + std::to_string(private_port) +
                                " --state " + state_;
    return std::system(command.c_str()) == 0;
  }
  void Stop() {
    const std::string command =
        std::string("python3 ") + VTTEL_TEST_SERVERS_PY + " stop --state " + state_;
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  testing_support::TempDir dir_;
  const std::string state_ = dir_.File("state");
};

TEST_F(MySqlPrivateServerTest, ARestartBetweenStatementsEndsInAWorkingHandle) {
  TagMySqlData my("127.0.0.1", "root", "", "");
  ASSERT_EQ(my.state, 0);
  ASSERT_EQ(my.Exec("select 1"), 0);
  Stop();
  ASSERT_TRUE(Start());
  ASSERT_EQ(my.Exec("select 2"), 0) << "reconnected and retried";
  EXPECT_EQ(Value(my, 0, 1), "2");
  Stop();
  EXPECT_LT(my.Exec("select 3"), 0);
  EXPECT_LT(my.state, 0) << "the reconnect failed";
  EXPECT_EQ(my.Exec("select 4"), -1) << "the server is still down";
  ASSERT_TRUE(Start());
  ASSERT_EQ(my.Exec("select 5"), 0) << "the handle connects again first";
  EXPECT_EQ(Value(my, 0, 1), "5");
  EXPECT_EQ(my.state, 0);
}

TEST_F(MySqlPrivateServerTest, AConnectionTheServerClosedIsReconnected) {
  TagMySqlData my("127.0.0.1", "root", "", "");
  ASSERT_EQ(my.Exec("set session wait_timeout = 1"), 0);
  platform::GetClock().Sleep(2500);
  ASSERT_EQ(my.Exec("select @@session.wait_timeout > 1"), 0) << my.lastError;
  EXPECT_EQ(Value(my, 0, 1), "1") << "a new session";
}

}  // namespace
}  // namespace db_test
