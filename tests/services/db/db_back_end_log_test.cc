// The database back ends' shared log: when a user opens the file under
// each rule (after a failed open, after users without a path), and the
// bytes of its stamped and unstamped lines, a text ending at its first
// zero byte.
#include "services/db/db_back_end_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "tests/test_support.h"

namespace {

using services::DbBackEndLog;
using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

TEST(DbBackEndLog, WhoOpensTheFileByTheRule) {
  using Rule = DbBackEndLog::OpenRule;
  struct Case {
    Rule rule;
    // The first user's path: none, or one in a folder not made yet.
    const char* first_path;
    bool open_after_second;
  };
  const Case cases[] = {
      {Rule::kFirstUser, "", false},
      {Rule::kWhileClosed, "", true},
      {Rule::kFirstUser, "logs\\a.log", false},
      {Rule::kWhileClosed, "logs\\a.log", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first_path) + (c.rule == Rule::kFirstUser ? " first" : " closed"));
    TempDir dir;
    ScopedChdir in(dir.path());
    DbBackEndLog log(c.rule);
    EXPECT_EQ(log.Enter(c.first_path), 1);
    EXPECT_FALSE(log.IsOpen());
    std::filesystem::create_directory(dir.File("logs"));
    EXPECT_EQ(log.Enter("logs\\a.log"), 2);
    EXPECT_EQ(log.IsOpen(), c.open_after_second);
    log.Leave();
    EXPECT_EQ(log.IsOpen(), c.open_after_second);
    log.Leave();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.Count(), 0);
  }
}

TEST(DbBackEndLog, StampedAndUnstampedLines) {
  platform::FakeClock clock;  // 2014-03-05 08:15:00.123 local
  platform::ScopedClock scoped(&clock);
  TempDir dir;
  ScopedChdir in(dir.path());
  {
    DbBackEndLog log(DbBackEndLog::OpenRule::kWhileClosed);
    log.Enter("", "not written: nothing was opened");
    log.Write("not written either");
    log.Enter("shared.log", "Started.");
    log.Write(std::string("SELECT 1\0 hidden", 16));
    log.WriteF("Open('%s') is %d.", "db", 0);
    log.WriteAsIs("Start[2] ...\n", false);
    log.WriteAsIs("Msg 1 : Line 3", true);
    log.Leave();
    log.Leave("Closed.");
    log.Write("after the close");
    DbBackEndLog own("own");
    own.Write("Start.");
  }
  EXPECT_EQ(ReadFile(dir.File("shared.log")).value_or("missing"),
            "[20140305 08:15:00.123] Started.\n"
            "[20140305 08:15:00.123] SELECT 1\n"
            "[20140305 08:15:00.123] Open('db') is 0.\n"
            "Start[2] ...\n"
            "[20140305 08:15:00.123] Msg 1 : Line 3"
            "[20140305 08:15:00.123] Closed.\n");
  EXPECT_EQ(ReadFile(dir.File("own.log")).value_or("missing"),
            "[20140305 08:15:00.123] Start.\n");
  EXPECT_FALSE(testing_support::FileExists(dir.File(".log")));
}

}  // namespace
