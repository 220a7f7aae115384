// The program as a user runs it: vttel started headless in a folder of its
// own (VTTEL_HOME) with its own runtime folder, stopped by vttelctl or a
// signal, a second copy refused, a call placed by tools/simboard.py.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/named_event.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

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

// Headless, the standard streams stay the operator's: nothing from Qt and
// no progress prints while a dozen lines load, the window is shown and the
// lines stop.
TEST_F(VttelTest, HeadlessRunLeavesTheStandardStreamsQuiet) {
  WriteProgramFolder("0-11=answer.vts\n");
  std::string cfg = ReadFile(home_.File("VtTelRun.cfg")).value_or("");
  WriteFile(home_.File("VtTelRun.cfg"), "IS_SHOW_FORM=yes\n" + cfg.substr(cfg.find('\n') + 1));
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("Run End.")) << RawLog();
  for (int line = 0; line < 12; ++line) {
    ASSERT_TRUE(WaitForRaw(std::to_string(line) + " Loaded.")) << line;
  }
  EXPECT_EQ(Ctl("show"), 0);
  EXPECT_TRUE(WaitForLog("show request"));
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
  EXPECT_EQ(vttel_.stdout_text(), "");
  // The one line for the operator.
  EXPECT_EQ(vttel_.stderr_text(), "vttel: running in " + home_.path() + " (vttelctl quit stops it)\n");
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
  ASSERT_TRUE(WaitForRun(0)) << MainLog();
  // The key ends the wait, not the script's 20 s time-out.
  std::string out;
  EXPECT_EQ(FarEnd("c.call('E0', '13900000000', '8001')\n"
                   "need(c.wait('ANSWER', 'E0', 10000), 'answer')\n"
                   "keyed = time.time()\n"
                   "need(key_until_release('E0'), 'release')\n"
                   "need(time.time() - keyed < 8, 'release before the time-out')\n",
                   &out),
            0)
      << out;
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

// A monitoring client (tools/monitor_client.py) watches the running
// program: every line's cells in Chinese, "运行" while a line waits and
// "连通" once a call placed through the board is answered; the summary
// counts it. With no client allowed no port is open.
TEST_F(VttelTest, MonitorClientSeesLinesAndACall) {
  const int port = testing_support::FreeLoopbackPort();
  WriteProgramFolder("0-1=answer.vts\n", "LANGUAGE_TYPE=CN\nMONITOR_MAX_CONN=2\nMONITOR_PORT=" +
                                             std::to_string(port) + "\n");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRun(0)) << MainLog();
  SpawnedProgram watch;
  ASSERT_TRUE(watch.Start("/usr/bin/python3", {kMonitorPy, "--port", std::to_string(port), "--count",
                                               "40", "--interval", "0.25"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::string out;
  ASSERT_EQ(FarEnd("c.call('E0', '13900000000', '8001')\n"
                   "need(c.wait('ANSWER', 'E0', 10000), 'answer')\n",
                   &out),
            0)
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

// A connection to the board's control socket that sends the given bytes
// and is then left as it is; -1 when it cannot connect.
int ControlConnection(const std::string& socket_path, const std::string& bytes) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.size() >= sizeof address.sun_path) return -1;
  socket_path.copy(address.sun_path, socket_path.size());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
    close(fd);
    return -1;
  }
  return fd;
}

// The far end hands the board a fifo to capture into and to inject from,
// and other clients misbehave: one never sends, one sends half a line, one
// never reads its event stream, one holds a WAIT. The fifo is refused at
// once, a call on another line is answered, and the quit request ends the
// program in its bounded time. A setting the board could not take is in
// the log.
TEST_F(VttelTest, ControlClientsNeitherFreezeTheBoardNorHoldTheShutdown) {
  WriteFile(home_.File("SimBoard.ini"), "Trunks=1\nStrict=1\nJournal=1000000000\n");
  ASSERT_EQ(mkfifo(home_.File("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRun(0)) << MainLog();
  const std::string socket_path = home_.File("simboard.sock");
  std::vector<int> clients;
  for (const char* bytes : {"", "CALL E1 139", "EVENTS\n", "WAIT CHARGE E5 600000\n"}) {
    clients.push_back(ControlConnection(socket_path, bytes));
    EXPECT_GE(clients.back(), 0) << bytes;
  }
  std::string out;
  EXPECT_EQ(FarEnd("for request in ('CAPTURE E1 START pipe', 'INJECT E1 pipe'):\n"
                   "    reply = c.request(request)\n"
                   "    need(reply == 'ERR not a regular file', request + ': ' + reply)\n"
                   "c.call('E0', '13900000000', '8001')\n"
                   "need(c.wait('ANSWER', 'E0', 10000), 'answer')\n"
                   "need(key_until_release('E0'), 'release')\n",
                   &out),
            0)
      << out;
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0) << vttel_.stderr_text();
  for (int fd : clients) {
    if (fd >= 0) close(fd);
  }
  EXPECT_NE(MainLog().find("SimBoard.ini: Journal=1000000000: more than 1000000 entries refused"),
            std::string::npos)
      << MainLog();
}

TEST_F(VttelTest, NoMonitorPortWithoutClientsAllowed) {
  const int port = testing_support::FreeLoopbackPort();
  WriteProgramFolder("0-1=answer.vts\n", "MONITOR_MAX_CONN=0\nMONITOR_PORT=" + std::to_string(port) + "\n");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitForRaw("1 Loaded."));
  std::string out;
  EXPECT_EQ(RunToEnd("/usr/bin/python3", {kMonitorPy, "--port", std::to_string(port)}, &out), 2) << out;
  EXPECT_EQ(Ctl("quit"), 0);
  EXPECT_EQ(vttel_.Wait(kQuitMs), 0);
}

}  // namespace
}  // namespace vttel_test
