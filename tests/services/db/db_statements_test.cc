// The database statements on a line's main script, in-process: handle
// checks, the "DbOpen(" dispatch with and without the connection pool, the
// error boxes, and what "DbGetField(" hands over from a back end.
#include "services/db/db_statements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "platform/message_service.h"
#include "services/db/db_pool.h"
#include "services/db/db_store.h"
#include "services/db/local_data.h"
#include "tests/services/db/dbf_fixture.h"
#include "tests/services/tcp_script_fixture.h"

namespace services_test {
namespace {

using engine::TagVar;
using services::DbOpenTexts;
using services::TagLocalData;

// A pool that serves types 1, 4 and 5 with empty results and notes what
// reaches it.
class FakePool : public services::DbPool {
 public:
  std::vector<std::string> requests;
  int32_t Open(int32_t type, const DbOpenTexts& texts) override {
    requests.push_back("open " + std::to_string(type) + " " + texts[0]);
    return type == 1 || type == 4 || type == 5 ? 0 : services::kDbPoolRefused;
  }
  int32_t Run(int32_t, std::string_view sql, TagLocalData&) override {
    requests.push_back("run " + std::string(sql));
    return 0;
  }
  int32_t Close(int32_t) override { return 0; }
};

class DbStatementsTest : public TcpScriptTest {
 protected:
  void SetUp() override {
    TcpScriptTest::SetUp();
    WriteTable("t.dbf");
  }
  void TearDown() override {
    services::SetDbPool(nullptr);
    frame::GetSettings().db_max_conn = 0;
    TcpScriptTest::TearDown();
  }
  static void WriteTable(const std::string& name) {
    testing_support::WriteFile(name, DbfBytes({{"NAME", 'C', 6}}, {{"Ann"}, {"Bob"}}));
  }
  // "DbOpen(" of type on text; the out handle into *handle.
  int32_t Open(int32_t type, std::string_view text, int32_t* handle = nullptr) {
    TagVar* out = Val(-99);
    const int32_t r = Exec("DbOpen(", {Val(type), Val(text), Val(""), Val(""), Val(""), out});
    if (handle != nullptr) *handle = out->GetInt();
    return r;
  }
  void UsePool() {
    services::SetDbPool(&pool_);
    frame::GetSettings().db_max_conn = 5;
  }

  platform::RecordingMessageService boxes_;
  platform::ScopedMessageService use_boxes_{&boxes_};
  FakePool pool_;
};

TEST_F(DbStatementsTest, HandlesAreSlotsReusedFromTheFirst) {
  int32_t handle = 0;
  EXPECT_EQ(Exec("DbClose(", {Val(5)}), 0) << "nothing open";
  for (int32_t expected : {0, 1, 2}) {
    EXPECT_EQ(Open(0, "t.dbf", &handle), expected);
    EXPECT_EQ(handle, expected);
  }
  EXPECT_EQ(Exec("DbClose(", {Val(0)}), 0);
  EXPECT_EQ(Exec("DbRows(", {Val(2), Val(0)}), 2) << "handle 2 still works";
  EXPECT_EQ(Open(0, "t.dbf"), 0);
  const struct {
    const char* keyword;
    int32_t handle;
    int32_t result;
  } checks[] = {
      {"DbClose(", 1024, -1}, {"DbClose(", -1, -1}, {"DbClose(", 5, -2},
      {"DbRows(", 1024, -1},  {"DbRows(", 5, -2},   {"DbExec(", -1, -1},
      {"DbExec(", 3, -2},     {"DbSetDebug(", 3, -2},
  };
  for (const auto& c : checks) {
    SCOPED_TRACE(testing::Message() << c.keyword << c.handle);
    std::vector<TagVar*> args = {Val(c.handle)};
    const int n = engine::Keywords().row(engine::Keywords().FindKeyword(c.keyword)).argCount;
    while (static_cast<int>(args.size()) < n) args.push_back(Val(0));
    EXPECT_EQ(Exec(c.keyword, args), c.result);
  }
  TagVar* text = Val("old");
  EXPECT_EQ(Exec("DbGetField(", {Val(7), Val("NAME"), Val(1), text}), -2);
  EXPECT_EQ(Exec("DbCloseAll(", {}), 0);
  EXPECT_EQ(services::DatabaseStoreOf(script_.get())->count(), 0);
  EXPECT_EQ(Open(0, "t.dbf"), 0);
  EXPECT_TRUE(boxes_.messages().empty());
}

TEST_F(DbStatementsTest, TheTableHoldsAtMost1023OpenDatabases) {
  UsePool();
  for (int32_t i = 0; i < services::kDbMaxOpen; ++i) ASSERT_EQ(Open(4, "db"), i);
  int32_t handle = 0;
  EXPECT_EQ(Open(4, "db", &handle), services::kDbOpenTooMany);
  EXPECT_EQ(handle, -99) << "the out handle keeps its value";
  ASSERT_EQ(boxes_.messages().size(), 1u);
  EXPECT_NE(boxes_.messages()[0].text.find("打开的数据库太多"), std::string::npos);
  EXPECT_EQ(Exec("DbClose(", {Val(7)}), 0);
  EXPECT_EQ(Open(4, "db"), 7);
}

// No client library is loaded here (the line drive loads them): the server
// types fail to open like a connection string that reaches nothing.
TEST_F(DbStatementsTest, TypesWithoutABackEndFail) {
  int32_t handle = 0;
  for (int32_t type : {1, 4, 5, 7}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(Open(type, "host:3000", &handle), services::kDbOpenFailed);
    EXPECT_EQ(handle, services::kDbOpenFailed);
  }
  // Only the ADO back end says why: no provider in its string.
  ASSERT_EQ(boxes_.messages().size(), 1u);
  EXPECT_EQ(boxes_.messages()[0].caption, "初始化ADO错误...");
  EXPECT_EQ(Open(3, "x"), services::kDbOpenFailed);
  ASSERT_EQ(boxes_.messages().size(), 2u);
  EXPECT_NE(boxes_.messages()[1].text.find("Invalid data type"), std::string::npos);
  EXPECT_EQ(Open(0, "none.dbf"), services::kDbOpenFailed);
  EXPECT_EQ(Open(0, "t.dbf"), 0) << "failed opens took no slot";
}

TEST_F(DbStatementsTest, PooledOpensGoThroughThePool) {
  LogFile log;
  UsePool();
  EXPECT_EQ(Open(3, "x"), services::kDbOpenFailed);
  EXPECT_EQ(Open(7, "host:3000"), services::kDbOpenFailed);
  EXPECT_TRUE(boxes_.messages().empty());
  EXPECT_NE(log.Text().find("type 7 cannot be pooled"), std::string::npos);
  EXPECT_EQ(Open(4, "DSN=x"), 0);
  EXPECT_EQ(Exec("DbExec(", {Val(0), Val("select 1")}), 0);
  EXPECT_EQ(Open(0, "t.dbf"), 1) << "dBASE tables are never pooled";
  EXPECT_EQ(pool_.requests, (std::vector<std::string>{"open 3 x", "open 4 DSN=x", "run select 1"}));
}

TEST_F(DbStatementsTest, WithoutAPoolPooledOpensFail) {
  LogFile log;
  frame::GetSettings().db_max_conn = 5;
  EXPECT_EQ(Open(4, "DSN=x"), services::kDbOpenFailed);
  EXPECT_NE(log.Text().find("no connection pool"), std::string::npos);
}

// A back end that reads "abc" from row 1 and leaves the buffer alone for
// any other row.
class StaleBackEnd : public services::TagLocalData {
 public:
  explicit StaleBackEnd(services::DbPool& pool) : TagLocalData(pool, 4, DbOpenTexts{}) {}
  int32_t GetValByIndex(char* out, int32_t, int32_t row) override {
    if (row != 1) return -2;
    std::strcpy(out, "abc");
    return 3;
  }
};

TEST_F(DbStatementsTest, AFailedReadHandsOverAnEmptyText) {
  services::DatabaseStoreOf(script_.get())->Put(0, std::make_unique<StaleBackEnd>(pool_));
  TagVar* text = Val("");
  EXPECT_EQ(Exec("DbGetField(", {Val(0), Val(0), Val(1), text}), 3);
  EXPECT_EQ(text->ToText(), "abc");
  EXPECT_EQ(Exec("DbGetField(", {Val(0), Val(0), Val(2), text}), -2);
  EXPECT_EQ(text->ToText(), "");
}

TEST_F(DbStatementsTest, DbExecCopiesTheLastError) {
  UsePool();
  ASSERT_EQ(Open(4, "DSN=x"), 0);
  services::DatabaseStoreOf(script_.get())->Find(0)->lastError = "gone away";
  Exec("DbExec(", {Val(0), Val("select 1")});
  EXPECT_EQ(services::DatabaseErrorText(script_.get()), "gone away");
  EXPECT_EQ(Exec("DbSetDebug(", {Val(0), Val(2)}), 0);
  EXPECT_EQ(services::DatabaseStoreOf(script_.get())->Find(0)->debug, 2);
}

}  // namespace
}  // namespace services_test
