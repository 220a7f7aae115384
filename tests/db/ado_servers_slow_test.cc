// The ADO back end across a restart of its MariaDB server (a private server
// of this test): the next statement reconnects and succeeds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "services/db/ado_data.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

TEST(AdoRestartTest, AStatementAfterAServerRestartReconnects) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir chdir(dir.path());
  ASSERT_EQ(mkdir("log", 0755), 0);
  const int port = testing_support::FreeLoopbackPort();
  const std::string helper = std::string("python3 ") + VTTEL_TEST_SERVERS_PY;
  const std::string start =
      helper + " start mariadb --state " + dir.File("state") + " --port " + std::to_string(port);
  const std::string stop = helper + " stop --state " + dir.File("state");
  ASSERT_EQ(std::system(start.c_str()), 0);
  {
    services::TagAdoData ado("Driver={MySQL ODBC 8.0 Unicode Driver};Server=127.0.0.1;Port=" +
                                 std::to_string(port) + ";UID=root;PWD=",
                             "app");
    ASSERT_EQ(ado.state, 0);
    ASSERT_EQ(ado.Exec("select 1 as one"), 0);
    ASSERT_EQ(std::system(stop.c_str()), 0);
    ASSERT_EQ(std::system(start.c_str()), 0);
    EXPECT_EQ(ado.Exec("select 2 as two"), 0);
    char buf[services::kDbValueBytes];
    ado.GetValByIndex(buf, 0, 1);
    EXPECT_STREQ(buf, "2");
  }
  std::system(stop.c_str());
  const std::string log = testing_support::ReadFile("log/sqlapp.log").value_or("");
  EXPECT_NE(log.find("] 重连step1...\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] 重连.\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace db_test
