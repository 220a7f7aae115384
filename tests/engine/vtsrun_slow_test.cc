// vtsrun's timeout when the quit handler does not end: the run is ended
// without handlers 5 s after the quit request (real time).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace {

using testing_support::ScopedChdir;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(VtsrunSlowTest, AHandlerThatDoesNotEndIsCutFiveSecondsLater) {
  TempDir dir;
  WriteFile(dir.File("s.vts"),
            "x = 0\nwhile(1)\n{\nx = 1\n}\nOnSysQuit()\nSetPrintTo(\"\")\nPrint(\"quit\")\n"
            "while(1)\n{\nx = 2\n}\n");
  SpawnedProgram program;
  const auto start = std::chrono::steady_clock::now();
  {
    ScopedChdir cd(dir.path());
    ASSERT_TRUE(program.Start(std::string(VTTEL_TOOLS_DIR) + "/vtsrun",
                              {"--timeout", "0.5", "s.vts"}));
  }
  EXPECT_EQ(program.Wait(30000), 3) << program.stderr_text();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_EQ(program.stdout_text(), "0 : quit\n");
  EXPECT_GE(took.count(), 5400);
  EXPECT_LT(took.count(), 15000);
}

}  // namespace
