// Stopping a line whose script waits in "Exec(": the wait ends at once and
// the program runs on.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "services/service_statements.h"
#include "tests/services/child_processes.h"
#include "tests/telephony/script_on_line.h"
#include "tests/test_support.h"

namespace telephony {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ExecStop, StoppingTheLineEndsALongWait) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir in(dir.path());
  services::RegisterServiceStatements();
  RecordingCall call;
  call.lineNo = 2;
  ScriptOnLine line("r = -9\nf = 1\nr = Exec(\"sleep 600\", 600, f)\nreturn(0)\n", call);
  ASSERT_TRUE(line.compiled()) << line.Errors();
  line.Start();
  const auto started = Clock::now() + std::chrono::seconds(10);
  while (services_test::ChildrenNamed("sleep").empty() && Clock::now() < started) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(services_test::ChildrenNamed("sleep").size(), 1u);
  const auto stop = Clock::now();
  line.script().RequestStop();
  EXPECT_TRUE(line.Wait(1000).has_value()) << "the run ended within a second";
  EXPECT_LT(Clock::now() - stop, std::chrono::seconds(1));
  EXPECT_EQ(line.Int("r"), 2) << "as a wait run out with the flag clear";
  EXPECT_EQ(services_test::ChildrenNamed("sleep").size(), 1u) << "the program runs on";
  services_test::KillChildrenNamed("sleep");
}

}  // namespace
}  // namespace telephony
