// The MySQL back end on the shared MariaDB server: the database and setting
// a reconnect comes back with, a killed connection retried once, character
// sets checked with the server's own client, NULLs, copied widths, the
// pool's members, and the statements run by the real vtsrun.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "services/db/mysql_client.h"
#include "services/db/mysql_data.h"
#include "tests/db/client_library_fixture.h"
#include "tests/db/db_server_fixture.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagMySqlData;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// Before anything in the process sets the client library up.
[[maybe_unused]] const bool server_env = [] {
  if (auto s = testing_support::FindTestServer(VTTEL_DB_SERVERS_STATE, "mariadb")) {
    SetMySqlServerEnv(s->port, s->socket);
  }
  return true;
}();

class MySqlServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDbClientLibraries(); }
  void SetUp() override {
    if (!db_.running()) GTEST_SKIP() << "no test server";
    ASSERT_NE(services::MySqlLibrary(), nullptr);
  }
  std::unique_ptr<TagMySqlData> Open(const std::string& log_name = "") {
    return std::make_unique<TagMySqlData>("127.0.0.1", "root", "", log_name);
  }
  // Kills the back end's connection from the server's own client.
  void KillConnection(TagMySqlData& data) {
    ASSERT_EQ(data.Exec("select connection_id()"), 0);
    db_.Admin("KILL " + CellText(data, 0, 1));
  }

  ServerDb db_{Kind::kMariaDb};
};

TEST_F(MySqlServerTest, UseReconnectsIntoTheDatabaseAndAKilledConnectionComesBackWithTheSetting) {
  TempDir dir;
  ScopedChdir cd(dir.path());
  auto my = Open("mylog");
  ASSERT_EQ(my->state, 0);
  ASSERT_EQ(my->Exec("select database() is null"), 0);
  EXPECT_EQ(CellText(*my, 0, 1), "1") << "connected without a database";
  ASSERT_EQ(my->Exec("USE " + db_.name()), 0);
  ASSERT_EQ(my->Exec("set @v = 42"), 0);
  ASSERT_EQ(my->Exec("set @w = 7"), 0) << "only the first set statement is replayed";
  for (int kill = 0; kill < 2; ++kill) {
    KillConnection(*my);
    ASSERT_EQ(my->Exec("select database(), @v, @w"), 0) << "retried once after " << kill;
    EXPECT_EQ(CellText(*my, 0, 1), db_.name());
    EXPECT_EQ(CellText(*my, 1, 1), "42");
    EXPECT_EQ(CellText(*my, 2, 1), "");
  }
  my.reset();
  const std::string log = ReadFile(dir.File("mylog.log")).value_or("");
  for (const std::string& line : std::vector<std::string>{
           "] Start.\n", "Reconnecting...\n", "] Open('" + db_.name() + "') is 0.\n", "] End.\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " in " << log;
  }
}

TEST_F(MySqlServerTest, UseWithASemicolonNamesTheDatabaseWithIt) {
  TempDir dir;
  ScopedChdir cd(dir.path());
  auto my = Open("semi");
  EXPECT_EQ(my->Exec("USE " + db_.name() + ";"), -1);
  EXPECT_EQ(my->Exec("select 1"), -1) << "each statement tries that database again";
  my.reset();
  const std::string log = ReadFile(dir.File("semi.log")).value_or("");
  EXPECT_NE(log.find("Open('" + db_.name() + ";') is -1."), std::string::npos) << log;
  EXPECT_NE(log.find("Failed to connect to database: Error: "), std::string::npos) << log;
}

TEST_F(MySqlServerTest, StatementsRowsAndValues) {
  auto my = Open();
  ASSERT_EQ(my->Exec("USE " + db_.name()), 0);
  ASSERT_EQ(my->Exec("create table t(id int, name varchar(20), note text)"), 0);
  ASSERT_EQ(my->Exec("insert into t values(1, 'a', null), (2, null, 'x')"), 0);
  EXPECT_EQ(my->Rows(), 0) << "no result for an insert";
  ASSERT_EQ(my->Exec("select id, name, note from t order by id"), 0) << "0, not the rows";
  EXPECT_EQ(my->Rows(), 2);
  EXPECT_EQ(my->Cols(), 3);
  char name[services::kDbColNameBytes];
  EXPECT_EQ(my->ColName(1, name), 1);
  EXPECT_STREQ(name, "name");
  EXPECT_EQ(my->ColIndex("NOTE"), 2);
  EXPECT_EQ(my->ColIndex("none"), -2);
  EXPECT_EQ(CellText(*my, 2, 1), "") << "NULL reads empty";
  EXPECT_EQ(CellText(*my, 1, 2), "");
  EXPECT_EQ(CellText(*my, 2, 2), "x");
  EXPECT_EQ(CellText(*my, 0, 0), "<-1>");
  EXPECT_EQ(CellText(*my, 0, 3), "<-1>");
  EXPECT_EQ(CellText(*my, 3, 1), "<-1>");
  char buf[services::kDbValueBytes];
  EXPECT_EQ(my->GetValByName(buf, "ID", 2), 0);
  EXPECT_STREQ(buf, "2");
  my->SetDebug(services::kDbDebugKeepError);
  EXPECT_LT(my->Exec("select nothing from nowhere"), 0);
  EXPECT_NE(my->lastError.find("Error: "), std::string::npos) << my->lastError;
  EXPECT_EQ(my->Rows(), 0) << "a failed statement leaves no rows";
  EXPECT_EQ(my->Exec("select 1"), 0);
  EXPECT_EQ(my->lastError, "") << "each statement clears the last error";
}

TEST_F(MySqlServerTest, CharacterSetOfTheConnection) {
  {
    auto my = Open();
    ASSERT_EQ(my->Exec("USE " + db_.name()), 0);
    ASSERT_EQ(my->Exec("create table l(c varchar(10)) character set latin1"), 0);
    ASSERT_EQ(my->Exec("insert into l values('中')"), 0);
    ASSERT_EQ(my->Exec("select c from l"), 0);
    EXPECT_EQ(CellText(*my, 0, 1), "中");
  }
  EXPECT_EQ(db_.Client("select hex(c) from l"), "D6D0\n") << "latin1 passes the bytes";
  ScopedEnv gbk("VTTEL_MYSQL_CHARSET", "gbk");
  auto my = Open();
  ASSERT_EQ(my->Exec("USE " + db_.name()), 0);
  ASSERT_EQ(my->Exec("create table g(c varchar(10)) character set gbk"), 0);
  ASSERT_EQ(my->Exec("insert into g values('中')"), 0);
  ASSERT_EQ(my->Exec("select c from g"), 0);
  EXPECT_EQ(CellText(*my, 0, 1), "中");
  EXPECT_EQ(db_.Client("select hex(convert(c using utf8mb4)) from g"), "E4B8AD\n");
}

TEST_F(MySqlServerTest, CopiedResultsHaveCappedWidthsAndEmptyNulls) {
  auto my = Open();
  ASSERT_EQ(my->Exec("USE " + db_.name()), 0);
  ASSERT_EQ(my->Exec("create table t(id int, c char(5), note text, big longtext)"), 0);
  ASSERT_EQ(my->Exec("insert into t values(1, 'abcde', null, repeat('x', 3000))"), 0);
  services::TagLocalData local(services::GetDbPool(), services::kDbTypeMySql,
                               services::DbOpenTexts{});
  ASSERT_EQ(my->ExecToLocal("select id, c, note, big from t", local), 1);
  const std::vector<int32_t> widths = {11, 5, 2048, 2048};
  for (size_t f = 0; f < widths.size(); ++f) {
    EXPECT_EQ(local.fields().fields[f].width, widths[f]) << f;
  }
  EXPECT_EQ(CellText(local, 1, 1), "abcde");
  EXPECT_EQ(CellText(local, 2, 1), "");
  EXPECT_EQ(CellText(local, 3, 1), std::string(2048, 'x'));
  my->SetDebug(services::kDbDebugKeepError);
  EXPECT_LT(my->ExecToLocal("select * from missing", local), 0);
  EXPECT_EQ(local.lastError, my->lastError);
  EXPECT_EQ(local.Rows(), 0);
}

// Five scripts on DB_MAX_CONN 2 share two connections, counted by the
// server under a user of the test's own.
TEST_F(MySqlServerTest, PooledHandlesShareTwoConnections) {
  const std::string user = db_.name() + "u";
  for (const char* host : {"%", "localhost"}) {
    db_.Admin("CREATE USER '" + user + "'@'" + host + "'; GRANT ALL ON *.* TO '" + user + "'@'" +
              host + "'");
  }
  frame::GetSettings().db_max_conn = 2;
  {
    services::TagDbConnectionsCtrl pool;
    std::vector<std::unique_ptr<services::TagLocalData>> users;
    for (int i = 0; i < 5; ++i) {
      users.push_back(std::make_unique<services::TagLocalData>(
          pool, services::kDbTypeMySql, services::DbOpenTexts{"127.0.0.1", user, "", ""}));
      ASSERT_GE(users.back()->state, 0) << i;
    }
    EXPECT_EQ(db_.Admin("select count(*) from information_schema.PROCESSLIST where user = '" +
                        user + "'"),
              "2\n");
    EXPECT_EQ(users[3]->Exec("use " + db_.name()), 2);
    EXPECT_EQ(users[1]->Exec("create table t(n int)"), 0);
    EXPECT_EQ(users[2]->Exec("insert into t values(4), (5)"), 0);
    EXPECT_EQ(users[4]->Exec("select n from t order by n"), 2);
    EXPECT_EQ(CellText(*users[4], 0, 2), "5");
  }
  frame::GetSettings().db_max_conn = 0;
  for (const char* host : {"%", "localhost"}) db_.Admin("DROP USER '" + user + "'@'" + host + "'");
}

// The statements through the real vtsrun, which loads the library itself.
class MySqlScriptTest : public MySqlServerTest {
 protected:
  std::string Run(const std::string& body) { return RunDbScript(dir_.path(), body); }
  TempDir dir_;
};

TEST_F(MySqlScriptTest, SelectGivesZeroAndRowsFailuresGiveNone) {
  const std::string out = Run(
      "r = DbOpen(5, \"127.0.0.1\", \"root\", \"\", \"\", h)\nPrint(r)\n"
      "r = DbExec(h, \"USE " + db_.name() + "\")\nPrint(r)\n"
      "r = DbExec(h, \"create table t(n int)\")\n"
      "r = DbExec(h, \"insert into t values(1), (2), (3)\")\n"
      "r = DbExec(h, \"select n from t\")\nPrint(r)\n"
      "r = DbRows(h, n)\nPrint(n)\n"
      "r = DbGetField(h, 0, 0, v)\nPrint(r)\n"
      "r = DbExec(h, \"select n from missing\")\nPrint(r)\n"
      "r = DbRows(h, n)\nPrint(n)\n");
  EXPECT_EQ(out, "0 : 0\n0 : 0\n0 : 0\n0 : 3\n0 : -1\n0 : -1\n0 : 0\n");
}

TEST_F(MySqlScriptTest, AnUnloadableLibraryFailsEveryOpen) {
  ScopedEnv lib("VTTEL_MYSQL_LIB", dir_.File("libmissing.so.3"));
  EXPECT_EQ(Run("r = DbOpen(5, \"127.0.0.1\", \"root\", \"\", \"\", h)\nPrint(r)\n"), "0 : -2\n");
  const std::string raw = ReadFile(dir_.File("RawLog.txt")).value_or("");
  EXPECT_NE(raw.find("LoadLibrary('" + dir_.File("libmissing.so.3") + "') : -1."),
            std::string::npos)
      << raw;
}

}  // namespace
}  // namespace db_test
