// The back end of the maker's database server against a private wrndbd
// that the test stops and starts again: a restart between statements, and
// a handle whose reconnect failed while the server was down.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "services/db/wrndb_client.h"
#include "services/db/wrndb_data.h"
#include "tests/db/client_library_fixture.h"
#include "tests/db/wrndb_server_fixture.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagWrnDbData;

class WrnDbPrivateServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("VTTEL_WRNDB_LIB", VTTEL_WRNDB_LIBRARY, 1);
    LoadDbClientLibraries();
  }
  void SetUp() override {
    ASSERT_NE(services::WrnDbLibrary(), nullptr);
    ASSERT_TRUE(server_.Start());
  }

  const int port_ = testing_support::FreeLoopbackPort();
  PrivateTestServer server_{"wrndbd", port_};
};

TEST_F(WrnDbPrivateServerTest, ARestartBetweenStatementsEndsInAWorkingHandle) {
  TagWrnDbData db("127.0.0.1", port_, WrnDbTestUser(), "", "");
  ASSERT_EQ(db.state, 0);
  ASSERT_EQ(db.Exec("select 1"), 0);
  ASSERT_TRUE(server_.Stop());
  ASSERT_TRUE(server_.Start());
  ASSERT_EQ(db.Exec("select 2"), 0) << "reconnected and retried";
  EXPECT_EQ(CellText(db, 0, 1), "2");
  ASSERT_TRUE(server_.Stop());
  EXPECT_EQ(db.Exec("select 3"), -1);
  EXPECT_EQ(db.state, -1) << "the reconnect failed";
  EXPECT_EQ(db.Exec("select 4"), -1) << "the server is still down";
  ASSERT_TRUE(server_.Start());
  ASSERT_EQ(db.Exec("select 5"), 0) << "the handle connects again first";
  EXPECT_EQ(CellText(db, 0, 1), "5");
}

}  // namespace
}  // namespace db_test
