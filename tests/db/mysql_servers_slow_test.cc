// The MySQL back end against a private MariaDB server of its own, which the
// tests stop and start again: a restart between statements, a reconnect
// that failed while the server was down, and a connection the server closed
// after its wait_timeout.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "services/db/mysql_client.h"
#include "services/db/mysql_data.h"
#include "tests/db/client_library_fixture.h"
#include "tests/db/db_server_fixture.h"
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

class MySqlPrivateServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDbClientLibraries(); }
  void SetUp() override {
    ASSERT_NE(services::MySqlLibrary(), nullptr);
    ASSERT_TRUE(server_.Start());
  }

  PrivateTestServer server_{"mariadb", private_port};
};

TEST_F(MySqlPrivateServerTest, ARestartBetweenStatementsEndsInAWorkingHandle) {
  TagMySqlData my("127.0.0.1", "root", "", "");
  ASSERT_EQ(my.state, 0);
  ASSERT_EQ(my.Exec("select 1"), 0);
  ASSERT_TRUE(server_.Stop());
  ASSERT_TRUE(server_.Start());
  ASSERT_EQ(my.Exec("select 2"), 0) << "reconnected and retried";
  EXPECT_EQ(CellText(my, 0, 1), "2");
  ASSERT_TRUE(server_.Stop());
  EXPECT_LT(my.Exec("select 3"), 0);
  EXPECT_LT(my.state, 0) << "the reconnect failed";
  EXPECT_EQ(my.Exec("select 4"), -1) << "the server is still down";
  ASSERT_TRUE(server_.Start());
  ASSERT_EQ(my.Exec("select 5"), 0) << "the handle connects again first";
  EXPECT_EQ(CellText(my, 0, 1), "5");
  EXPECT_EQ(my.state, 0);
}

TEST_F(MySqlPrivateServerTest, AConnectionTheServerClosedIsReconnected) {
  TagMySqlData my("127.0.0.1", "root", "", "");
  ASSERT_EQ(my.Exec("set session wait_timeout = 1"), 0);
  platform::GetClock().Sleep(2500);
  ASSERT_EQ(my.Exec("select @@session.wait_timeout > 1"), 0) << my.lastError;
  EXPECT_EQ(CellText(my, 0, 1), "1") << "a new session";
}

}  // namespace
}  // namespace db_test
