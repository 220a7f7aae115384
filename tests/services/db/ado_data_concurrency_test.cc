// Sixteen lines at once open, run and close direct and pooled ADO back ends
// with log names: the shared SQL log and the pool are used from every line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "services/db/ado_data.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

constexpr int kLines = 16;
constexpr int kRounds = 5;

TEST(AdoDataThreads, LinesOpenRunAndCloseDirectAndPooledBackEnds) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir chdir(dir.path());
  ASSERT_EQ(mkdir("log", 0755), 0);
  const std::string cs = "Provider=SQLite;Data Source=" + dir.File("a.db");
  {
    services::TagAdoData setup(cs, "");
    ASSERT_EQ(setup.Exec("create table t(n integer)"), 0);
    ASSERT_EQ(setup.Exec("insert into t values(1),(2),(3)"), 3);
  }
  frame::GetSettings().db_max_conn = 4;
  services::TagDbConnectionsCtrl pool;
  std::vector<std::thread> lines;
  for (int line = 0; line < kLines; ++line) {
    lines.emplace_back([&, line] {
      const std::string name = "L" + std::to_string(line);
      for (int round = 0; round < kRounds; ++round) {
        services::TagAdoData direct(cs, name);
        EXPECT_EQ(direct.Exec("select n from t"), 0);
        EXPECT_EQ(direct.Rows(), 3);
        services::TagLocalData pooled(pool, services::kDbTypeAdo,
                                      services::DbOpenTexts{cs, "", "", name});
        EXPECT_EQ(pooled.Exec("select n from t order by n"), 3);
        char buf[services::kDbValueBytes];
        pooled.GetValByIndex(buf, 0, 3);
        EXPECT_STREQ(buf, "3");
      }
    });
  }
  for (std::thread& t : lines) t.join();
  EXPECT_EQ(pool.Connection(0)->MemberCount(), 0u);
  EXPECT_FALSE(services::SharedSqlLog().IsOpen());
  frame::GetSettings().db_max_conn = 0;
  const std::string log = testing_support::ReadFile("log/sqlapp.log").value_or("");
  EXPECT_NE(log.find("] Start.\n"), std::string::npos);
}

}  // namespace
}  // namespace services_test
