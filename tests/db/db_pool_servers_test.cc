// The connection pool over ADO back ends on a real MariaDB server: the
// server's own process list shows how many connections the pool keeps.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "tests/db/db_server_fixture.h"

namespace db_test {
namespace {

using services::DbOpenTexts;
using services::TagLocalData;

class PoolMariaDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.running()) GTEST_SKIP() << "no test server";
    frame::GetSettings().db_max_conn = 2;
  }
  void TearDown() override { frame::GetSettings().db_max_conn = 0; }

  std::unique_ptr<TagLocalData> Open(const std::string& log_name) {
    return std::make_unique<TagLocalData>(pool_, services::kDbTypeAdo,
                                          DbOpenTexts{db_.ConnectionString(), "", "", log_name});
  }
  // The server's connections to this test's database.
  std::string Connections() {
    return db_.Admin("select count(*) from information_schema.PROCESSLIST where db = '" +
                     db_.name() + "'");
  }

  ServerDb db_{Kind::kMariaDb};
  services::TagDbConnectionsCtrl pool_;
};

TEST_F(PoolMariaDbTest, FiveScriptsShareTwoConnections) {
  std::vector<std::unique_ptr<TagLocalData>> users;
  for (int i = 0; i < 5; ++i) {
    users.push_back(Open(i % 2 == 0 ? "" : "log" + std::to_string(i)));
    ASSERT_EQ(users.back()->state, 0) << i;
  }
  EXPECT_EQ(Connections(), "2\n");
  ASSERT_EQ(users[4]->Exec("create table t(n integer)"), 0);
  ASSERT_EQ(users[3]->Exec("insert into t values(1),(2),(3)"), 0) << "no rows to copy";
  ASSERT_EQ(users[0]->Exec("select n from t order by n"), 3);
  char buf[services::kDbValueBytes];
  users[0]->GetValByIndex(buf, 0, 3);
  EXPECT_STREQ(buf, "3");
  users.clear();
  EXPECT_EQ(Connections(), "0\n") << "the last user's close deletes its member";
}

TEST_F(PoolMariaDbTest, EveryMemberWorksInTheFirstSelectedDatabase) {
  ServerDb second(Kind::kMariaDb);
  auto a = Open("");
  auto b = Open("");
  EXPECT_EQ(a->Exec("use " + db_.name()), 2);
  EXPECT_EQ(b->Exec("use " + second.name()), 2);
  ASSERT_EQ(a->Exec("select database() as d"), 1);
  char buf[services::kDbValueBytes];
  a->GetValByIndex(buf, 0, 1);
  EXPECT_EQ(buf, db_.name());
}

}  // namespace
}  // namespace db_test
