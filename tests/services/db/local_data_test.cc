// The in-memory result set behind a pooled handle: filled by a pooled back
// end through the pool, read locally.
#include "services/db/local_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/services/db/dbf_fixture.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using services::DbOpenTexts;
using services::TagLocalData;

// A pool of one connection whose requests run fill on the result set.
class FakePool : public services::DbPool {
 public:
  std::function<int32_t(TagLocalData&)> fill;
  int32_t closes = 0;
  int32_t Open(int32_t type, const DbOpenTexts&) override { return type == 3 ? -1 : 0; }
  int32_t Run(int32_t connection, std::string_view, TagLocalData& local) override {
    return connection == 0 ? fill(local) : services::kDbPoolBadConnection;
  }
  int32_t Close(int32_t) override { return ++closes; }
};

// What a pooled back end's copy does: fields, rows, the block, the cells;
// -3 when the block cannot be had.
int32_t CopyResult(TagLocalData& local, const std::vector<std::pair<std::string, int>>& fields,
                   int32_t rows, const std::vector<std::vector<std::string>>& cells) {
  local.Clear();
  for (const auto& [name, width] : fields) local.fields().Add(name, width);
  local.SetRows(rows);
  if (!local.AllocRecords()) return -3;
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t f = 0; f < cells[r].size(); ++f) {
      local.PutCell(static_cast<int32_t>(r), static_cast<int32_t>(f), cells[r][f]);
    }
  }
  return rows;
}

class LocalDataTest : public ::testing::Test {
 protected:
  FakePool pool_;
  TagLocalData local_{pool_, 4, DbOpenTexts{}};
};

TEST_F(LocalDataTest, CellsAreReadBackByIndexAndName) {
  pool_.fill = [](TagLocalData& l) {
    return CopyResult(l, {{"NAME", 10}, {"CODE", 5}}, 3,
                      {{"Ann", "12345"}, {"王小二", "x"}, {"0123456789", ""}});
  };
  ASSERT_EQ(local_.Exec("select"), 3);
  EXPECT_EQ(local_.fields().recordWidth, 15);
  EXPECT_EQ(local_.Rows(), 3);
  EXPECT_EQ(local_.Cols(), 2);
  char value[services::kDbValueBytes] = "x";
  const struct {
    int32_t column, row, result;
    const char* text;
  } reads[] = {
      {1, 2, 5, "x"},
      {1, 1, 5, "12345"},
      {0, 2, 10, "王小二"},
      {0, 3, 10, "0123456789"},  // a cell filled whole
      {1, 3, 5, ""},
      {0, 0, -2, ""},
      {0, 4, -2, ""},
      {2, 1, -1, ""},
      {-1, 1, -1, ""},
  };
  for (const auto& r : reads) {
    SCOPED_TRACE(testing::Message() << r.column << "," << r.row);
    EXPECT_EQ(local_.GetValByIndex(value, r.column, r.row), r.result);
    EXPECT_STREQ(value, r.text);
  }
  EXPECT_EQ(local_.GetValByName(value, "code", 1), 5);
  EXPECT_STREQ(value, "12345");
  EXPECT_EQ(local_.GetValByName(value, "AGE", 1), -1);
  EXPECT_EQ(local_.ColIndex("Name"), 0);
  char name[services::kDbColNameBytes];
  EXPECT_EQ(local_.ColName(1, name), 1);
  EXPECT_STREQ(name, "CODE");
  EXPECT_EQ(local_.ColName(2, name), -1);
  EXPECT_STREQ(name, "");
}

TEST_F(LocalDataTest, AFailedExecLeavesNoRows) {
  pool_.fill = [](TagLocalData& l) {
    CopyResult(l, {{"A", 4}}, 2, {{"a"}, {"b"}});
    return -3;
  };
  EXPECT_EQ(local_.Exec("select"), -3);
  EXPECT_EQ(local_.Rows(), 0);
  EXPECT_EQ(local_.Cols(), 0);
}

TEST_F(LocalDataTest, AResultPastTheLimitGetsNoBlock) {
  LogFile log;
  bool wrote = false;
  pool_.fill = [&wrote](TagLocalData& l) {
    const int32_t r = CopyResult(l, {{"BIG", 4096}}, 1048577, {});
    int32_t width = 0;
    wrote = l.FieldAddress(1048576, 0, &width) != nullptr;
    return r;
  };
  EXPECT_EQ(local_.Exec("select"), -3);
  EXPECT_FALSE(wrote) << "no cell to write into";
  EXPECT_FALSE(local_.HasRecords());
  EXPECT_NE(log.Text().find("1048577 rows x 4096 bytes exceed 268435456 bytes"),
            std::string::npos)
      << log.Text();
  // Offsets of a block that fits are computed without wrapping.
  pool_.fill = [](TagLocalData& l) { return CopyResult(l, {{"A", 4096}}, 65536, {}); };
  ASSERT_EQ(local_.Exec("select"), 65536);
  int32_t width = 0;
  char* first = local_.FieldAddress(0, 0, &width);
  EXPECT_EQ(local_.FieldAddress(65535, 0, &width) - first, int64_t{65535} * 4096);
  EXPECT_EQ(local_.FieldAddress(65536, 0, &width), nullptr);
}

TEST_F(LocalDataTest, OpenAndCloseGoThroughThePool) {
  EXPECT_EQ(local_.state, 0);
  EXPECT_EQ(TagLocalData(pool_, 3, DbOpenTexts{}).state, -1);
  EXPECT_EQ(pool_.closes, 0) << "a refused open gives nothing back";
  local_.Close();
  local_.Close();
  EXPECT_EQ(pool_.closes, 1);
}

}  // namespace
}  // namespace services_test
