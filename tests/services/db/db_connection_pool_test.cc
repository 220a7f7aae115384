// The connection pool with fake members: sharing, members per user,
// database selection, failed members, time-outs on the fake clock.
#include "services/db/db_connection_pool.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "services/db/local_data.h"
#include "tests/services/db/db_pool_fixture.h"

namespace services_test {
namespace {

using services::DbOpenTexts;
using services::TagLocalData;

const DbOpenTexts kDb = {"Provider=x;Data Source=db", "user", "pw", "app"};

std::string FirstCell(TagLocalData& local) {
  char buf[services::kDbValueBytes];
  local.GetValByIndex(buf, 0, 1);
  return buf;
}

TEST(DbConnectionPool, ScriptsShareAConnectionWithAtMostMaxMembers) {
  PoolFixture f(2);
  std::vector<std::unique_ptr<TagLocalData>> users;
  for (int i = 0; i < 5; ++i) {
    DbOpenTexts texts = kDb;
    texts[3] = "log" + std::to_string(i);  // the log name does not count
    users.push_back(std::make_unique<TagLocalData>(f.pool, 4, texts));
    EXPECT_EQ(users.back()->state, 0);
  }
  EXPECT_EQ(f.pool.Connection(0)->MemberCount(), 2u);
  DbOpenTexts other = kDb;
  other[0] = "Provider=x;Data Source=other";
  TagLocalData second(f.pool, 4, other);
  EXPECT_EQ(second.state, 1);
  for (int32_t type : {3, 7, 5}) {
    TagLocalData refused(f.pool, type, kDb);
    EXPECT_EQ(refused.state, services::kDbPoolRefused) << type;
  }
  EXPECT_EQ(f.pool.Run(9, "select 1", second), services::kDbPoolBadConnection);
  EXPECT_EQ(f.pool.Close(-1), services::kDbPoolBadConnection);
  // Closing users removes members down to the users left.
  users.resize(1);
  EXPECT_EQ(f.pool.Connection(0)->MemberCount(), 1u);
  users.clear();
  EXPECT_EQ(f.pool.Connection(0)->MemberCount(), 0u);
  EXPECT_EQ(f.pool.Close(0), -1);
  TagLocalData again(f.pool, 4, kDb);
  EXPECT_EQ(again.state, 0);
  EXPECT_EQ(again.Exec("select 1"), 1);
  EXPECT_EQ(FirstCell(again), std::to_string(f.journal.made)) << "a new member serves it";
}

TEST(DbConnectionPool, OnlyTheFirstSelectionReachesAMemberOnce) {
  PoolFixture f(3);
  TagLocalData a(f.pool, 4, kDb);
  TagLocalData b(f.pool, 4, kDb);
  EXPECT_EQ(a.Exec("use first"), 2) << "the member count";
  EXPECT_EQ(b.Exec("USE second"), 2);
  EXPECT_EQ(a.Exec("select 1"), 1);
  EXPECT_EQ(b.Exec("select 2"), 1);
  EXPECT_EQ(f.journal.Lines(),
            (std::vector<std::string>{"1 use first", "1 select 1", "1 select 2"}));
}

TEST(DbConnectionPool, AMemberThatFailedToOpenIsOpenedAgain) {
  PoolFixture f(1);
  f.journal.failOpens = 2;
  TagLocalData a(f.pool, 4, kDb);
  EXPECT_EQ(a.state, 0) << "the member stays in the pool";
  EXPECT_EQ(a.Exec("select 1"), -3) << "its second open failed too: the back end's code";
  EXPECT_EQ(a.Exec("select 2"), 1);
  EXPECT_EQ(FirstCell(a), "3");
  EXPECT_EQ(f.journal.Lines(), (std::vector<std::string>{"2 select 1", "3 select 2"}));
}

}  // namespace
}  // namespace services_test
