// "Exec(" waits that run out: the program (with its process group) is
// killed, or runs on and is reaped when it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

#include "tests/services/child_processes.h"
#include "tests/services/statement_harness.h"
#include "tests/test_support.h"

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

// The process running as pid, unless it has ended (a zombie has).
bool StillRunning(pid_t pid) {
  for (const ChildProcessInfo& p : AllProcesses()) {
    if (p.pid == pid) return p.state != 'Z';
  }
  return false;
}

// The program's group ends with it: what it started in the background is
// killed at the end of the wait too, and nothing of its group runs on.
TEST(ExecWait, AFlagSetKillsWhatTheProgramStartedToo) {
  testing_support::TempDir dir;
  const std::string pids = dir.File("pids");
  const std::string command = "sh -c \"sleep 10 & echo $$ $! > " + pids + "; exec sleep 11\"";
  EXPECT_EQ(ExecForASecond(command.c_str(), 1), 1);
  std::istringstream started(testing_support::ReadFile(pids).value_or(""));
  pid_t shell = 0, background = 0;
  ASSERT_TRUE(started >> shell >> background);
  const bool background_runs = StillRunning(background);
  if (background_runs) kill(background, SIGKILL);
  EXPECT_FALSE(background_runs) << "the program's own child is left running";
  EXPECT_TRUE(RunningInGroup(shell).empty());
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
