// The pool's waits against MariaDB in real time: a request that finds both
// members busy gives up after about 10 s, and a database that was down when
// the script opened it serves requests once its server is up (a private
// server of this test).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame/settings.h"
#include "platform/message_service.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "tests/db/db_server_fixture.h"
#include "tests/test_support.h"

namespace db_test {
namespace {

using services::DbOpenTexts;
using services::TagLocalData;

class PoolSlowTest : public ::testing::Test {
 protected:
  PoolSlowTest() { frame::GetSettings().db_max_conn = 2; }
  ~PoolSlowTest() override { frame::GetSettings().db_max_conn = 0; }

  services::TagDbConnectionsCtrl pool_;
  platform::RecordingMessageService boxes_;
  platform::ScopedMessageService use_boxes_{&boxes_};
};

TEST_F(PoolSlowTest, ARequestWhileBothMembersSleepTimesOut) {
  ServerDb db(Kind::kMariaDb);
  if (!db.running()) GTEST_SKIP() << "no test server";
  std::vector<std::unique_ptr<TagLocalData>> users;
  for (int i = 0; i < 3; ++i) {
    users.push_back(std::make_unique<TagLocalData>(
        pool_, services::kDbTypeAdo, DbOpenTexts{db.ConnectionString(), "", "", ""}));
  }
  std::vector<std::thread> sleepers;
  for (int i = 0; i < 2; ++i) {
    sleepers.emplace_back([&, i] { EXPECT_EQ(users[i]->Exec("SELECT SLEEP(12)"), 1); });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(users[2]->Exec("select 1"), services::kDbPoolTimeout);
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(waited, 9.5);
  EXPECT_LT(waited, 11.5);
  for (std::thread& t : sleepers) t.join();
  EXPECT_EQ(users[2]->Exec("select 1"), 1);
}

TEST_F(PoolSlowTest, ADatabaseDownAtOpenServesOnceItsServerIsUp) {
  testing_support::TempDir dir;
  const int port = testing_support::FreeLoopbackPort();
  const std::string state = dir.File("state");
  const std::string cs = "Driver={MySQL ODBC 8.0 Unicode Driver};Server=127.0.0.1;Port=" +
                         std::to_string(port) + ";UID=root;PWD=";
  TagLocalData user(pool_, services::kDbTypeAdo, DbOpenTexts{cs, "", "", ""});
  ASSERT_EQ(user.state, 0) << "the failed member stays in the pool";
  EXPECT_LT(user.Exec("select 1 as one"), 0);
  const std::string helper = std::string("python3 ") + VTTEL_TEST_SERVERS_PY;
  ASSERT_EQ(std::system((helper + " start mariadb --state " + state + " --port " +
                         std::to_string(port)).c_str()), 0);
  EXPECT_EQ(user.Exec("select 1 as one"), 1);
  char buf[services::kDbValueBytes];
  user.GetValByIndex(buf, 0, 1);
  EXPECT_STREQ(buf, "1");
  std::system((helper + " stop --state " + state).c_str());
}

}  // namespace
}  // namespace db_test
