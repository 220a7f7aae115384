// The back end of the maker's database server on our stand-in wrndbd, with
// the real stand-in client library: the order of the client calls in its
// trace, reconnects after a dropped connection, refused statements and
// logins, missing rows and copied widths; then the statements and the
// loader through the real vtsrun.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "services/db/local_data.h"
#include "services/db/wrndb_client.h"
#include "services/db/wrndb_data.h"
#include "tests/db/client_library_fixture.h"
#include "tests/db/wrndb_server_fixture.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::TagWrnDbData;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;

[[maybe_unused]] const bool library_env = [] {
  setenv("VTTEL_WRNDB_LIB", VTTEL_WRNDB_LIBRARY, 1);
  return true;
}();

class WrnDbServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadDbClientLibraries(); }
  void SetUp() override {
    const auto server = testing_support::FindTestServer(VTTEL_DB_SERVERS_STATE, "wrndbd");
    if (!server) GTEST_SKIP() << "no test server";
    port_ = server->port;
    ASSERT_NE(services::WrnDbLibrary(), nullptr);
  }
  std::unique_ptr<TagWrnDbData> Open(const std::string& log_name = "") {
    return std::make_unique<TagWrnDbData>("127.0.0.1", port_, user_, "pw", log_name);
  }
  std::string Trace() { return ReadFile(trace_).value_or(""); }

  int port_ = 0;
  const std::string user_ = WrnDbTestUser();
  TempDir dir_;
  const std::string trace_ = dir_.File("trace.txt");
  ScopedEnv trace_env_{"VTTEL_WRNDB_TRACE", trace_};
};

TEST_F(WrnDbServerTest, ADroppedConnectionIsOpenedAgainAndTheStatementRetried) {
  ScopedChdir cd(dir_.path());
  auto db = Open("wlog");
  ASSERT_EQ(db->state, 0);
  ASSERT_EQ(db->Exec("create table t(n int, s text)"), 0);
  ASSERT_EQ(db->Exec("insert into t values(1, 'a'), (2, null)"), 2) << "rows changed";
  ASSERT_TRUE(ArmWrnDbFault(port_, user_, "drop"));
  ASSERT_EQ(db->Exec("select n, s from t order by n"), 0);
  EXPECT_EQ(db->Rows(), 2);
  EXPECT_EQ(CellText(*db, 0, 2), "2");
  EXPECT_EQ(CellText(*db, 1, 2), "") << "NULL reads empty";
  const std::string p = std::to_string(port_);
  const std::vector<std::string> order = {
      "WrnDbOpen(\"127.0.0.1\", " + p + ", NULL, \"" + user_ + "\") = ",
      ", \"select n, s from t order by n\") = -1, -1\n",
      "WrnDbClose(",
      "WrnDbOpen(\"127.0.0.1\", " + p + ", \"\", \"" + user_ + "\") = ",
      ", \"select n, s from t order by n\") = 0, 0\n"};
  const std::string trace = Trace();
  size_t at = 0;
  for (const std::string& line : order) {
    at = trace.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in order in\n" << trace;
  }
  db.reset();
  const std::string log = ReadFile(dir_.File("wlog.log")).value_or("");
  for (const char* line : {"] Start.\n", "] WrnDbExec[select n, s from t order by n]: ret=-1, "
                           "retCode=-1\n", "] Reconnecting...\n", "] Open() is 0.\n", "] End.\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " in " << log;
  }
}

TEST_F(WrnDbServerTest, ARefusedStatementGivesItsReturnCodeWithoutAReconnect) {
  auto db = Open();
  db->SetDebug(services::kDbDebugKeepError);
  ASSERT_TRUE(ArmWrnDbFault(port_, user_, "retcode", "-7"));
  EXPECT_EQ(db->Exec("select 1"), -7);
  EXPECT_EQ(db->lastError, "Error: fault injected");
  EXPECT_EQ(db->Exec("select x from nowhere"), -1) << "the server's own refusal";
  EXPECT_NE(db->lastError.find("no such table"), std::string::npos) << db->lastError;
  EXPECT_EQ(db->Exec("select 1"), 0);
  EXPECT_EQ(db->lastError, "") << "each statement clears the last error";
  EXPECT_EQ(Trace().find("WrnDbOpen(\"127.0.0.1\", " + std::to_string(port_) + ", \"\""),
            std::string::npos)
      << "no reconnect";
}

TEST_F(WrnDbServerTest, AHandleWhoseReconnectFailedConnectsAgainAtItsNextStatement) {
  auto db = Open();
  ASSERT_TRUE(ArmWrnDbFault(port_, user_, "drop"));
  ASSERT_TRUE(ArmWrnDbFault(port_, user_, "refuse"));
  EXPECT_EQ(db->Exec("select 1"), -1);
  EXPECT_EQ(db->state, -1);
  ASSERT_EQ(db->Exec("select 2"), 0);
  EXPECT_EQ(CellText(*db, 0, 1), "2");
  ASSERT_TRUE(ArmWrnDbFault(port_, user_, "refuse"));
  EXPECT_EQ(Open()->state, -1) << "a refused first open";
}

TEST_F(WrnDbServerTest, MissingRowsNamesAndCopiedWidths) {
  auto db = Open();
  ASSERT_EQ(db->Exec("create table t(id int, name text, big text)"), 0);
  ASSERT_EQ(db->Exec("insert into t values(12345, 'ab', '" + std::string(3000, 'x') + "')"), 1);
  ASSERT_EQ(db->Exec("select id, name, big from t"), 0);
  EXPECT_EQ(CellText(*db, 0, 2), "<-2>") << "a missing row";
  EXPECT_EQ(CellText(*db, 1, 1), "ab");
  EXPECT_EQ(CellText(*db, 2, 1).size(), 2499u) << "the library's value buffer";
  char name[services::kDbColNameBytes];
  EXPECT_EQ(db->ColName(1, name), 1);
  EXPECT_STREQ(name, "name");
  EXPECT_EQ(db->ColIndex("BIG"), 2);
  char buf[services::kDbValueBytes];
  EXPECT_GE(db->GetValByName(buf, "ID", 1), 0);
  EXPECT_STREQ(buf, "12345");
  services::TagLocalData local(services::GetDbPool(), services::kDbTypeServer,
                               services::DbOpenTexts{});
  ASSERT_EQ(db->ExecToLocal("select id, name, big from t", local), 1);
  const std::vector<int32_t> widths = {5, 2, 2048};
  for (size_t f = 0; f < widths.size(); ++f) {
    EXPECT_EQ(local.fields().fields[f].width, widths[f]) << f;
  }
  EXPECT_EQ(CellText(local, 2, 1), std::string(2048, 'x'));
  EXPECT_EQ(CellText(local, 0, 1), "12345");
}

// The statements and the loader through the real vtsrun, which loads the
// library itself.
class WrnDbScriptTest : public WrnDbServerTest {
 protected:
  std::string Run(const std::string& body) { return RunDbScript(dir_.path(), body); }
  std::string Open(const std::string& host) {
    return "r = DbOpen(7, \"" + host + "\", \"" + user_ + "\", \"pw\", \"\", h)\nPrint(r)\n";
  }
};

TEST_F(WrnDbScriptTest, HostAndPortOfTheOpen) {
  const std::string out = Run(Open("127.0.0.1:" + std::to_string(port_)) +
                              "r = DbExec(h, \"select 5 as five\")\nPrint(r)\n"
                              "r = DbGetField(h, \"five\", 1, v)\nPrint(v)\n" +
                              Open("127.0.0.1"));
  EXPECT_EQ(out.substr(0, 18), "0 : 0\n0 : 0\n0 : 5\n") << out;
  const std::string trace = Trace();
  EXPECT_NE(trace.find("WrnDbOpen(\"127.0.0.1\", " + std::to_string(port_) + ", NULL"),
            std::string::npos);
  EXPECT_NE(trace.find("WrnDbOpen(\"127.0.0.1\", 2013, NULL"), std::string::npos) << trace;
  const std::string raw = ReadFile(dir_.File("RawLog.txt")).value_or("");
  EXPECT_NE(raw.find("LoadLibrary('" + std::string(VTTEL_WRNDB_LIBRARY) + "') : 0, OK."),
            std::string::npos)
      << raw;
  EXPECT_NE(raw.find("FreeLibrary(wrnDbHd)."), std::string::npos) << raw;
}

TEST_F(WrnDbScriptTest, AFailedInitMakesTheLibraryUnusable) {
  ScopedEnv init("VTTEL_WRNDB_INIT_RESULT", "-1");
  EXPECT_EQ(services::LoadWrnDbLibrary(), services::kClientInitFailed);
  EXPECT_EQ(Run(Open("127.0.0.1:" + std::to_string(port_))), "0 : -2\n");
  const std::string raw = ReadFile(dir_.File("RawLog.txt")).value_or("");
  EXPECT_NE(raw.find("_WrnDbInit() : Error!"), std::string::npos) << raw;
}

}  // namespace
}  // namespace db_test
