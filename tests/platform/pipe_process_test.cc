// Child processes through the platform's process layer, with real programs.
#include "platform/pipe_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

namespace platform {
namespace {

TEST(ProcessTest, FeedsInputAndCollectsOutput) {
  const std::string big(300000, 'x');  // more than a pipe holds both ways
  std::string out;
  ProcessResult r = RunProcess({"cat"}, big, &out);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(out, big);

  r = RunProcess({"sh", "-c", "exit 3"}, "", nullptr);
  EXPECT_EQ(r.exit_status, 3);
}

TEST(ProcessTest, ChildrenSeeOnlyTheStandardDescriptors) {
  std::string out;
  // The shell's own descriptors, listed by a child of it.
  const ProcessResult r = RunProcess({"sh", "-c", "ls /proc/$$/fd"}, "", &out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(out, "0\n1\n2\n");
}

TEST(ProcessTest, MissingProgramsDoNotStart) {
  const ProcessResult r = RunProcess({"no-such-program-vttel"}, "", nullptr);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(RunProcess({"/nonexistent/prog"}, "", nullptr).started);
  EXPECT_EQ(FindProgramOnPath("no-such-program-vttel"), "");
}

TEST(ProcessTest, AStopKillsAndReapsTheChild) {
  std::atomic<int> asked{0};
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r =
      RunProcess({"sleep", "30"}, "", nullptr, [&] { return ++asked >= 2; });
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(r.exit_status, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace platform
