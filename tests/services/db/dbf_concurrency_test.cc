// Writers of one dBASE table on threads of their own, each through its own
// back end (as lines do): every append gets a record number of its own.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/text_trim.h"
#include "services/db/dbf_data.h"
#include "tests/services/db/dbf_fixture.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

TEST(DbfConcurrency, EightAppendingThreadsLoseNoRecord) {
  constexpr int kThreads = 8;
  constexpr int kAppends = 1000;
  testing_support::TempDir dir;
  const std::string path = dir.File("c.dbf");
  testing_support::WriteFile(path, DbfBytes({{"ID", 'C', 8}}, {}));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&path, t] {
      services::TagDbfData d(path);
      for (int i = 0; i < kAppends; ++i) {
        if (d.SetValByName(std::to_string(t * kAppends + i), "ID", -1) < 1) ADD_FAILURE();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  services::TagDbfData d(path);
  ASSERT_EQ(d.Rows(), kThreads * kAppends);
  std::set<std::string> ids;
  for (int32_t row = 1; row <= d.Rows(); ++row) {
    char value[services::kDbValueBytes];
    d.GetValByIndex(value, 0, row);
    ids.emplace(platform::TrimmedView(value));
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads * kAppends));
  const std::string bytes = testing_support::ReadFile(path).value_or("");
  EXPECT_EQ(bytes.size(), 32u + 32u + 1u + 9u * kThreads * kAppends + 1u);
}

}  // namespace
}  // namespace services_test
