// The program as a user runs it: vttel started headless in a folder of its
// own (VTTEL_HOME) with its own runtime folder, stopped by vttelctl or a
// signal, a second copy refused, a call placed by tools/simboard.py.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/named_event.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::SpawnedProgram;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::string kVttel = std::string(VTTEL_PROGRAM_DIR) + "/vttel";
const std::string kVttelctl = std::string(VTTEL_TOOLS_DIR) + "/vttelctl";
const std::string kSimboardPy = std::string(VTTEL_SOURCE_DIR) + "/tools/simboard.py";
const std::string kMonitorPy = std::string(VTTEL_SOURCE_DIR) + "/tools/monitor_client.py";

// Exit statuses of vttel.
constexpr int kSecondCopy = 255;  // -1
constexpr int kBuildFailed = 1;
constexpr int kNoProgramFolder = 2;
// Longest a shutdown may take: the line drive waits up to 35 s for lines
// that do not stop, ours stop at once.
constexpr int kQuitMs = 20000;

// A line script that answers a call, waits for one key and hangs up.
constexpr char kAnswerScript[] =
    "WaitRing(1)\n"
    "key = \"\"\n"
    "GetKeys(key, 1, 20)\n"
    "Hangup()\n";

// Text as the console shows it (the program writes UTF-8 to stderr).
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// Runs a program (args without the program itself) to its end and returns
// its exit status.
int RunToEnd(const std::string& program, const std::vector<std::string>& args,
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
  void WriteProgramFolder(const std::string& lines, const std::string& monitor = "MONITOR_MAX_CONN=0\n") {
    WriteFile(home_.File("VtTelRun.cfg"),
              "IS_SHOW_FORM=no\nLANGUAGE_TYPE=EN\nIS_WRITE_LOG=2\nIS_IMMEDIATE_LOG=1\n"
              "LOG_FILE=vttel.log\nDISP_DELAY=100\nLOAD_DELAY=20\nVIR_LINES_NUM=0\n" +
                  monitor + lines);
    WriteFile(home_.File("SimBoard.ini"), "Trunks=1\nStrict=1\n");
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

// Start, a refused second copy whose show request reaches the first, and
// the quit request: the shutdown in its order, the log closed.
TEST_F(VttelTest, RunsRefusesASecondCopyAndQuits) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("Run End.")) << RawLog();
  ASSERT_TRUE(WaitForRaw("1 Loaded."));

  std::string second_out;
  EXPECT_EQ(RunToEnd(kVttel, {}, &second_out), kSecondCopy);
  EXPECT_NE(second_out.find(Utf8(u8"程序已经启动！")), std::string::npos) << second_out;
  EXPECT_TRUE(WaitForLog("show request"));
  EXPECT_TRUE(ReadFile(home_.File("LinesList.txt")).has_value());

  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
  ExpectRawInOrder({"Create : MainRunThread..", "InitSystem() OK.", "Run End.", "HasQuitEvent!",
                    "WMVtSysQuit()!", "isCloseing = true;", "delete pCtrlPages...",
                    "ModifyTrayIcon()...", "SavePost()...", "delete pTelDrive;",
                    "CloseAllTelLine()...", "delete pRemoteCtrl;", "delete pMonitor;",
                    "delete _logFp ...", "Close Ok.", "Action = caFree;"});
  EXPECT_NE(MainLog().find("System Closed."), std::string::npos);
  EXPECT_TRUE(ReadFile(home_.File("FormPos.dat")).has_value());
  // The events went with the program.
  EXPECT_EQ(Ctl("quit"), 1);
}

// The end of the user's session runs the same shutdown.
TEST_F(VttelTest, SessionEndSignalsRunTheShutdown) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    std::filesystem::remove(home_.File("RawLog.txt"));
    SpawnedProgram p;
    ASSERT_TRUE(p.Start(kVttel, {}));
    ASSERT_TRUE(WaitFor([&] { return RawLog().find("Run End.") != std::string::npos; }, 15000));
    p.Kill(sig);
    EXPECT_EQ(p.Wait(kQuitMs), 0);
    ExpectRawInOrder({"WMVtSysQuit()!", "delete pTelDrive;", "Close Ok.", "Action = caFree;"});
  }
}

// A configuration the drive cannot use: the build failure is reported,
// nothing runs, and a quit request ends the program with status 1.
TEST_F(VttelTest, FailedBuildReportsAndEndsWithStatusOne) {
  struct Case {
    const char* name;
    std::function<void(VttelTest*)> prepare;
  };
  const Case cases[] = {
      {"missing VtTelRun.cfg",
       [](VttelTest* t) { std::filesystem::remove(t->home_.File("VtTelRun.cfg")); }},
      {"overlapping line lists",
       [](VttelTest* t) { t->WriteProgramFolder("0-3=answer.vts\n2-5=answer.vts\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.prepare(this);
    SpawnedProgram p;
    ASSERT_TRUE(p.Start(kVttel, {}));
    ASSERT_TRUE(WaitFor([&] { return Ctl("quit") == 0; }, 10000));
    EXPECT_EQ(p.Wait(kQuitMs), kBuildFailed);
    const std::string err = p.stderr_text();
    EXPECT_TRUE(err.find(Utf8(u8"初始化系统失败: 返回值=-100")) != std::string::npos ||
                err.find("Initialize failed. return : -100") != std::string::npos)
        << err;
  }
}

// A script's "Exit(" with a value tells the program that started vttel
// ("AutoRun Quit") and ends vttel through the ordinary shutdown.
TEST_F(VttelTest, ScriptExitTellsTheStarterAndEndsTheProgram) {
  WriteFile(home_.File("exit.vts"), "Exit(3)\n");
  WriteProgramFolder("0=exit.vts\n");
  platform::NamedEvent autorun;
  ASSERT_TRUE(autorun.Create(platform::kAutoRunQuitEventName));
  ASSERT_TRUE(Start());
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
  EXPECT_TRUE(autorun.IsSet());
  ExpectRawInOrder({"Exit()!", "WMVtSysQuit()!", "delete pTelDrive;", "Action = caFree;"});
}

TEST_F(VttelTest, MissingProgramFolderIsRefused) {
  ScopedEnv gone("VTTEL_HOME", home_.File("no-such-folder"));
  std::string out;
  EXPECT_EQ(RunToEnd(kVttel, {}, &out), kNoProgramFolder);
  EXPECT_NE(out.find("no-such-folder"), std::string::npos) << out;
}

// A call from the far end through tools/simboard.py: the line's script
// answers, takes a key and hangs up.
TEST_F(VttelTest, AnswersACallPlacedThroughTheBoardSocket) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("1 Loaded."));
  auto py = [](const std::vector<std::string>& words, std::string* out = nullptr) {
    std::vector<std::string> args = {kSimboardPy};
    args.insert(args.end(), words.begin(), words.end());
    return RunToEnd("/usr/bin/python3", args, out, 30000);
  };
  ASSERT_EQ(py({"call", "E0", "13900000000", "8001"}), 0);
  std::string answered;
  ASSERT_EQ(py({"wait", "ANSWER", "E0", "10000"}, &answered), 0) << answered;
  const auto keyed = std::chrono::steady_clock::now();
  ASSERT_EQ(py({"keys", "E0", "5"}), 0);
  std::string released;
  ASSERT_EQ(py({"wait", "RELEASE", "E0", "10000"}, &released), 0) << released;
  // The key ended the wait, not the 20 s time-out.
  EXPECT_LT(std::chrono::steady_clock::now() - keyed, std::chrono::seconds(8));
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

// A loopback port nobody listens on at the moment.
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// A monitoring client (tools/monitor_client.py) watches the running
// program: every line's cells in Chinese, "运行" while a line waits and
// "连通" once a call placed through the board is answered; the summary
// counts it. With no client allowed no port is open.
TEST_F(VttelTest, MonitorClientSeesLinesAndACall) {
  const int port = FreePort();
  WriteProgramFolder("0-1=answer.vts\n", "LANGUAGE_TYPE=CN\nMONITOR_MAX_CONN=2\nMONITOR_PORT=" +
                                             std::to_string(port) + "\n");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("1 Loaded."));
  SpawnedProgram watch;
  ASSERT_TRUE(watch.Start("/usr/bin/python3", {kMonitorPy, "--port", std::to_string(port), "--count",
                                               "40", "--interval", "0.25"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::string out;
  ASSERT_EQ(RunToEnd("/usr/bin/python3", {kSimboardPy, "call", "E0", "13900000000", "8001"}, &out), 0)
      << out;
  ASSERT_EQ(RunToEnd("/usr/bin/python3", {kSimboardPy, "wait", "ANSWER", "E0", "10000"}, &out), 0)
      << out;
  ASSERT_EQ(watch.Wait(30000), 0) << watch.stderr_text();
  const std::string seen = watch.stdout_text();
  EXPECT_NE(seen.find("update lines=30 "), std::string::npos) << seen;
  EXPECT_NE(seen.find(Utf8(u8"cell 0 2 0 15 运行")), std::string::npos) << seen;
  EXPECT_NE(seen.find(Utf8(u8"cell 0 2 1 14 连通")), std::string::npos) << seen;
  EXPECT_NE(seen.find(Utf8(u8"cell 1 1 ")), std::string::npos) << seen;
  EXPECT_NE(seen.find(Utf8(u8"summary 连通数:1.0: 外:1.0, 内:0, 虚:0, Ip:0.0")), std::string::npos)
      << seen;
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

TEST_F(VttelTest, NoMonitorPortWithoutClientsAllowed) {
  const int port = FreePort();
  WriteProgramFolder("0-1=answer.vts\n", "MONITOR_MAX_CONN=0\nMONITOR_PORT=" + std::to_string(port) + "\n");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("1 Loaded."));
  std::string out;
  EXPECT_EQ(RunToEnd("/usr/bin/python3", {kMonitorPy, "--port", std::to_string(port)}, &out), 2) << out;
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

}  // namespace
