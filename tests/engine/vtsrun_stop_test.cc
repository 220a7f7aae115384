// A stop request ends every statement that waits: a script blocked in one
// wait, run by the real vtsrun, is stopped by --timeout; the wait must end
// at once (whatever its arguments say about time) and the "OnSysQuit("
// handler must run, long before the tool cuts a run that goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace {

using testing_support::FreeLoopbackPort;
using testing_support::ScopedChdir;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

// The run is stopped this long after it starts.
constexpr int kTimeoutMs = 300;
// A wait must end within this after the stop request.
constexpr int kStopBoundMs = 500;
// The tool cuts a run 5 s after the stop request; every case must end
// well before that.
constexpr int kProcessBoundMs = 4000;

// The script around the wait: the tick before it, and in the quit handler
// the milliseconds the wait took. A wait that ends by itself says so.
std::string BlockedScript(const std::string& prelude, const std::string& wait) {
  return "SetPrintTo(\"\")\n" + prelude + "t0 = 0\nt1 = 0\nGetTick(t0)\n" + wait +
         "\nPrint(\"ended by itself\")\nx = 0\nwhile(1)\n{\nx = 1\n}\n"
         "OnSysQuit()\nGetTick(t1)\nd = t1 - t0\nPrint(\"quit\")\nPrint(d)\nreturn(0)\n";
}

struct WaitCase {
  const char* label;
  std::string prelude;  // statements before the tick is taken
  std::string wait;     // the one statement that blocks
};

TEST(VtsrunStopTest, EveryWaitEndsOnTheStopAndTheQuitHandlerRuns) {
  const int closed_port = FreeLoopbackPort();
  const int listening_port = FreeLoopbackPort();
  // A connection to itself: the accepted end is a blocking socket.
  const std::string port = std::to_string(listening_port);
  const std::string accepted = "ls = -1\nh = -1\na = -1\ns = \"\"\nbuf = \"\"\nn = 0\n"
                               "TcpServer(" + port + ", 1, ls)\nTcpOpen(\"127.0.0.1\", " + port +
                               ", 5, h)\nwhile(a < 0)\n{\nTcpAccept(ls, a, s)\n}\n";
  const WaitCase cases[] = {
      // "Sleep(" of 0 or less, or of a text, never ends by time.
      {"Sleep of -1", "", "Sleep(-1)"},
      {"Sleep of 0", "", "Sleep(0)"},
      {"Sleep of a text", "", "Sleep(\"abc\")"},
      {"Sleep of 2147483647 s", "", "Sleep(2147483647)"},
      {"Sleep of an hour and a half second", "", "Sleep(3600.5)"},
      {"Sleep in a script function", "function nap()\n{\nSleep(0)\n}\n", "nap()"},
      {"PcGetKeys without time-outs", "SetKeyTime(0)\nk = \"\"\n", "PcGetKeys(k, 4, 0)"},
      {"TcpOpen retrying a closed port", "h = -1\n",
       "TcpOpen(\"127.0.0.1\", " + std::to_string(closed_port) + ", -1, h)"},
      {"TcpRead of a silent peer", accepted, "TcpRead(a, buf, n)"},
  };
  // All runs at once: each measures its own wait.
  std::vector<std::unique_ptr<TempDir>> dirs;
  std::vector<std::unique_ptr<SpawnedProgram>> runs;
  for (const WaitCase& c : cases) {
    dirs.push_back(std::make_unique<TempDir>());
    WriteFile(dirs.back()->File("s.vts"), BlockedScript(c.prelude, c.wait));
    runs.push_back(std::make_unique<SpawnedProgram>());
    ScopedChdir cd(dirs.back()->path());
    ASSERT_TRUE(runs.back()->Start(std::string(VTTEL_TOOLS_DIR) + "/vtsrun",
                                   {"--timeout", std::to_string(kTimeoutMs / 1000.0), "s.vts"}));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProcessBoundMs);
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(cases[i].label);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    SpawnedProgram& run = *runs[i];
    const int status = run.Wait(static_cast<int>(std::max<int64_t>(left.count(), 1)));
    EXPECT_EQ(status, 3) << run.stderr_text();
    const std::string out = run.stdout_text();
    if (status != 3 || out.rfind("0 : quit\n0 : ", 0) != 0) {
      ADD_FAILURE() << "no quit handler: " << out;
      continue;
    }
    const int waited = std::stoi(out.substr(std::string("0 : quit\n0 : ").size()));
    EXPECT_LT(waited, kTimeoutMs + kStopBoundMs) << out;
  }
}

}  // namespace
