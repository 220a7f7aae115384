// The SQL Server back end over a fake DB-Library table: sending with its
// reconnects, reading result sets into fixed-width records, the shared log
// and the library's handlers, and the loader's failures.
#include "services/db/syb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "services/db/syb_data.h"
#include "tests/services/db/syb_fake.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using services::TagSyb;
using services::TagSybData;
using syb_fake::Column;
using syb_fake::Fake;
using syb_fake::ResultSet;

constexpr const char* kApp = "sybapp";

// A pool that only hands out users: the back end fills the local result.
class UserPool : public services::DbPool {
 public:
  int32_t Open(int32_t, const services::DbOpenTexts&) override { return 0; }
  int32_t Run(int32_t, std::string_view, services::TagLocalData&) override { return 0; }
  int32_t Close(int32_t) override { return 0; }
};

class SybTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Fake() = syb_fake::Server{};
    table_ = syb_fake::Table();
    services::SetSybApi(&table_);
  }
  void TearDown() override { services::SetSybApi(nullptr); }

  std::string Log() const {
    return testing_support::ReadFile(dir_.File(std::string(kApp) + ".log")).value_or("");
  }
  static std::string Value(TagSyb& syb, int col, int row) {
    char out[services::kDbValueBytes];
    return syb.GetValByIndex(out, col, row) == 1 ? std::string(out) : "<none>";
  }
  static std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width - text.size(), ' ');
  }
  static ResultSet Names() {
    return ResultSet{{{"id", 56, 4}, {"Name", 39, 20}}, {{"1", "Ann"}, {"2", "Bob"}}};
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  services::SybApi table_{};
};

TEST_F(SybTest, ColumnWidthsByType) {
  struct Case {
    int type;
    int32_t length;
    int32_t precision;
    int32_t width;
  } cases[] = {
      {47, 300, 0, 256},  {39, 10, 0, 256},   {45, 8, 0, 16},      {37, 4, 0, 8},
      {34, 5000, 0, 2048}, {48, 1, 0, 3},     {50, 1, 0, 3},       {52, 2, 0, 6},
      {56, 4, 0, 11},     {127, 8, 0, 20},    {60, 8, 0, 26},      {122, 4, 0, 26},
      {61, 8, 0, 27},     {58, 4, 0, 27},     {62, 8, 0, 20},      {59, 4, 0, 15},
      {106, 17, 18, 21},  {108, 17, 38, 41},  {36, 16, 0, 36},     {35, 1 << 30, 0, 2048},
      {999, 7, 0, 7},     {999, -1, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(services::SybColumnWidth(c.type, c.length, c.precision), c.width) << c.type;
  }
}

TEST_F(SybTest, SelectFillsFixedWidthRecords) {
  Fake().answers["SELECT"] = syb_fake::Sets({Names()});
  TagSyb syb("srv", "sa", "pw", kApp);
  ASSERT_EQ(syb.status(), services::kSybConnected);
  EXPECT_EQ(Fake().loginItems, (std::vector<std::string>{"2=sa", "3=pw", "5=sybapp"}));
  EXPECT_EQ(syb.Exec("SELECT"), 2);
  EXPECT_EQ(syb.result().recordWidth, 11 + 256);
  EXPECT_EQ(Value(syb, 0, 0), Padded("1", 11));
  EXPECT_EQ(Value(syb, 1, 1), Padded("Bob", 256));
  char out[services::kDbValueBytes];
  EXPECT_EQ(syb.GetValByName(out, "NAME", 0), 1);
  EXPECT_EQ(std::string(out), Padded("Ann", 256));
  // Outside the result: an empty text and 0.
  for (auto [col, row] : {std::pair{0, -1}, {0, 2}, {2, 0}, {-1, 0}}) {
    EXPECT_EQ(Value(syb, col, row), "<none>");
  }
  EXPECT_EQ(syb.GetValByName(out, "nope", 0), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(syb.result().returnStatus, services::kSybNoReturnStatus);
}

TEST_F(SybTest, BatchKeepsItsLastResultSetAndReturnStatus) {
  const ResultSet update{};
  Fake().answers["U;S"] = syb_fake::Sets({update, Names()});
  Fake().answers["S;U"] = syb_fake::Sets({Names(), update}, 2, 7);
  TagSyb syb("srv", "", "", kApp);
  EXPECT_EQ(syb.Exec("U;S"), 2);
  EXPECT_EQ(syb.result().resultSets, 2);
  EXPECT_EQ(syb.result().returnStatus, services::kSybNoReturnStatus);
  EXPECT_EQ(syb.Exec("S;U"), 0);
  EXPECT_EQ(Fake().canqueries, 0);
  EXPECT_EQ(syb.result().cols, 0);
  EXPECT_EQ(syb.result().returnStatus, 7);
  // The next batch starts without a return status again.
  EXPECT_EQ(syb.Exec("U;S"), 2);
  EXPECT_EQ(syb.result().returnStatus, services::kSybNoReturnStatus);
}

TEST_F(SybTest, SendBranches) {
  struct Case {
    const char* what;
    bool dead;
    bool openable;
    int sendFailures;
    bool deadAfterFailure;
    int32_t result;
    int opens;
    const char* log;
  } cases[] = {
      {"live", false, true, 0, false, 1, 0, ""},
      {"live send fails", false, true, 1, false, -1, 0, "Err: [SELECT 1]"},
      {"dead, re-opened", true, true, 0, false, 1, 1, "ReConnect OK"},
      {"dead, not re-openable", true, false, 0, false, -100, 1, "ReConnect Failed"},
      {"fails, re-opened, sent", false, true, 1, true, 1, 1, "ReConnect OK"},
      {"fails twice after a reconnect", false, true, 2, true, -2, 1, "Err: [SELECT 1]\n"},
      {"fails, not re-openable", false, false, 1, true, -1, 1, "ReConnect Failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fake() = syb_fake::Server{};
    TagSyb syb("srv", "", "", kApp);
    Fake().opens = 0;
    Fake().dead = c.dead;
    Fake().openable = c.openable;
    Fake().sendFailures = c.sendFailures;
    if (c.deadAfterFailure) {
      // The failed send is what finds the connection dead.
      table_.dbsqlsend = [](services::SybProcess*) {
        syb_fake::Server& s = Fake();
        if (s.sendFailures > 0) {
          --s.sendFailures;
          s.dead = true;
          return 0;
        }
        s.batches.push_back(s.buffer);
        s.buffer.clear();
        return s.dead ? 0 : 1;
      };
    }
    EXPECT_EQ(syb.Send("SELECT 1"), c.result);
    EXPECT_EQ(Fake().opens, c.opens);
    EXPECT_NE(Log().find(c.log), std::string::npos) << Log();
    // A batch that failed never stays in front of the next one.
    EXPECT_EQ(Fake().buffer, "");
    table_ = syb_fake::Table();
  }
}

TEST_F(SybTest, ReconnectResendsOnlyTheFirstUse) {
  TagSyb syb("srv", "", "", kApp);
  EXPECT_EQ(syb.Reconnect(), services::kSybAlive);
  EXPECT_EQ(syb.Exec("use first"), 0);
  EXPECT_EQ(syb.Exec("USE second"), 0);
  EXPECT_EQ(syb.Exec("usefoo"), 0);
  EXPECT_EQ(syb.use_statement(), "use first");
  Fake().batches.clear();
  Fake().dead = true;
  EXPECT_EQ(syb.Exec("SELECT 1"), 0);
  EXPECT_EQ(Fake().batches, (std::vector<std::string>{"use first", "SELECT 1"}));
}

TEST_F(SybTest, FailedFetchCancelsAndLogs) {
  Fake().answers["bad"] = syb_fake::Refused();
  Fake().answers["broken"] = syb_fake::Sets({Names()}, 0);
  ResultSet cut = Names();
  cut.end = 0;  // a failed row fetch ends the rows
  Fake().answers["cut"] = syb_fake::Sets({cut});
  TagSyb syb("srv", "", "", kApp);
  syb.set_trace(1);
  EXPECT_EQ(syb.Exec("bad"), services::kSybResultsFailed);
  EXPECT_EQ(Fake().cancels, 1);
  EXPECT_EQ(syb.Exec("broken"), services::kSybResultsFailed);
  EXPECT_EQ(Fake().cancels, 2);
  EXPECT_EQ(Fake().canqueries, 0);
  EXPECT_EQ(syb.Exec("cut"), 2);
  EXPECT_EQ(Fake().cancels, 2);
  // Only a set whose rows did not end is thrown away.
  EXPECT_EQ(Fake().canqueries, 1);
  const std::string log = Log();
  EXPECT_NE(log.find("] --> [bad]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] 'bad' Err!\n"), std::string::npos);
  EXPECT_NE(log.find("] _dbresults Err!\n"), std::string::npos);
  EXPECT_NE(log.find("] 'broken' Err!\n"), std::string::npos);
}

TEST_F(SybTest, LogAndHandlerTexts) {
  {
    TagSyb first("srv", "", "", kApp);
    TagSyb second("srv", "", "", "other");
    EXPECT_EQ(services::SharedSybLog().Count(), 2);
    ASSERT_NE(Fake().errHandler, nullptr);
    ASSERT_NE(Fake().msgHandler, nullptr);
    char text[] = "General SQL Server error";
    char os[] = "Connection refused";
    char msg[] = "Invalid object name 'x'.";
    char server[] = "SRV";
    char proc[] = "p1";
    char none[] = "";
    EXPECT_EQ(Fake().errHandler(syb_fake::Handle(), 10, 20018, -1, text, none), 2);
    EXPECT_EQ(Fake().errHandler(syb_fake::Handle(), 10, 20009, 111, text, os), 2);
    EXPECT_EQ(Fake().errHandler(nullptr, 10, 20009, 111, text, os), 2);
    EXPECT_EQ(Fake().msgHandler(syb_fake::Handle(), 208, 1, 16, msg, server, proc, 3), 0);
    EXPECT_EQ(Fake().msgHandler(syb_fake::Handle(), 5701, 2, 0, none, none, none, 0), 0);
  }
  EXPECT_EQ(services::SharedSybLog().Count(), 0);
  EXPECT_FALSE(services::SharedSybLog().IsOpen());
  const std::string log = Log();
  const char* expected[] = {
      "] VtAppServer Started.\nStart SqlServer[1] ...\nStart SqlServer[2] ...\n",
      "] DB-Library error:\n\tGeneral SQL Server error\n[",
      "] DB-Library error:\n\tGeneral SQL Server error\nOperating-system error:\n\t"
      "Connection refused\n[",
      "] DB-Connection status : DEAD!\n",
      "] Msg 208, Level 16, State 1 : Server 'SRV', Procedure 'p1', Line 3\n\t"
      "Invalid object name 'x'.\n\n",
      "] Msg 5701, Level 0, State 2 : [",
      "] VtAppServer Closed.\n",
  };
  for (const char* e : expected) EXPECT_NE(log.find(e), std::string::npos) << e << "\n" << log;
  EXPECT_FALSE(testing_support::FileExists(dir_.File("other.log")));
}

TEST_F(SybTest, DataSetSlots) {
  Fake().answers["SELECT"] = syb_fake::Sets({Names()});
  TagSybData data("srv", "sa", "", kApp);
  EXPECT_EQ(data.state, 0);
  EXPECT_EQ(data.Exec("SELECT"), 2);
  EXPECT_EQ(data.Rows(), 2);
  EXPECT_EQ(data.Cols(), 2);
  char out[services::kDbValueBytes];
  EXPECT_EQ(data.ColName(1, out), 1);
  EXPECT_STREQ(out, "Name");
  EXPECT_EQ(data.ColName(2, out), -2);
  EXPECT_EQ(data.ColIndex("ID"), 0);
  EXPECT_EQ(data.ColIndex("x"), -2);
  EXPECT_EQ(data.GetValByIndex(out, 1, 2), 1);
  EXPECT_EQ(std::string(out), Padded("Bob", 256));
  // Row 0 (before the first): an empty text and 0.
  EXPECT_EQ(data.GetValByIndex(out, 0, 0), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(data.SetDebug(2), 2);
  EXPECT_EQ(data.debug, services::kDbDebugLogErrors);
  data.Close();
  EXPECT_EQ(data.Exec("SELECT"), -1);
  EXPECT_EQ(data.Rows(), -1);
  EXPECT_EQ(data.ColIndex("id"), -1);
  EXPECT_EQ(data.GetValByIndex(out, 0, 1), 0);
}

TEST_F(SybTest, ExecToLocalCopiesTheRecords) {
  Fake().answers["SELECT"] = syb_fake::Sets({Names()});
  Fake().answers["UPDATE"] = syb_fake::Sets({ResultSet{}});
  UserPool pool;
  services::TagLocalData local(pool, services::kDbTypeSybase, {"srv", "", "", ""});
  std::unique_ptr<services::TagDataSet> member =
      services::MakeDbMember(services::kDbTypeSybase, {"srv", "sa", "", kApp});
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->state, 0);
  EXPECT_EQ(member->ExecToLocal("SELECT", local), 2);
  EXPECT_EQ(local.Rows(), 2);
  EXPECT_EQ(local.Cols(), 2);
  char out[services::kDbValueBytes];
  local.GetValByName(out, "name", 2);
  EXPECT_EQ(std::string(out), Padded("Bob", 256));
  local.GetValByIndex(out, 0, 1);
  EXPECT_EQ(std::string(out), Padded("1", 11));
  EXPECT_EQ(member->ExecToLocal("UPDATE", local), 0);
  EXPECT_EQ(local.Rows(), 0);
  Fake().dead = true;
  Fake().openable = false;
  EXPECT_EQ(member->ExecToLocal("SELECT", local), -1);
}

TEST_F(SybTest, WithoutTheLibrary) {
  services::SetSybApi(nullptr);
  {
    TagSybData data("srv", "sa", "", kApp);
    EXPECT_EQ(data.state, services::kSybNoLibrary);
    EXPECT_EQ(data.Exec("SELECT 1"), -1);
  }
  EXPECT_NE(Log().find("] Load ntwdblib.dll fail, Must install SQL Server client-tools first.\n"),
            std::string::npos);
  Fake().openable = false;
  services::SetSybApi(&table_);
  TagSybData refused("srv", "sa", "", "");
  EXPECT_EQ(refused.state, services::kSybOpenFailed);
}

TEST_F(SybTest, LoaderFailures) {
  testing_support::ScopedEnv conf("FREETDSCONF", "/nonexistent/freetds.conf");
  {
    testing_support::ScopedEnv lib("VTTEL_SYBDB_LIB", "/nonexistent/libsybdb.so.5");
    EXPECT_EQ(services::LoadSybLibrary(), services::kSybLoadMissing);
  }
  {
    // A library without dbinit.
    testing_support::ScopedEnv lib("VTTEL_SYBDB_LIB", "libm.so.6");
    EXPECT_EQ(services::LoadSybLibrary(), services::kSybLoadNoInit);
  }
  EXPECT_EQ(services::GetSybApi(), &table_);
}

TEST_F(SybTest, LoaderNamesItsFreeTdsConfUnlessOneIsNamed) {
  testing_support::TempDir runtime;
  testing_support::ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
  testing_support::ScopedEnv lib("VTTEL_SYBDB_LIB", "/nonexistent/libsybdb.so.5");
  const std::string path = runtime.path() + "/vttel/freetds.conf";
  {
    testing_support::ScopedEnv conf("FREETDSCONF", std::nullopt);
    EXPECT_EQ(services::LoadSybLibrary(), services::kSybLoadMissing);
    ASSERT_NE(std::getenv("FREETDSCONF"), nullptr);
    EXPECT_EQ(std::string(std::getenv("FREETDSCONF")), path);
    const std::string text = testing_support::ReadFile(path).value_or("");
    EXPECT_NE(text.find("tds version = 7.2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("client charset = GBK\n"), std::string::npos) << text;
  }
  std::remove(path.c_str());
  testing_support::ScopedEnv conf("FREETDSCONF", "/etc/freetds/freetds.conf");
  services::LoadSybLibrary();
  EXPECT_FALSE(testing_support::FileExists(path));
  EXPECT_EQ(std::string(std::getenv("FREETDSCONF")), "/etc/freetds/freetds.conf");
}

}  // namespace
}  // namespace services_test
