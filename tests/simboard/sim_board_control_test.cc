// The simulated board's control socket, started by the board on its
// configured path, driven through the control client as a test would.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <mutex>

#include <gtest/gtest.h>

#include "simboard/control_client.h"
#include "simboard/sim_board.h"
#include "tests/platform/spawned_program.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

using Clock = std::chrono::steady_clock;

// Longest a refused request or a board call may take in these tests; a
// board that blocks takes forever.
constexpr auto kPromptly = std::chrono::milliseconds(1000);
constexpr int kReplyMs = 1500;
constexpr uid_t kNobody = 65534;

// Opens both ends of a fifo, without blocking, when it goes: a board that
// blocked opening it gets its peer at last, so the test fails instead of
// hanging.
class FifoRescue {
 public:
  explicit FifoRescue(std::string path) : path_(std::move(path)) {}
  ~FifoRescue() {
    int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    int writer = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (writer >= 0) close(writer);
    if (reader >= 0) close(reader);
  }

 private:
  std::string path_;
};

TEST_F(SimBoardTest, ControlSocketDrivesTheFarEnd) {
  Make("Trunks=1\nSocket=ctl.sock");
  std::string error;
  ASSERT_TRUE(b().StartControl(error)) << error;
  ASSERT_TRUE(testing_support::FileExists(Path("ctl.sock")));
  ControlClient client;
  ASSERT_TRUE(client.Connect(Path("ctl.sock")));
  EXPECT_EQ(client.Call("E2", "13900000000", "8000"), "OK");
  EXPECT_EQ(b().TupCircuitState(0, 2), 8);
  b().TupSendMessage(0, 2, 6, 1);
  auto state = client.State("E2");
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ((*state)["state"], "9");
  EXPECT_EQ(client.Call("E2", "1", "2").rfind("ERR", 0), 0u);
  b().StopControl();
  EXPECT_FALSE(testing_support::FileExists(Path("ctl.sock")));
}

TEST_F(SimBoardTest, ControlSocketThatCannotBeMade) {
  Make("Socket=no/such/dir/ctl.sock");
  std::string error;
  EXPECT_FALSE(b().StartControl(error));
  EXPECT_FALSE(error.empty());
  // The reason names the setting and the folder that is missing.
  EXPECT_NE(error.find("SimBoard.ini: Socket=no/such/dir/ctl.sock: the folder " +
                       Path("no/such/dir") + " does not exist"),
            std::string::npos)
      << error;
}

// A capture or an injected file that is not a regular file (a fifo nobody
// opens) is refused at once, and the lines' calls go on meanwhile.
TEST_F(SimBoardTest, ControlRefusesFilesThatAreNotRegular) {
  Make("Trunks=1\nSocket=ctl.sock");
  std::string error;
  ASSERT_TRUE(b().StartControl(error)) << error;
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  for (const char* request : {"CAPTURE E1 START pipe", "INJECT E1 pipe"}) {
    SCOPED_TRACE(request);
    FifoRescue rescue(Path("pipe"));
    ControlClient client;
    ASSERT_TRUE(client.Connect(Path("ctl.sock")));
    const Clock::time_point start = Clock::now();
    auto reply = std::async(std::launch::async, [&] { return client.Request(request, kReplyMs); });
    auto line_call = std::async(std::launch::async, [&] { return b().TupCircuitState(0, 2); });
    EXPECT_EQ(line_call.wait_for(kPromptly), std::future_status::ready) << "a line waits for the board";
    EXPECT_EQ(reply.wait_for(kPromptly), std::future_status::ready);
    EXPECT_LT(Clock::now() - start, kPromptly);
    if (reply.wait_for(kPromptly) != std::future_status::ready) continue;  // the rescue ends it
    EXPECT_EQ(reply.get(), "ERR not a regular file");
    EXPECT_EQ(client.Request("PING"), "OK");
  }
}

// The reply of a request sent by a client that runs as uid (python3 under
// setpriv, a process of its own: no fork of this threaded test), or how it
// failed ("connect: ...").
std::string RequestAs(uid_t uid, const std::string& socket_path, const std::string& request) {
  static constexpr char kClient[] =
      "import socket, sys\n"
      "s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
      "try:\n"
      "    s.connect(sys.argv[1])\n"
      "except OSError:\n"
      "    print('connect: refused')\n"
      "    sys.exit(0)\n"
      "try:\n"
      "    s.sendall(sys.argv[2].encode() + b'\\n')\n"
      "except OSError:\n"
      "    pass  # a refused peer may be closed already: its reply is still there\n"
      "s.settimeout(float(sys.argv[3]))\n"
      "try:\n"
      "    reply = s.recv(256)\n"
      "except OSError:\n"
      "    reply = b''\n"
      "print(reply.decode(errors='replace').rstrip('\\n') if reply else 'no reply')\n";
  const std::string id = std::to_string(uid);
  testing_support::SpawnedProgram client;
  if (!client.Start("/usr/bin/setpriv",
                    {"--reuid=" + id, "--regid=" + id, "--clear-groups", "/usr/bin/python3", "-c",
                     kClient, socket_path, request, std::to_string(kReplyMs / 1000.0)})) {
    return "setpriv failed";
  }
  if (client.Wait(kReplyMs + 10000) != 0) return "client failed: " + client.stderr_text();
  std::string text = client.stdout_text();
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The control socket is its owner's: 0600 whatever the umask, and a process
// of another user that reaches it all the same (its mode opened up) is
// refused with a line to the log, before it can make the board write a file.
TEST_F(SimBoardTest, ControlSocketIsTheOwnersOnly) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  Make("Trunks=1\nSocket=ctl.sock");
  std::mutex logged_mutex;
  std::vector<std::string> logged;
  b().SetControlLog([&](std::string_view text) {
    std::lock_guard<std::mutex> hold(logged_mutex);
    logged.emplace_back(text);
  });
  const mode_t old_umask = umask(0);
  std::string error;
  const bool started = b().StartControl(error);
  umask(old_umask);
  ASSERT_TRUE(started) << error;
  struct stat st {};
  ASSERT_EQ(stat(Path("ctl.sock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0711), 0);  // the folder lets them reach the socket
  const std::string capture = "CAPTURE E1 START " + Path("theirs.raw");
  EXPECT_EQ(RequestAs(kNobody, Path("ctl.sock"), capture), "connect: refused");

  // Its mode opened up: only the peer's uid stops them now.
  ASSERT_EQ(chmod(Path("ctl.sock").c_str(), 0666), 0);
  EXPECT_EQ(RequestAs(kNobody, Path("ctl.sock"), capture), "ERR not the board's user");
  EXPECT_FALSE(testing_support::FileExists(Path("theirs.raw")));
  std::lock_guard<std::mutex> hold(logged_mutex);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("refused a connection of uid 65534"), std::string::npos) << logged[0];
  // The owner is served as before.
  ControlClient client;
  ASSERT_TRUE(client.Connect(Path("ctl.sock")));
  EXPECT_EQ(client.Request("PING"), "OK");
}

}  // namespace
}  // namespace simboard
