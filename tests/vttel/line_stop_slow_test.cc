// Quitting vttel stops every line in whatever it waits: each line of the
// simulated board blocks in one wait, the program is asked to quit, and
// every line's "OnSysQuit(" handler must run within a bound of the request
// (its "GetTick(" against the test's reading of the same clock), long
// before the line drive's 35 s wait would give up on it.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

// A handler must run within this of the quit request.
constexpr int32_t kStopBoundMs = 500;

// The tick "GetTick(" reads: CLOCK_MONOTONIC in milliseconds, 32 bits.
uint32_t TickNow() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

struct LineWait {
  const char* label;
  const char* wait;  // the statement the line blocks in, after a "running" mark
};

// The script of a line: the prelude, a line in the print file once it
// waits, the wait, and the quit handler that prints its tick.
std::string BlockedScript(const std::string& prelude, const std::string& wait) {
  return prelude + "t = 0\nPrint(\"waiting\\n\")\n" + wait +
         "\nPrint(\"ended by itself\\n\")\nx = 0\nwhile(1)\n{\nx = 1\n}\n"
         "OnSysQuit()\nGetTick(t)\nPrint(\"quit \")\nPrint(t)\nreturn(0)\n";
}

TEST_F(VttelTest, QuitEndsEveryLineWaitAndRunsTheQuitHandlers) {
  // Line 5 waits for keys in a call that the far end places.
  const LineWait waits[] = {
      {"WaitRing", "WaitRing(1)"},
      {"Sleep of 0", "Sleep(0)"},
      {"Sleep of a text", "Sleep(\"abc\")"},
      {"Sleep of -1", "Sleep(-1)"},
      {"Sleep of 2147483647 s", "Sleep(2147483647)"},
      {"GetKeys in a call", "GetKeys(k, 4, 0)"},
  };
  const int keys_line = 5;
  std::string lines;
  for (int i = 0; i < static_cast<int>(std::size(waits)); ++i) {
    const std::string name = "wait" + std::to_string(i) + ".vts";
    const std::string prelude = i == keys_line ? "k = \"\"\nSetKeyTime(0)\nWaitRing(1)\n" : "";
    WriteFile(home_.File(name), BlockedScript(prelude, waits[i].wait));
    lines += std::to_string(i) + "=" + name + "\n";
  }
  WriteProgramFolder(lines);
  ASSERT_TRUE(Start());
  auto print_file = [&](int line) {
    return ReadFile(home_.File("_stdout" + std::to_string(line) + ".txt")).value_or("");
  };
  ASSERT_TRUE(WaitForRun(keys_line)) << MainLog();
  std::string out;
  ASSERT_EQ(FarEnd("c.call('E5', '13900000000', '8001')\n"
                   "need(c.wait('ANSWER', 'E5', 60000), 'answer')\n",
                   &out),
            0)
      << out << MainLog();
  for (int i = 0; i < static_cast<int>(std::size(waits)); ++i) {
    ASSERT_TRUE(WaitFor([&] { return print_file(i) == "waiting\r\n"; }, 90000))
        << waits[i].label << ": " << print_file(i);
  }
  const uint32_t quit_tick = TickNow();
  ASSERT_EQ(Ctl("quit"), 0);
  // Far below the 35 s the drive would wait for a line that does not stop.
  EXPECT_EQ(vttel_.Wait(5000), 0) << vttel_.stderr_text();
  for (int i = 0; i < static_cast<int>(std::size(waits)); ++i) {
    SCOPED_TRACE(waits[i].label);
    const std::string printed = print_file(i);
    ASSERT_EQ(printed.rfind("waiting\r\nquit ", 0), 0u) << printed;
    const auto handler_tick =
        static_cast<uint32_t>(std::stoll(printed.substr(std::string("waiting\r\nquit ").size())));
    EXPECT_LT(static_cast<int32_t>(handler_tick - quit_tick), kStopBoundMs) << printed;
  }
}

}  // namespace
}  // namespace vttel_test
