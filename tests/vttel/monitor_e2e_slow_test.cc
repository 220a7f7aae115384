// The monitor server of the running program, watched by real monitoring
// clients (tools/monitor_client.py, driven by data/monitor_scenarios.py):
// one connection per machine up to MONITOR_MAX_CONN, whole five-byte
// requests only, a first update with every cell, updates cut near 25,000
// bytes and continued, a stalled client holding up neither the others nor
// the shutdown, texts in GBK.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

const std::string kScenariosPy = std::string(VTTEL_SOURCE_DIR) + "/tests/vttel/data/monitor_scenarios.py";

// A scenario's longest run, its wait for line 0's keys included.
constexpr int kScenarioMs = 60000;
// The large program: sixteen trunks of 30 lines, all but line 0 without a
// script, so that their cells stay as the build wrote them; a first update
// of this many lines is larger than one cut. Line 0 shows 60 bytes of keys
// again and again.
constexpr int kLargeTrunks = 16;
constexpr int kLargeLines = kLargeTrunks * 30;
constexpr char kKeysScript[] =
    "n = 0\n"
    "while(n >= 0)\n"
    "{\n"
    "  PcSetKeys(0, \"KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK\")\n"
    "  Sleep(0.1)\n"
    "  n = n + 1\n"
    "}\n";

class MonitorE2eTest : public VttelTest {
 protected:
  // A monitor server for `max_conn` clients on a free port, Chinese texts.
  void WriteMonitorFolder(const std::string& lines, int max_conn, int trunks = 1) {
    port_ = testing_support::FreeLoopbackPort();
    WriteProgramFolder(lines,
                       "LANGUAGE_TYPE=CN\nLOAD_DELAY=5\nMONITOR_MAX_CONN=" + std::to_string(max_conn) +
                           "\nMONITOR_PORT=" + std::to_string(port_) + "\n",
                       trunks);
  }
  // Starts the program and waits until the line `loaded` has its script.
  void StartAndWaitForLine(int loaded) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitForRaw(std::to_string(loaded) + " Loaded.", 30000)) << RawLog();
    ASSERT_TRUE(WaitForLog("MonitorServer Running.")) << MainLog();
  }
  // Runs one scenario of the driver; its failures come back in *out.
  int Scenario(const std::string& name, int lines, std::string* out) {
    return RunToEnd(kPython,
                    {kScenariosPy, "--port", std::to_string(port_), "--lines", std::to_string(lines),
                     name},
                    out, kScenarioMs);
  }
  void ExpectScenario(const std::string& name, int lines) {
    std::string out;
    EXPECT_EQ(Scenario(name, lines, &out), 0) << out;
  }
  void QuitPromptly() {
    EXPECT_EQ(Ctl("quit"), 0);
    EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
  }
  // Where `text` first occurs in the main log at or after `from`.
  size_t LogPos(const std::string& text, size_t from = 0) const { return MainLog().find(text, from); }
  int LogCount(const std::string& text) const {
    const std::string log = MainLog();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }

  int port_ = 0;
};

// With one client allowed: a second machine is closed at once without data,
// a reconnect from the first machine replaces the first connection.
TEST_F(MonitorE2eTest, OneClientPerMachineUpToTheLimit) {
  WriteMonitorFolder("0-1=answer.vts\n", 1);
  StartAndWaitForLine(1);
  ExpectScenario("replace", 30);
  const std::string connected = "Monitor Conneted: 127.0.0.1, hd=";
  const size_t first = LogPos(connected);
  ASSERT_NE(first, std::string::npos) << MainLog();
  const size_t dropped = LogPos("Monitor Disconneted: 127.0.0.1", first);
  ASSERT_NE(dropped, std::string::npos) << MainLog();
  EXPECT_NE(LogPos(connected, dropped), std::string::npos) << MainLog();
  EXPECT_EQ(LogPos("Monitor Conneted: 127.0.0.2"), std::string::npos) << MainLog();
  QuitPromptly();
}

// Whole requests only, each answered in its own poll; a new client's first
// update holds every cell in line order with GBK texts.
TEST_F(MonitorE2eTest, WholeRequestsAndAFirstUpdateOfEveryCell) {
  WriteMonitorFolder("0-1=answer.vts\n", 2);
  StartAndWaitForLine(1);
  ExpectScenario("requests", 30);
  ExpectScenario("first", 30);
  QuitPromptly();
}

// A running line shows "运行" black on white, and once a call placed
// through the board is answered "连通" blue on yellow, in GBK.
// Enable once the program installs the lines' run observer: without it a
// running line keeps the loading word and colours.
TEST_F(MonitorE2eTest, RunningAndConnectedLinesInTheirColours) {
  WriteMonitorFolder("0-1=answer.vts\n", 2);
  StartAndWaitForLine(1);
  ASSERT_TRUE(WaitForRun(0)) << MainLog();
  ExpectScenario("running", 30);
  std::string out;
  ASSERT_EQ(FarEnd("c.call('E0', '13900000000', '8001')\n"
                   "need(c.wait('ANSWER', 'E0', 10000), 'answer')\n",
                   &out),
            0)
      << out;
  ExpectScenario("call", 30);
  QuitPromptly();
}

// A script's "DispInfo(" texts in the user cells, and its "SetDispColor("
// colours with the next change of a user cell.
TEST_F(MonitorE2eTest, UserCellsShowTheScriptsTextsAndColours) {
  WriteFile(home_.File("user.vts"),
            "DispInfo(0, \"A\")\nDispInfo(1, 42)\nDispInfo(2, 1.5)\nSetDispColor(4, 13)\n"
            "DispInfo(0, \"B\")\nn = 0\nwhile(n >= 0)\n{\n  Sleep(0.1)\n}\n");
  WriteMonitorFolder("0=user.vts\n", 2);
  StartAndWaitForLine(0);
  ExpectScenario("user", 30);
  QuitPromptly();
}

// A socket that asks for updates and never reads them.
class SilentClient {
 public:
  explicit SilentClient(int port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int small = 4096;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~SilentClient() { close(fd_); }
  SilentClient(const SilentClient&) = delete;
  SilentClient& operator=(const SilentClient&) = delete;

  bool Ask(int requests) {
    const std::string asked(static_cast<size_t>(requests) * 5, 'R');
    return connected_ && send(fd_, asked.data(), asked.size(), MSG_NOSIGNAL) ==
                             static_cast<ssize_t>(asked.size());
  }

 private:
  int fd_;
  bool connected_ = false;
};

// Many lines: updates cut near 25,000 bytes and continued; a stalled
// client dropped while another keeps its pace; the program quits promptly
// with a client that asks and never reads.
TEST_F(MonitorE2eTest, LargeUpdatesAreCutAndStalledClientsHoldNobodyUp) {
  WriteFile(home_.File("keys.vts"), kKeysScript);
  WriteMonitorFolder("0=keys.vts\n", 2, kLargeTrunks);
  StartAndWaitForLine(0);
  ExpectScenario("cut", kLargeLines);
  ExpectScenario("stall", kLargeLines);
  const std::string connected = "Monitor Conneted: 127.0.0.1";
  const int before = LogCount(connected);
  SilentClient silent(port_);
  ASSERT_TRUE(silent.Ask(100));
  ASSERT_TRUE(WaitFor([&] { return LogCount(connected) > before; }, 5000)) << MainLog();
  QuitPromptly();
}

}  // namespace
}  // namespace vttel_test
