// "Exec(" waits that run out: the program is killed or runs on and is
// reaped when it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/services/child_processes.h"
#include "tests/services/statement_harness.h"

namespace services_test {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Waits up to 10 s for the children named name to be gone.
bool ChildrenGone(const std::string& name) {
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (!ChildrenNamed(name).empty()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// Runs "Exec(" of command with a wait of one second and the flag: the
// result, which must come after about that second.
int32_t ExecForASecond(const char* command, int32_t flag) {
  Call exec("Exec(");
  exec.Text(0, command).Int(1, 1).Int(2, flag);
  const auto start = Clock::now();
  const int32_t r = exec.Run();
  EXPECT_NEAR(MsSince(start), 1000, 400);
  return r;
}

TEST(ExecWait, AFlagSetKillsTheProgramAtTheEndOfTheWait) {
  EXPECT_EQ(ExecForASecond("sleep 30", 1), 1);
  EXPECT_TRUE(ChildrenNamed("sleep").empty()) << "killed and reaped at once";
}

TEST(ExecWait, AFlagClearLeavesTheProgramRunningUntilItEnds) {
  const auto start = Clock::now();
  EXPECT_EQ(ExecForASecond("sleep 3", 0), 2);
  const std::vector<ChildProcessInfo> running = ChildrenNamed("sleep");
  ASSERT_EQ(running.size(), 1u);
  EXPECT_NE(running[0].state, 'Z');
  EXPECT_TRUE(ChildrenGone("sleep")) << "reaped when it ended, no zombie";
  EXPECT_GE(MsSince(start), 2900);

  Call no_wait("Exec(");
  EXPECT_EQ(no_wait.Text(0, "sh -c \"exit 0\"").Int(1, 0).Int(2, 5).Run(), 2);
  EXPECT_EQ(no_wait.arg(2).GetInt(), 5) << "not waited for: the variable stays";
  EXPECT_TRUE(ChildrenGone("sh"));
}

}  // namespace
}  // namespace services_test
