// The connection pool across line threads, with fake members: busy members
// make requests wait (and time out on the fake clock), every member gets the
// first database selection, and a slow connect delays no other database.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"
#include "tests/services/db/db_pool_fixture.h"

namespace services_test {
namespace {

using services::DbOpenTexts;
using services::TagLocalData;

const DbOpenTexts kDb = {"Provider=x;Data Source=db", "user", "pw", "app"};

TEST(DbConnectionPoolThreads, ARequestWithoutAFreeMemberTimesOutOnTheClock) {
  PoolFixture f(1);
  platform::FakeClock clock;
  platform::ScopedClock use_clock(&clock);
  TagLocalData a(f.pool, 4, kDb);
  TagLocalData b(f.pool, 4, kDb);
  f.journal.hold = true;
  std::thread holder([&] { a.Exec("select sleep"); });
  f.journal.WaitRunning(1);
  const uint64_t slept = clock.SleptMillis();
  EXPECT_EQ(b.Exec("select 1"), services::kDbPoolTimeout);
  EXPECT_EQ(clock.SleptMillis() - slept, uint64_t{services::kDbPoolTries} * services::kDbPoolTryMs);
  f.journal.Release();
  holder.join();
  EXPECT_EQ(b.Exec("select 1"), 1) << "the member is free again";
}

TEST(DbConnectionPoolThreads, EveryMemberAlsoALaterOneWorksInTheFirstSelection) {
  PoolFixture f(3);
  std::vector<std::unique_ptr<TagLocalData>> users;
  for (int i = 0; i < 2; ++i) users.push_back(std::make_unique<TagLocalData>(f.pool, 4, kDb));
  EXPECT_EQ(users[0]->Exec("use first"), 2);
  EXPECT_EQ(users[1]->Exec("use second"), 2);
  users.push_back(std::make_unique<TagLocalData>(f.pool, 4, kDb));
  f.journal.hold = true;
  std::vector<std::thread> lines;
  for (auto& u : users) lines.emplace_back([&u] { EXPECT_EQ(u->Exec("select x"), 1); });
  f.journal.WaitRunning(3);  // each member holds one request
  f.journal.Release();
  for (std::thread& t : lines) t.join();
  const std::vector<std::string> lines_run = f.journal.Lines();
  for (int member = 1; member <= 3; ++member) {
    std::vector<std::string> own;
    for (const std::string& l : lines_run) {
      if (l.rfind(std::to_string(member) + " ", 0) == 0) own.push_back(l.substr(2));
    }
    EXPECT_EQ(own, (std::vector<std::string>{"use first", "select x"})) << member;
  }
}

TEST(DbConnectionPoolThreads, ASlowConnectDelaysNoOtherDatabase) {
  frame::GetSettings().db_max_conn = 1;
  MemberJournal journal;
  std::mutex mu;
  std::condition_variable cv;
  bool connecting = false, let_go = false;
  services::TagDbConnectionsCtrl pool(
      [&](int32_t, const DbOpenTexts& texts) -> std::unique_ptr<services::TagDataSet> {
        if (texts[0] == "slow") {
          std::unique_lock<std::mutex> lock(mu);
          connecting = true;
          cv.notify_all();
          cv.wait(lock, [&] { return let_go; });
        }
        return std::make_unique<FakeMember>(journal, 1, false);
      });
  std::thread slow([&] { TagLocalData s(pool, 4, {"slow", "", "", ""}); EXPECT_EQ(s.state, 0); });
  {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return connecting; });
  }
  {
    TagLocalData fast(pool, 4, {"fast", "", "", ""});
    EXPECT_EQ(fast.state, 1) << "opened while the other database still connects";
    TagLocalData same(pool, 4, {"slow", "", "", ""});
    EXPECT_EQ(same.state, 0) << "the second user of the slow one does not wait either";
  }
  {
    std::lock_guard<std::mutex> lock(mu);
    let_go = true;
    cv.notify_all();
  }
  slow.join();
  frame::GetSettings().db_max_conn = 0;
}

}  // namespace
}  // namespace services_test
