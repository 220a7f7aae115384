// SQL Server back ends made, used and deleted on several threads at once:
// the shared log and the count of back ends stay consistent, and each log
// line is whole.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "services/db/syb.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using services::SybProcess;

// A table without state: every connection opens, every batch succeeds with
// no result set, and the handlers are kept in atomics.
std::atomic<services::SybErrHandler> g_err{nullptr};
std::atomic<services::SybMsgHandler> g_msg{nullptr};

services::SybApi StatelessTable() {
  services::SybApi a{};
  static char byte;
  a.dbinit = [] { return 1; };
  a.dblogin = [] { return reinterpret_cast<services::SybLogin*>(&byte); };
  a.dbsetlname = [](services::SybLogin*, const char*, int) { return 1; };
  a.tdsdbopen = [](services::SybLogin*, const char*, int) {
    return reinterpret_cast<SybProcess*>(&byte);
  };
  a.dbclose = [](SybProcess*) {};
  a.dbcmd = [](SybProcess*, const char*) { return 1; };
  a.dbsqlsend = [](SybProcess*) { return 1; };
  a.dbsqlok = [](SybProcess*) { return 1; };
  a.dbresults = [](SybProcess*) { return services::kSybNoMoreResults; };
  a.dbhasretstat = [](SybProcess*) -> unsigned char { return 0; };
  a.dbretstatus = [](SybProcess*) { return 0; };
  a.dbcancel = [](SybProcess*) { return 1; };
  a.dbdead = [](SybProcess*) -> unsigned char { return 0; };
  a.dberrhandle = [](services::SybErrHandler h) { return g_err.exchange(h); };
  a.dbmsghandle = [](services::SybMsgHandler h) { return g_msg.exchange(h); };
  return a;
}

TEST(SybConcurrencyTest, BackEndsOnManyThreadsShareOneLog) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  const services::SybApi table = StatelessTable();
  services::SetSybApi(&table);
  constexpr int kThreads = 4;
  constexpr int kRounds = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kRounds; ++i) {
        services::TagSyb syb("srv", "sa", "", "shared");
        syb.set_trace(1);
        EXPECT_EQ(syb.Exec("SELECT " + std::to_string(t)), 0);
        char text[] = "a text of the library";
        char none[] = "";
        g_err.load()(nullptr, 10, 20009, -1, text, none);
        g_msg.load()(nullptr, 5701, 1, 0, text, none, none, 0);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  services::SetSybApi(nullptr);
  EXPECT_EQ(services::SharedSybLog().Count(), 0);
  EXPECT_FALSE(services::SharedSybLog().IsOpen());
  std::istringstream log(testing_support::ReadFile(dir.File("shared.log")).value_or(""));
  std::string line;
  int statements = 0;
  int started = 0;
  int closed = 0;
  while (std::getline(log, line)) {
    if (line.empty() || line[0] == '\t' || line.rfind("Start SqlServer[", 0) == 0) continue;
    ASSERT_EQ(line[0], '[') << line;
    statements += line.find("] --> [SELECT ") != std::string::npos;
    started += line.find("] VtAppServer Started.") != std::string::npos;
    closed += line.find("] VtAppServer Closed.") != std::string::npos;
  }
  EXPECT_EQ(statements, kThreads * kRounds);
  EXPECT_GE(started, 1);
  EXPECT_EQ(started, closed);
}

}  // namespace
}  // namespace services_test
