// The ADO back end over the SQLite ODBC driver (no server needed): how SQL
// texts are read, values and widths as every driver gives them, moves,
// failures and the shared SQL log. The sqlite3 program checks what was
// stored.
#include "services/db/ado_data.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "platform/message_service.h"
#include "services/db/ado_connection_string.h"
#include "services/db/ado_sql.h"
#include "services/db/local_data.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

using services::AdoSqlKind;
using services::TagAdoData;
using services::TagLocalData;

TEST(AdoSql, TextsAreClassifiedByTheirFirstSevenCharacters) {
  const struct {
    const char* sql;
    AdoSqlKind kind;
  } cases[] = {
      {"select * from t", AdoSqlKind::kQuery},   {"SELECT\t1", AdoSqlKind::kCall},
      {"Insert into t values(1)", AdoSqlKind::kStatement},
      {"drop table t", AdoSqlKind::kStatement}, {"use db", AdoSqlKind::kStatement},
      {"SET x=1", AdoSqlKind::kStatement},       {"DROPX", AdoSqlKind::kCall},
      {"exec p", AdoSqlKind::kCall},             {"SELECT", AdoSqlKind::kCall},
  };
  for (const auto& c : cases) EXPECT_EQ(services::ClassifyAdoSql(c.sql), c.kind) << c.sql;
}

TEST(AdoSql, ProcedureCallsGiveTheirNameAndParameters) {
  const struct {
    const char* sql;
    const char* name;
    std::vector<std::string> params;
  } cases[] = {
      {"exec rec 'a, b', 2", "rec", {"'a, b'", "2"}},
      {"EXEC rec", "rec", {}},
      {"Exec rec", "Exec", {"rec"}},
      {"rec  x  ignored, 3 ", "rec", {"x", "3"}},
      {"SELECT\t1", "SELECT", {"1"}},
  };
  for (const auto& c : cases) {
    const services::ExecCall call = services::ParseExecCall(c.sql);
    EXPECT_EQ(call.name, c.name) << c.sql;
    EXPECT_EQ(call.params, c.params) << c.sql;
  }
  EXPECT_EQ(services::CallParameterValue("'a, b'"), "a, b");
  EXPECT_EQ(services::CallParameterValue("2"), "2");
  EXPECT_EQ(services::SplitQuoted(" a", ' '), (std::vector<std::string>{"", "a"}));
}

TEST(AdoConnectionString, ProvidersMapToTheirDrivers) {
  const struct {
    const char* ado;
    const char* part;  // in the ODBC string; null: refused
  } cases[] = {
      {"Provider=SQLite;Data Source=/tmp/x.db", "libsqlite3odbc.so;Database=/tmp/x.db;"},
      {"Provider=SQLOLEDB.1;Data Source=h;Initial Catalog=c;User ID=u;Password=p",
       "libtdsodbc.so;Server=h;Database=c;UID=u;PWD=p;"},
      {"Driver={MySQL ODBC 5.3 Unicode Driver};Server=h;Persist Security Info=True",
       "libmaodbc.so;Server=h;CHARSET=utf8mb4;"},
      {"Provider=MSDASQL;DSN=x;UID=u", "DSN=x;UID=u;"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb", nullptr},
      {"Provider=OraOLEDB.Oracle;Data Source=o", nullptr},
  };
  for (const auto& c : cases) {
    const services::OdbcTarget t = services::MapAdoConnectionString(c.ado);
    if (c.part == nullptr) {
      EXPECT_TRUE(t.connection.empty()) << c.ado;
      EXPECT_FALSE(t.refusal.empty()) << c.ado;
    } else {
      EXPECT_NE(t.connection.find(c.part), std::string::npos) << c.ado << " -> " << t.connection;
      EXPECT_EQ(t.connection.find("Provider"), std::string::npos) << t.connection;
    }
  }
}

// The output of a program, run through the shell of popen (test harness).
std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

class AdoSqliteTest : public ::testing::Test {
 protected:
  AdoSqliteTest() : chdir_(dir_.path()) {}
  ~AdoSqliteTest() override { frame::GetSettings().db_bitfield_is_digit = 0; }

  std::unique_ptr<TagAdoData> Open(const std::string& log_name = "") {
    return std::make_unique<TagAdoData>("Provider=SQLite;Data Source=" + db_, log_name);
  }
  std::string Value(TagAdoData& ado, int32_t col, int32_t row) {
    char buf[services::kDbValueBytes];
    ado.GetValByIndex(buf, col, row);
    return buf;
  }
  void Fill(TagAdoData& ado) {
    ASSERT_EQ(ado.Exec("create table t(name varchar(10), n integer, x double, b boolean, "
                       "d timestamp)"), 0);
    ASSERT_EQ(ado.Exec("insert into t values('中', 7, 0.1, 1, '2014-03-05 08:15:00')"), 1);
    for (int i = 2; i <= 6; ++i) {
      ASSERT_EQ(ado.Exec("insert into t values('r" + std::to_string(i) + "', " +
                         std::to_string(i) + ", 1.5, 0, null)"), 1);
    }
  }

  TempDir dir_;
  ScopedChdir chdir_;
  std::string db_ = dir_.File("a.db");
};

TEST_F(AdoSqliteTest, ValuesComeBackAsEveryDriverGivesThem) {
  auto ado = Open();
  ASSERT_EQ(ado->state, 0);
  Fill(*ado);
  ASSERT_EQ(ado->Exec("  select name, n, x, b, d from t order by n  "), 0);
  EXPECT_EQ(ado->Rows(), 6);
  EXPECT_EQ(ado->Cols(), 5);
  const std::vector<std::string> row1 = {"中", "7", "0.1", "True", "2014-03-05 08:15:00"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(Value(*ado, c, 6), row1[c]) << c;
  EXPECT_EQ(Value(*ado, 3, 1), "False");
  EXPECT_EQ(Value(*ado, 4, 1), "");
  frame::GetSettings().db_bitfield_is_digit = 1;
  EXPECT_EQ(Value(*ado, 3, 6), "1");
  EXPECT_EQ(Value(*ado, 3, 1), "0");
  EXPECT_EQ(ado->ColIndex("N"), 1);
  EXPECT_EQ(ado->ColIndex("none"), -2);
  // 中 is stored as UTF-8.
  EXPECT_EQ(Output("sqlite3 " + db_ + " \"select hex(name) from t where n = 7\""), "E4B8AD\n");
}

TEST_F(AdoSqliteTest, RowsAreReadInAnyOrder) {
  auto ado = Open();
  Fill(*ado);
  ASSERT_EQ(ado->Exec("select n from t order by n"), 0);
  for (int row : {5, 1, 6, 2, 5}) EXPECT_EQ(Value(*ado, 0, row), std::to_string(row + 1)) << row;
  char buf[services::kDbValueBytes];
  EXPECT_EQ(ado->GetValByIndex(buf, 0, 7), -1);
  EXPECT_EQ(ado->GetValByIndex(buf, 1, 1), -1);
  EXPECT_EQ(ado->Exec("update t set n = n + 10 where n > 4"), 3);
  EXPECT_EQ(ado->Rows(), 0);
  EXPECT_EQ(ado->Cols(), 0);
}

TEST_F(AdoSqliteTest, ProviderErrorsGiveMinusThreeAndTheirText) {
  auto ado = Open();
  ado->SetDebug(services::kDbDebugKeepError);
  EXPECT_EQ(ado->Exec("select * from missing"), services::kAdoProviderError);
  EXPECT_EQ(ado->lastError.rfind("[HY000] ", 0), 0u) << ado->lastError;
  EXPECT_EQ(ado->Rows(), 0);
  // A procedure call the driver cannot run fails the same way.
  EXPECT_EQ(ado->Exec("exec nothing 1"), services::kAdoProviderError);
  EXPECT_EQ(ado->Exec("select 1 as one"), 0);
  EXPECT_TRUE(ado->lastError.empty());
  EXPECT_EQ(ado->Rows(), 1);
}

// A refused open says what was refused and why in the ADO box (which also
// reaches the system's log, or stderr without a window), never the
// password of the string.
TEST_F(AdoSqliteTest, BadConnectionStringsFailTheOpenWithAMessage) {
  const struct {
    const char* cs;
    const char* said;
  } cases[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Password=pw9",
       "provider 'Microsoft.Jet.OLEDB.4.0' refused: no ODBC driver"},
      {"Provider=OraOLEDB.Oracle;Data Source=o;Password=pw9", "'OraOLEDB.Oracle' refused"},
      {"Provider=Other;Password=pw9", "'Other' refused"},
      {"Data Source=a.db;Password=pw9", "names no Provider, Driver or DSN"},
      {"DRIVER=/nonexistent/driver.so;Database=x;PWD=pw9", "/nonexistent/driver.so"},
  };
  for (const auto& c : cases) {
    platform::RecordingMessageService messages;
    platform::ScopedMessageService scoped(&messages);
    TagAdoData ado(c.cs, "");
    EXPECT_EQ(ado.state, -1) << c.cs;
    const std::vector<platform::Message> shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u) << c.cs;
    EXPECT_EQ(shown[0].caption, "初始化ADO错误...");
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::kError);
    EXPECT_NE(shown[0].text.find(c.said), std::string::npos) << shown[0].text;
    EXPECT_EQ(shown[0].text.find("pw9"), std::string::npos) << shown[0].text;
    // A statement reconnects once, and is refused again.
    EXPECT_EQ(ado.Exec("select 1"), services::kAdoProviderError) << c.cs;
  }
}

TEST_F(AdoSqliteTest, ExecToLocalCopiesTheResultWithWidthsByType) {
  auto ado = Open();
  Fill(*ado);
  services::DbPool& pool = services::GetDbPool();
  TagLocalData local(pool, 4, services::DbOpenTexts{});
  frame::GetSettings().db_bitfield_is_digit = 1;
  ASSERT_EQ(ado->ExecToLocal("select name, n, x, b, d from t order by n", local), 6);
  ASSERT_EQ(local.Cols(), 5);
  // varchar(10) in GBK bytes (ten characters of two bytes each); integer,
  // double, Boolean and timestamp three times their data size.
  const std::vector<int32_t> widths = {20, 12, 24, 6, 48};
  for (size_t f = 0; f < widths.size(); ++f) EXPECT_EQ(local.fields().fields[f].width, widths[f]);
  char buf[services::kDbValueBytes];
  local.GetValByIndex(buf, 0, 6);
  EXPECT_STREQ(buf, "中");
  local.GetValByIndex(buf, 3, 6);
  EXPECT_STREQ(buf, "1");
  local.GetValByIndex(buf, 3, 1);
  EXPECT_STREQ(buf, "0");
  EXPECT_EQ(ado->ExecToLocal("select n from t where n > 100", local), 0);
  // A column full of two-byte characters is copied whole.
  const std::string ten = "一二三四五六七八九十";
  ASSERT_EQ(ado->Exec("create table full_names(name varchar(10))"), 0);
  ASSERT_EQ(ado->Exec("insert into full_names values('" + ten + "')"), 1);
  ASSERT_EQ(ado->ExecToLocal("select name from full_names", local), 1);
  local.GetValByIndex(buf, 0, 1);
  EXPECT_EQ(std::string(buf), ten);
  ado->SetDebug(services::kDbDebugKeepError);
  local.debug = services::kDbDebugKeepError;
  EXPECT_EQ(ado->ExecToLocal("select nope from t", local), services::kAdoProviderError);
  EXPECT_FALSE(local.lastError.empty());
}

TEST_F(AdoSqliteTest, TheSqlLogLivesWhileANamedBackEndDoes) {
  ASSERT_EQ(mkdir("log", 0755), 0);
  auto named = Open("app");
  EXPECT_TRUE(services::SharedSqlLog().IsOpen());
  {
    auto unnamed = Open();
    unnamed->Exec("select * from missing");
  }
  EXPECT_TRUE(services::SharedSqlLog().IsOpen());
  named.reset();
  EXPECT_FALSE(services::SharedSqlLog().IsOpen());
  const std::string log = ReadFile("log/sqlapp.log").value_or("");
  EXPECT_NE(log.find("] Start.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] select * from missing\n"), std::string::npos) << log;
  EXPECT_NE(log.find("no such table"), std::string::npos) << log;
  EXPECT_NE(log.find("] End.\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace services_test
