// The program as a user runs it, for the tests of vttel: a program folder of
// its own (VTTEL_HOME) with the run configuration, the simulated board's and
// the card's options and a line script, a runtime folder of its own, no
// display; the program started as a process and its logs read back.
//
// Thread rules: used on the test's thread only.
#ifndef VTTEL_TESTS_VTTEL_VTTEL_FIXTURE_H_
#define VTTEL_TESTS_VTTEL_VTTEL_FIXTURE_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace vttel_test {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

inline const std::string kVttel = std::string(VTTEL_PROGRAM_DIR) + "/vttel";
inline const std::string kVttelctl = std::string(VTTEL_TOOLS_DIR) + "/vttelctl";
inline const std::string kPython = "/usr/bin/python3";
inline const std::string kMonitorPy = std::string(VTTEL_SOURCE_DIR) + "/tools/monitor_client.py";

// Exit statuses of vttel.
inline constexpr int kSecondCopy = 255;  // -1
inline constexpr int kBuildFailed = 1;
inline constexpr int kNoProgramFolder = 2;
// Longest a shutdown may take: the line drive waits up to 35 s for lines
// that do not stop, ours stop at once.
inline constexpr int kQuitMs = 20000;

// A line script that answers a call, waits for one key and hangs up.
inline constexpr char kAnswerScript[] =
    "WaitRing(1)\n"
    "key = \"\"\n"
    "GetKeys(key, 1, 20)\n"
    "Hangup()\n";

// Text as the console shows it (the program writes UTF-8 to stderr).
inline std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

inline bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// Runs a program (args without the program itself) to its end and returns
// its exit status.
inline int RunToEnd(const std::string& program, const std::vector<std::string>& args,
                    std::string* out = nullptr, int ms = 15000) {
  SpawnedProgram p;
  if (!p.Start(program, args)) return SpawnedProgram::kTimedOut;
  int status = p.Wait(ms);
  if (out != nullptr) *out = p.stdout_text() + p.stderr_text();
  return status;
}

// A program folder for vttel: run configuration, board, card options and
// scripts, with the process's own runtime folder.
class VttelTest : public ::testing::Test {
 public:
  void WriteProgramFolder(const std::string& lines, const std::string& monitor = "MONITOR_MAX_CONN=0\n",
                          int trunks = 1) {
    WriteFile(home_.File("VtTelRun.cfg"),
              "IS_SHOW_FORM=no\nLANGUAGE_TYPE=EN\nIS_WRITE_LOG=2\nIS_IMMEDIATE_LOG=1\n"
              "LOG_FILE=vttel.log\nDISP_DELAY=100\nLOAD_DELAY=20\nVIR_LINES_NUM=0\n" +
                  monitor + lines);
    WriteFile(home_.File("SimBoard.ini"), "Trunks=" + std::to_string(trunks) + "\nStrict=1\n");
    WriteFile(home_.File("Card.ini"), "CONF=NO\nFAX=NO\n");
    WriteFile(home_.File("answer.vts"), kAnswerScript);
  }
  TempDir home_, runtime_;

 protected:
  void SetUp() override { WriteProgramFolder("0-1=answer.vts\n"); }

  bool Start() { return vttel_.Start(kVttel, {}); }
  std::string MainLog() const {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(home_.path())) {
      if (entry.path().filename().string().rfind("vttel", 0) == 0) {
        all += ReadFile(entry.path().string()).value_or("");
      }
    }
    return all;
  }
  std::string RawLog() const { return ReadFile(home_.File("RawLog.txt")).value_or(""); }
  bool WaitForLog(const std::string& text, int ms = 15000) {
    return WaitFor([&] { return MainLog().find(text) != std::string::npos; }, ms);
  }
  bool WaitForRaw(const std::string& text, int ms = 15000) {
    return WaitFor([&] { return RawLog().find(text) != std::string::npos; }, ms);
  }
  // Acts as the far end of the board's lines on ONE connection of
  // tools/simboard.py's Client `c` (so that no event between two requests
  // is missed): runs the python statements given; need(value, what) ends
  // the run with status 1 when value is empty; key_until_release(line)
  // presses 5 once a second until the line hangs up (a key that comes
  // while the line is still answering is cleared with the answer, so it
  // is not the script's). Returns the exit status.
  int FarEnd(const std::string& statements, std::string* out = nullptr) {
    const std::string program =
        "import os, sys, time\n"
        "sys.path.insert(0, '" + std::string(VTTEL_SOURCE_DIR) + "/tools')\n"
        "import simboard\n"
        "c = simboard.Client(os.environ['SIMBOARD_SOCKET'])\n"
        "def need(value, what):\n"
        "    if not value:\n"
        "        print('missing: ' + what)\n"
        "        sys.exit(1)\n"
        "def key_until_release(line):\n"
        "    for _ in range(20):\n"
        "        c.keys(line, '5')\n"
        "        if c.wait('RELEASE', line, 1000):\n"
        "            return True\n"
        "    return False\n" +
        statements;
    return RunToEnd(kPython, {"-c", program}, out, 60000);
  }
  // Until the line's script runs. A line starts only once the processor
  // is quiet enough, which on a busy test machine can take a while.
  bool WaitForRun(int line, int ms = 90000) {
    return WaitForLog(std::to_string(line) + " Run: tId:", ms);
  }
  // Every text appears in the raw trace log, each after the one before.
  void ExpectRawInOrder(const std::vector<std::string>& texts) {
    const std::string raw = RawLog();
    size_t at = 0;
    for (const std::string& text : texts) {
      size_t found = raw.find("[" + text + "]", at);
      ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << text;
      at = found;
    }
  }
  int Ctl(const std::string& what) { return RunToEnd(kVttelctl, {what}); }

  ScopedEnv home_env_{"VTTEL_HOME", home_.path()};
  ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", runtime_.path()};
  ScopedEnv headless_{"VTTEL_HEADLESS", std::string("1")};
  ScopedEnv socket_env_{"SIMBOARD_SOCKET", home_.File("simboard.sock")};
  SpawnedProgram vttel_;
};

}  // namespace vttel_test

#endif  // VTTEL_TESTS_VTTEL_VTTEL_FIXTURE_H_
