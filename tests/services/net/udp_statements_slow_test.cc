// The UDP statements in real time: when the real vtsrun's time-out raises
// the line's stop, a script waiting in "UdpRecv(" ends within a second
// instead of hanging the line.
#include <chrono>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

using Steady = std::chrono::steady_clock;

TEST(UdpVtsrunSlowTest, TheStopEndsAWaitingRecvWithinASecond) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("s.vts"),
                             "SetPrintTo(\"\")\na = \"\"\np = 0\nd = \"\"\nh = UdpOpen(0)\n"
                             "Print(\"waiting\")\nr = UdpRecv(h, a, p, d)\nreturn(0)\n");
  const auto start = Steady::now();
  const testing_support::VtsrunOutcome outcome =
      testing_support::RunVtsrun(dir.path(), {"--timeout", "1", "s.vts"}, 20000);
  const auto took = Steady::now() - start;
  EXPECT_EQ(outcome.status, 3) << outcome.err;
  EXPECT_EQ(outcome.out, "0 : waiting\n");
  // 1 s of time-out, the stop and the tool's start-up: a wait the stop did
  // not end would last the tool's 5 s of grace after the time-out.
  EXPECT_LT(took, std::chrono::milliseconds(4000));
}

}  // namespace
