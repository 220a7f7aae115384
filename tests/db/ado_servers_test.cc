// The ADO back end against real PostgreSQL and MariaDB servers: procedure
// calls, the lock retry, reconnecting after a killed connection, text
// encoding and the widths of copied results. The servers' own clients
// prepare and check the databases.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "services/db/ado_data.h"
#include "services/db/local_data.h"
#include "tests/db/db_server_fixture.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagAdoData;

std::string Value(TagAdoData& ado, int32_t col, int32_t row) {
  char buf[services::kDbValueBytes];
  ado.GetValByIndex(buf, col, row);
  return buf;
}

class AdoServerTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    if (!db_.running()) GTEST_SKIP() << "no test server";
    ado_ = std::make_unique<TagAdoData>(db_.ConnectionString(), "");
    ASSERT_EQ(ado_->state, 0);
    ado_->SetDebug(services::kDbDebugKeepError);
  }

  ServerDb db_{GetParam()};
  std::unique_ptr<TagAdoData> ado_;
};

TEST_P(AdoServerTest, TextIsStoredAsUtf8AndReadBackAsGbkWithWidthsByType) {
  const bool pg = GetParam() == Kind::kPostgreSql;
  ASSERT_EQ(ado_->Exec(std::string("create table t(name varchar(10), n integer, x double precision, "
                                   "b ") + (pg ? "boolean" : "bit(1)") + ", d timestamp)"), 0)
      << ado_->lastError;
  ASSERT_EQ(ado_->Exec(std::string("insert into t values('中', 7, 0.1, ") + (pg ? "true" : "1") +
                       ", '2014-03-05 08:15:00')"), 1) << ado_->lastError;
  const std::string hex = db_.Client(pg ? "select encode(convert_to(name, 'UTF8'), 'hex') from t"
                                        : "select hex(name) from t");
  EXPECT_EQ(hex, pg ? "e4b8ad\n" : "E4B8AD\n");
  ASSERT_EQ(ado_->Exec("select name, n, x, b, d from t"), 0) << ado_->lastError;
  const std::vector<std::string> row = {"中", "7", "0.1", "True", "2014-03-05 08:15:00"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(Value(*ado_, c, 1), row[c]) << c;
  services::TagLocalData local(services::GetDbPool(), 4, services::DbOpenTexts{});
  ASSERT_EQ(ado_->ExecToLocal("select name, n, x, b, d from t", local), 1);
  const std::vector<int32_t> widths = {20, 12, 24, 6, 48};
  for (size_t f = 0; f < widths.size(); ++f) {
    EXPECT_EQ(local.fields().fields[f].width, widths[f]) << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, AdoServerTest,
                         ::testing::Values(Kind::kPostgreSql, Kind::kMariaDb));

class AdoPostgreSqlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.running()) GTEST_SKIP() << "no test server";
    db_.Client(
        "create table calls(a text, b text);"
        "create sequence tries;"
        "create function rec(a text, b text) returns table(r text) as "
        "$$ insert into calls values(a, b) returning a || '|' || b $$ language sql;"
        "create function noargs() returns integer as $$ select 42 $$ language sql;"
        "create function exec(p text) returns text as $$ select 'exec:' || p $$ language sql;"
        "create function series() returns setof integer as $$ select generate_series(1, 8) $$ "
        "language sql;"
        "create function deadlock(times integer) returns integer as $$ declare c bigint; begin "
        "c := nextval('tries'); if c <= times then raise exception 'stuck' using "
        "errcode = '40P01'; end if; return c; end $$ language plpgsql;");
    ado_ = std::make_unique<TagAdoData>(db_.ConnectionString(), "");
    ASSERT_EQ(ado_->state, 0);
    ado_->SetDebug(services::kDbDebugKeepError);
  }

  ServerDb db_{Kind::kPostgreSql};
  std::unique_ptr<TagAdoData> ado_;
};

TEST_F(AdoPostgreSqlTest, ProcedureCallsTakeTheirNameAndTextParameters) {
  EXPECT_EQ(ado_->Exec("exec rec 'x, y', 2"), 0) << ado_->lastError;
  EXPECT_EQ(Value(*ado_, 0, 1), "x, y|2");
  EXPECT_EQ(db_.Client("select a || '/' || b from calls"), "x, y/2\n");
  EXPECT_EQ(ado_->Exec("EXEC noargs"), 0) << ado_->lastError;
  EXPECT_EQ(Value(*ado_, 0, 1), "42");
  EXPECT_EQ(ado_->Exec("Exec noargs"), 0) << ado_->lastError;
  EXPECT_EQ(Value(*ado_, 0, 1), "exec:noargs") << "a procedure named Exec";
  EXPECT_EQ(ado_->Exec("SELECT\tnoargs"), services::kAdoProviderError) << "a call of SELECT";
  EXPECT_EQ(ado_->Exec("select noargs() as n"), 0);
  EXPECT_EQ(Value(*ado_, 0, 1), "42");
}

TEST_F(AdoPostgreSqlTest, RowsOfAProcedureResultKeepTheCursorExact) {
  ASSERT_EQ(ado_->Exec("exec series"), 0) << ado_->lastError;
  EXPECT_EQ(Value(*ado_, 0, 5), "5");
  EXPECT_EQ(ado_->Rows(), 8);
  EXPECT_EQ(Value(*ado_, 0, 5), "5");
}

TEST_F(AdoPostgreSqlTest, ADeadlockIsRetriedOnce) {
  EXPECT_EQ(ado_->Exec("exec deadlock 1"), 0) << ado_->lastError;
  EXPECT_EQ(Value(*ado_, 0, 1), "2");
  EXPECT_EQ(ado_->Exec("exec deadlock 1000"), services::kAdoProviderError);
  EXPECT_EQ(ado_->lastError.rfind("Lock conflict: [40P01] ", 0), 0u) << ado_->lastError;
  EXPECT_EQ(db_.Client("select last_value from tries"), "4\n") << "two calls, no third";
  EXPECT_EQ(ado_->Rows(), 0);
}

TEST(AdoMariaDbTest, AKilledConnectionIsReconnected) {
  ServerDb db(Kind::kMariaDb);
  if (!db.running()) GTEST_SKIP() << "no test server";
  testing_support::TempDir dir;
  testing_support::ScopedChdir chdir(dir.path());
  ASSERT_EQ(mkdir("log", 0755), 0);
  TagAdoData ado(db.ConnectionString(), "app");
  ASSERT_EQ(ado.state, 0);
  ASSERT_EQ(ado.Exec("select connection_id() as id"), 0);
  const std::string id = Value(ado, 0, 1);
  db.Admin("KILL " + id);
  EXPECT_EQ(ado.Exec("select 5 as five"), 0);
  EXPECT_EQ(Value(ado, 0, 1), "5");
  const std::string log = testing_support::ReadFile("log/sqlapp.log").value_or("");
  EXPECT_NE(log.find("Connect failure: "), std::string::npos) << log;
  EXPECT_NE(log.find("] 重连step1...\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] 重连.\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace db_test
