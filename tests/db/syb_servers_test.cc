// The SQL Server back end through FreeTDS's libsybdb against our TDS test
// server (tools/tds_server.py): checked first with FreeTDS's own tools,
// then batches and their last result sets, reconnecting after a killed
// connection, the application name in the login, GBK text, failures, and
// an ADO SQLOLEDB connection string over FreeTDS's ODBC driver.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "services/db/ado_data.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "services/db/syb_api.h"
#include "services/db/syb_data.h"
#include "tests/db/db_server_fixture.h"
#include "tests/test_servers.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagSybData;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
  return text;
}

class SybServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { loaded_ = services::LoadSybLibrary(); }
  static void TearDownTestSuite() { services::FreeSybLibrary(); }

  void SetUp() override {
    server_ = testing_support::FindTestServer(VTTEL_DB_SERVERS_STATE, "tds");
    if (!server_) {
      GTEST_SKIP() << "no TDS test server";
    }
    ASSERT_EQ(loaded_, 0);
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    app_ = "a" + std::to_string(getpid()) + test.substr(0, 20);
    database_ = "d" + std::to_string(getpid()) + "_" + std::to_string(++count_);
    Admin("CREATE DATABASE " + database_);
  }

  std::string Server() const { return "127.0.0.1:" + std::to_string(server_->port); }
  // A back end in the test's database.
  std::unique_ptr<TagSybData> Open(const std::string& user = "sa") {
    auto data = std::make_unique<TagSybData>(Server(), user, "pw", app_);
    if (data->state == 0) {
      EXPECT_EQ(data->Exec("USE " + database_), 0);
    }
    return data;
  }
  // A batch through bsqldb (FreeTDS's DB-Library tool): its output.
  std::string Admin(const std::string& sql) const {
    const std::string file = dir_.File("batch.sql");
    testing_support::WriteFile(file, sql + "\n");
    return Output("bsqldb -S " + Server() + " -U sa -P pw -q -t '|' -i " + file + " 2>&1");
  }
  static std::string Value(TagSybData& data, int col, int row) {
    char out[services::kDbValueBytes];
    data.GetValByIndex(out, col, row);
    return Trimmed(out);
  }
  // The batches the server logged for this test's application, in order.
  std::vector<std::string> Batches() const {
    std::istringstream log(
        testing_support::ReadFile(server_->folder + "/batches.log").value_or(""));
    std::vector<std::string> batches;
    std::string line;
    while (std::getline(log, line)) {
      const size_t tab = line.find('\t');
      const size_t tab2 = line.find('\t', tab + 1);
      if (tab2 == std::string::npos || line.substr(tab + 1, tab2 - tab - 1) != app_) continue;
      batches.push_back(line.substr(tab2 + 1));
    }
    return batches;
  }

  static inline int32_t loaded_ = -99;
  static inline int count_ = 0;
  std::optional<testing_support::TestServer> server_;
  std::string app_;
  std::string database_;
  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
};

TEST_F(SybServerTest, FreeTdsToolsTalkToTheServer) {
  const std::string out = Admin("USE " + database_ +
                                "; CREATE TABLE t (id int, name varchar(20)); "
                                "INSERT INTO t VALUES (1, 'Ann'); SELECT id, name FROM t");
  EXPECT_NE(out.find("1|Ann"), std::string::npos) << out;
  const std::string tsql = Output("printf 'USE " + database_ + "\\ngo\\nSELECT name FROM t\\ngo\\n' | "
                                  "tsql -H 127.0.0.1 -p " + std::to_string(server_->port) +
                                  " -U sa -P pw 2>&1");
  EXPECT_NE(tsql.find("Ann"), std::string::npos) << tsql;
}

TEST_F(SybServerTest, BatchLeavesItsLastResultSet) {
  std::unique_ptr<TagSybData> data = Open();
  ASSERT_EQ(data->state, 0);
  ASSERT_EQ(data->Exec("CREATE TABLE t (id int, n int, name varchar(20))"), 0);
  ASSERT_EQ(data->Exec("INSERT INTO t VALUES (1, 10, '中文'); INSERT INTO t VALUES (2, 20, 'Bob')"), 0);
  EXPECT_EQ(data->Exec("UPDATE t SET n = n + 1; SELECT id, n, name FROM t ORDER BY id"), 2);
  EXPECT_EQ(data->Cols(), 3);
  EXPECT_EQ(Value(*data, 1, 1), "11");
  EXPECT_EQ(Value(*data, 2, 1), "中文");
  char out[services::kDbValueBytes];
  EXPECT_EQ(data->GetValByIndex(out, 0, 1), 1);
  EXPECT_EQ(std::string(out).size(), 11u);  // an int's text width
  EXPECT_EQ(data->GetValByIndex(out, 0, 0), 0);
  EXPECT_EQ(data->Exec("SELECT id FROM t; UPDATE t SET n = 0"), 0);
  EXPECT_EQ(data->Cols(), 0);
  const std::string sum = Trimmed(Admin("USE " + database_ + "; SELECT SUM(n) FROM t"));
  EXPECT_EQ(sum.substr(sum.find_first_not_of(' ')), "0");
}

TEST_F(SybServerTest, FailedStatementDoesNotBlockTheNext) {
  std::unique_ptr<TagSybData> data = Open();
  ASSERT_EQ(data->state, 0);
  EXPECT_EQ(data->Exec("SELECT * FROM missing"), services::kSybResultsFailed);
  EXPECT_EQ(data->Exec("SELECT 1 AS one"), 1);
  EXPECT_EQ(Value(*data, 0, 1), "1");
  const std::string log = testing_support::ReadFile(dir_.File(app_ + ".log")).value_or("");
  EXPECT_NE(log.find("] Msg 102, Level 16, State 1 : Server 'VTTDS', Line 1\n\tno such table: missing"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("] 'SELECT * FROM missing' Err!\n"), std::string::npos);
}

TEST_F(SybServerTest, ReconnectResendsTheFirstUseOnly) {
  Admin("CREATE DATABASE " + database_ + "b");
  std::unique_ptr<TagSybData> data = Open();
  ASSERT_EQ(data->state, 0);
  ASSERT_EQ(data->Exec("USE " + database_ + "b"), 0);
  ASSERT_EQ(data->Exec("SELECT @@SPID AS spid"), 1);
  const std::string spid = Value(*data, 0, 1);
  Admin("KILL " + spid);
  // The statement that meets the dropped link may fail; the next one
  // reconnects at the latest.
  int32_t rows = data->Exec("SELECT 2 AS two");
  if (rows < 0) rows = data->Exec("SELECT 2 AS two");
  ASSERT_EQ(rows, 1);
  EXPECT_EQ(Value(*data, 0, 1), "2");
  const std::vector<std::string> expected = {
      "LOGIN sa master", "USE " + database_, "USE " + database_ + "b", "SELECT @@SPID AS spid",
      "LOGIN sa master", "USE " + database_, "SELECT 2 AS two"};
  EXPECT_EQ(Batches(), expected);
  const std::string log = testing_support::ReadFile(dir_.File(app_ + ".log")).value_or("");
  EXPECT_NE(log.find("] ReConnect OK\n"), std::string::npos) << log;
}

TEST_F(SybServerTest, ApplicationNameArrivesInTheLogin) {
  std::unique_ptr<TagSybData> data = Open();
  ASSERT_EQ(data->state, 0);
  ASSERT_EQ(data->Exec("SELECT APP_NAME() AS app, NULL AS n"), 1);
  EXPECT_EQ(Value(*data, 0, 1), app_);
  EXPECT_EQ(Value(*data, 1, 1), "");
  ASSERT_FALSE(Batches().empty());
  EXPECT_EQ(Batches().front(), "LOGIN sa master");
}

TEST_F(SybServerTest, RefusedLoginAndUnknownServer) {
  EXPECT_EQ(Open("refused")->state, services::kSybOpenFailed);
  TagSybData nowhere("127.0.0.1:" + std::to_string(testing_support::FreeLoopbackPort()), "sa", "",
                     app_);
  EXPECT_EQ(nowhere.state, services::kSybOpenFailed);
  const std::string log = testing_support::ReadFile(dir_.File(app_ + ".log")).value_or("");
  EXPECT_NE(log.find("Msg 18456, Level 14, State 1 : Server 'VTTDS', Line 1\n\t"
                     "Login failed for user 'refused'."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("] DB-Connection status : DEAD!\n"), std::string::npos) << log;
}

TEST_F(SybServerTest, AdoSqlOleDbConnectionStringRunsOverTdsOdbc) {
  Admin("USE " + database_ + "; CREATE TABLE t (id int, name varchar(20)); "
        "INSERT INTO t VALUES (7, 'Ann')");
  services::TagAdoData ado("Provider=SQLOLEDB.1;Data Source=127.0.0.1," +
                               std::to_string(server_->port) + ";Initial Catalog=" + database_ +
                               ";User ID=sa;Password=pw",
                           "");
  ASSERT_EQ(ado.state, 0);
  ado.SetDebug(services::kDbDebugKeepError);
  ASSERT_EQ(ado.Exec("SELECT id, name FROM t"), 0) << ado.lastError;
  char out[services::kDbValueBytes];
  ado.GetValByIndex(out, 1, 1);
  EXPECT_STREQ(out, "Ann");
}

TEST_F(SybServerTest, PoolKeepsTwoMembersForFiveScripts) {
  Admin("USE " + database_ + "; CREATE TABLE t (n int); INSERT INTO t VALUES (5)");
  frame::GetSettings().db_max_conn = 2;
  services::TagDbConnectionsCtrl pool;
  {
    std::vector<std::unique_ptr<services::TagLocalData>> users;
    for (int i = 0; i < 5; ++i) {
      users.push_back(std::make_unique<services::TagLocalData>(
          pool, services::kDbTypeSybase, services::DbOpenTexts{Server(), "sa", "pw", app_}));
      ASSERT_EQ(users.back()->state, 0) << i;
    }
    EXPECT_EQ(users[1]->Exec("USE " + database_), 2);
    for (auto& user : users) {
      ASSERT_EQ(user->Exec("SELECT n FROM t"), 1);
      char out[services::kDbValueBytes];
      user->GetValByIndex(out, 0, 1);
      EXPECT_EQ(Trimmed(out), "5");
    }
  }
  frame::GetSettings().db_max_conn = 0;
  int logins = 0;
  int uses = 0;
  for (const std::string& b : Batches()) {
    logins += b.rfind("LOGIN", 0) == 0;
    uses += b == "USE " + database_;
  }
  // Requests one after the other all run on the first member, which gets
  // the remembered USE before its first statement.
  EXPECT_EQ(logins, 2);
  EXPECT_EQ(uses, 1);
}

}  // namespace
}  // namespace db_test
