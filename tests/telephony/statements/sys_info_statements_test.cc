// The system-information keys of a script on a line whose table has a
// drive whose facts the test sets, and of one without a drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/keyword_table.h"
#include "engine/line_call.h"
#include "engine/statement_registry.h"
#include "frame/line_facts.h"
#include "frame/version_text.h"
#include "services/db/data_set.h"
#include "services/db/db_store.h"
#include "services/service_statements.h"
#include "telephony/board/dj_digit_drive.h"
#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

constexpr int32_t kLine = 3;

class FactsDrive : public frame::LineDriveFacts {
 public:
  int32_t block = 0;
  bool connected = false;
  int32_t external = 0, internal = 0, virtual_lines = 0, ip = 0;

  int32_t GetBlockState(int32_t line) const override { return line == kLine ? block : -1; }
  bool GetTalkTime(int32_t line, int32_t* talk, int32_t* connect) const override {
    if (line != kLine || !connected) return false;
    *talk = 12;
    *connect = 1700000000;
    return true;
  }
  int32_t CountConnectedLines(int32_t* e, int32_t* i, int32_t* v, int32_t* p) const override {
    *e = external, *i = internal, *v = virtual_lines, *p = ip;
    return external + internal + virtual_lines + ip;
  }
  int32_t CountDialingLines(int32_t*, int32_t*) const override { return 0; }
  int32_t CountReloadPending() const override { return 0; }
};

// A database back end whose statements fail; in debug mode 2 it keeps the
// error text, as the back ends do.
class FailingBackEnd : public services::TagDataSet {
 public:
  int32_t Exec(std::string_view) override {
    if (debug == 2) lastError = "no such table: t";
    return -1;
  }
  int32_t Rows() override { return 0; }
  int32_t Cols() override { return 0; }
  int32_t ColName(int32_t, char*) override { return -1; }
  int32_t ColIndex(std::string_view) override { return -1; }
  int32_t GetValByName(char*, std::string_view, int32_t) override { return -1; }
  int32_t GetValByIndex(char*, int32_t, int32_t) override { return -1; }
  void Close() override {}
};

class Table : public engine::LineTableFacts {
 public:
  int32_t LineCount() const override { return kLine + 1; }
  const frame::LineDriveFacts* DriveFacts() const override { return drive; }
  const frame::LineDriveFacts* drive = nullptr;
};

class SysInfoTest : public ::testing::Test {
 protected:
  SysInfoTest() : in_(dir_.path()) {
    RegisterTelephonyStatements();
    services::RegisterServiceStatements();
    engine::SetLineTableFacts(&table_);
    frame::SetVersionText("Ver9.99-Test");
    call_.lineNo = kLine;
  }
  ~SysInfoTest() override {
    engine::SetLineTableFacts(nullptr);
    frame::SetVersionText("");
  }
  // Runs keyword as a statement of a script on the line, on args.
  int32_t Run(const char* keyword, std::vector<engine::TagVar*> args) {
    if (line_ == nullptr) {
      line_ = std::make_unique<ScriptOnLine>("return(0)\n", call_);
      EXPECT_TRUE(line_->compiled()) << line_->Errors();
    }
    engine::StatementBuild build;
    build.row = engine::Keywords().FindKeyword(keyword);
    build.args = std::move(args);
    build.script = &line_->script();
    std::string error;
    std::unique_ptr<engine::TagOper> s(engine::Statements().Build(build, &error));
    EXPECT_NE(s, nullptr) << error;
    return s != nullptr ? s->Execute() : INT32_MIN;
  }
  // The elements of a map as (key, value) text pairs in its order.
  static std::vector<std::pair<std::string, std::string>> Items(const engine::TagVar& m) {
    std::vector<std::pair<std::string, std::string>> items;
    engine::TagVar key, value;
    for (int32_t i = 0; m.GetItem(i, key, value) >= 0; ++i) {
      items.emplace_back(key.ToText(), value.ToText());
    }
    return items;
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir in_;
  Table table_;
  FactsDrive drive_;
  RecordingCall call_;
  std::unique_ptr<ScriptOnLine> line_;
};

TEST_F(SysInfoTest, GetSysInfoStoresEveryKeyInOrder) {
  table_.drive = &drive_;
  drive_ = {};
  drive_.block = 1;
  drive_.connected = true;
  drive_.external = 2, drive_.internal = 3, drive_.virtual_lines = 4, drive_.ip = 5;
  call_.nameConfClosed = 1;
  engine::TagVar m;
  EXPECT_EQ(Run("GetSysInfo(", {&m}), 16);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"CardSerNo", CardSerialNo()}, {"Version", "Ver9.99-Test"}, {"AcmBci1", "0"}, {"AcmBci2", "0"},
      {"CauseId", "0"}, {"IsLastExitConf", "1"},
      {"IsMediaOk", std::to_string(call_.IsMediaOk() ? 1 : 0)},
      {"ChState", std::to_string(call_.GetChState())},
      {"CallType", std::to_string(call_.GetCallType())}, {"DbErrInfo", ""},
      {"ExLineConnectedNum", "2"}, {"InLineConnectedNum", "3"}, {"VoipConnectedNum", "5"},
      {"IsBlock", "1"}, {"TalkTime", "12"}, {"ConnectedTime1", "1700000000"},
  };
  // A map iterates its string keys in byte order.
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Items(m), expected);
}

struct ValCase {
  const char* key;
  int32_t result;
  std::string value;  // text form of v afterwards (v starts as "old")
};

TEST_F(SysInfoTest, GetSysInfoValMatchesKeysInAnyCase) {
  table_.drive = &drive_;
  drive_ = {};
  drive_.block = 0;
  call_.blocked = 1;  // "IsBlock" alone reads the call object
  const ValCase cases[] = {
      {"version", 0, "Ver9.99-Test"},
      {"VERSION", 0, "Ver9.99-Test"},
      {"isblock", 0, "1"},
      {"talktime", 0, "0"},  // not connected
      {"ConnectedTime1", 0, "0"},
      {"causeid", 0, "0"},
      {"dberrinfo", 0, ""},
      {"NoSuchKey", -1, "old"},
      {"Version ", -1, "old"},
  };
  for (const ValCase& c : cases) {
    SCOPED_TRACE(c.key);
    engine::TagVar key, v;
    key.AssignString(c.key);
    v.AssignString("old");
    EXPECT_EQ(Run("GetSysInfoVal(", {&key, &v}), c.result);
    EXPECT_EQ(v.ToText(), c.value);
  }
  call_.blocked = 0;
}

TEST_F(SysInfoTest, DbErrInfoHoldsTheLastDatabaseError) {
  engine::TagVar key, v, handle, sql, mode;
  key.AssignString("DbErrInfo");
  EXPECT_EQ(Run("GetSysInfoVal(", {&key, &v}), 0);
  EXPECT_EQ(v.ToText(), "");
  services::DatabaseStoreOf(&line_->script())->Put(0, std::make_unique<FailingBackEnd>());
  handle.AssignInt(0);
  mode.AssignInt(2);
  sql.AssignString("select * from t");
  EXPECT_EQ(Run("DbSetDebug(", {&handle, &mode}), 0);
  EXPECT_LT(Run("DbExec(", {&handle, &sql}), 0);
  EXPECT_EQ(Run("GetSysInfoVal(", {&key, &v}), 0);
  EXPECT_EQ(v.ToText(), "no such table: t");
}

TEST_F(SysInfoTest, WithoutADriveTheDriveKeysAreZero) {
  table_.drive = nullptr;
  drive_.block = 1;
  drive_.connected = true;
  drive_.external = 2;
  engine::TagVar m, x;
  // Elements a map held before stay.
  x.AssignString("x");
  m.Element(x)->AssignInt(7);
  EXPECT_EQ(Run("GetSysInfo(", {&m}), 17);
  for (const auto& [k, v] : Items(m)) {
    if (k == "ExLineConnectedNum" || k == "IsBlock" || k == "TalkTime" || k == "ConnectedTime1") {
      EXPECT_EQ(v, "0") << k;
    }
  }
  EXPECT_EQ(m.Element(x)->GetInt(), 7);
}

}  // namespace
}  // namespace telephony
