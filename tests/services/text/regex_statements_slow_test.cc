// A search that would run for many seconds ends when its line is stopped:
// vtsrun's time-out stops the line as the line drive does, and the matcher
// sees the line's stop byte.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace {

TEST(RegexStatementsSlow, LineStopEndsTheSearchInProgress) {
  testing_support::TempDir dir;
  // 40 MB searched by a pattern that tries every position: about 13 s of
  // matching under the sanitizers.
  testing_support::WriteFile(dir.File("s.vts"),
                             "s = \"\"\nRepeatstr(s, \"a\", 40000000)\na = 0\n"
                             "r = Ereg(s, 0, \"a{1,100}[xy]\", a)\nreturn(0)\n");
  const auto start = std::chrono::steady_clock::now();
  const testing_support::VtsrunOutcome o =
      testing_support::RunVtsrun(dir.path(), {"--timeout", "0.5", "s.vts"});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(o.status, 3) << o.err;  // the time-out stopped the line
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

}  // namespace
