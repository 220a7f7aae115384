// The control socket served by ControlServer, driven through the C++
// ControlClient, bare connections that misbehave, and tools/simboard.py run
// as a real process. The board behind it is a far end that records what it
// is asked to do, with a real EventLog.
#include "simboard/control_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "simboard/control_client.h"
#include "simboard/control_request.h"
#include "simboard/event_log.h"
#include "simboard/far_end.h"
#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace simboard {
namespace {


// Records each operation as one text ("Call E3 139 8001"); refuses all of
// them with refusal() when it is set. Thread-safe.
class RecordingFarEnd : public FarEnd {
 public:
  std::vector<std::string> calls() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
  }
  void set_refusal(std::string reason) {
    std::lock_guard<std::mutex> hold(mutex_);
    refusal_ = std::move(reason);
  }
  void set_state(std::string fields) {
    std::lock_guard<std::mutex> hold(mutex_);
    state_ = std::move(fields);
  }

  std::string Call(Address l, std::string_view calling, std::string_view called) override {
    return Record("Call " + l.Text() + " " + std::string(calling) + " " + std::string(called));
  }
  std::string Hangup(Address l) override { return Record("Hangup " + l.Text()); }
  std::string Answer(Address l) override { return Record("Answer " + l.Text()); }
  std::string Reject(Address l, int32_t p) override {
    return Record("Reject " + l.Text() + " " + std::to_string(p));
  }
  std::string Block(Address l) override { return Record("Block " + l.Text()); }
  std::string Unblock(Address l) override { return Record("Unblock " + l.Text()); }
  std::string Lift(Address l) override { return Record("Lift " + l.Text()); }
  std::string Drop(Address l) override { return Record("Drop " + l.Text()); }
  std::string Keys(Address l, std::string_view digits, int32_t gap_ms) override {
    return Record("Keys " + l.Text() + " " + std::string(digits) + " " + std::to_string(gap_ms));
  }
  std::string Inject(Address l, std::string_view file) override {
    return Record("Inject " + l.Text() + " " + std::string(file));
  }
  std::string CaptureStart(Address l, std::string_view file) override {
    return Record("CaptureStart " + l.Text() + " " + std::string(file));
  }
  std::string CaptureStop(Address l) override { return Record("CaptureStop " + l.Text()); }
  std::string State(Address l, std::string& fields) override {
    std::string refused = Record("State " + l.Text());
    std::lock_guard<std::mutex> hold(mutex_);
    if (refused.empty()) fields = state_;
    return refused;
  }

 private:
  std::string Record(std::string call) {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.push_back(std::move(call));
    return refusal_;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::string refusal_;
  std::string state_;
};

// A server on a RecordingFarEnd, listening in a fresh folder.
class ControlServerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(socket_path_, error)) << error;
  }

  // Connects c and makes sure the server has taken the connection, so that
  // events posted from now on count for it.
  void Open(ControlClient& c) {
    ASSERT_TRUE(c.Connect(socket_path_, 2000));
    ASSERT_EQ(c.Request("PING"), "OK");
  }

  testing_support::TempDir dir_;
  const std::string socket_path_ = dir_.File("board.sock");
  RecordingFarEnd far_end_;
  EventLog events_;
  ControlServer server_{far_end_, events_};
};

// A bare connection: sends what it is given, reads with a time limit.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~RawConnection() { Close(); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool ok() const { return fd_ >= 0; }
  bool Send(const std::string& bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }
  void ShutdownSending() { shutdown(fd_, SHUT_WR); }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // The next line (without "\n"); std::nullopt when none came in time.
  std::optional<std::string> ReadLine(int timeout_ms) {
    for (;;) {
      size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      char chunk[4096];
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
      ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return std::nullopt;
      pending_.append(chunk, static_cast<size_t>(n));
    }
  }
  // Reads what arrives until the peer closes; false when it did not close
  // within timeout_ms. The bytes read go to *got.
  bool ReadToEnd(int timeout_ms, std::string* got) {
    char chunk[65536];
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, timeout_ms) <= 0) return false;
      ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return true;
      got->append(chunk, static_cast<size_t>(n));
    }
  }

 private:
  int fd_ = -1;
  std::string pending_;
};


using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// --- Requests to the board. ---

TEST_F(ControlServerFixture, EveryBoardRequestReachesTheFarEnd) {
  struct Case {
    std::function<std::string(ControlClient&)> send;
    const char* recorded;
  };
  const Case cases[] = {
      {[](ControlClient& c) { return c.Call("E3", "13900000000", "8001"); },
       "Call E3 13900000000 8001"},
      {[](ControlClient& c) { return c.Hangup("E3"); }, "Hangup E3"},
      {[](ControlClient& c) { return c.Answer("E4"); }, "Answer E4"},
      {[](ControlClient& c) { return c.Reject("E5", 3); }, "Reject E5 3"},
      {[](ControlClient& c) { return c.Reject("E5", 4); }, "Reject E5 4"},
      {[](ControlClient& c) { return c.Reject("E5", 8); }, "Reject E5 8"},
      {[](ControlClient& c) { return c.Block("E59"); }, "Block E59"},
      {[](ControlClient& c) { return c.Unblock("E59"); }, "Unblock E59"},
      {[](ControlClient& c) { return c.Lift("A0"); }, "Lift A0"},
      {[](ControlClient& c) { return c.Drop("A1"); }, "Drop A1"},
      {[](ControlClient& c) { return c.Keys("E3", "12*#"); }, "Keys E3 12*# 100"},
      {[](ControlClient& c) { return c.Keys("A2", "9ABCD", 40); }, "Keys A2 9ABCD 40"},
      {[](ControlClient& c) { return c.Inject("E3", "voice/hello.alaw"); },
       "Inject E3 voice/hello.alaw"},
      {[](ControlClient& c) { return c.CaptureStart("E3", "/tmp/cap.alaw"); },
       "CaptureStart E3 /tmp/cap.alaw"},
      {[](ControlClient& c) { return c.CaptureStop("E3"); }, "CaptureStop E3"},
      {[](ControlClient& c) { return c.Request("call e7 1 2"); }, "Call E7 1 2"},
      {[](ControlClient& c) { return c.Request("\tkeys  a1 5d 0\r"); }, "Keys A1 5D 0"},
      {[](ControlClient& c) { return c.Request("capture E3 start x.alaw"); },
       "CaptureStart E3 x.alaw"},
  };
  ControlClient client;
  Open(client);
  size_t done = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recorded);
    EXPECT_EQ(c.send(client), "OK");
    std::vector<std::string> calls = far_end_.calls();
    ASSERT_EQ(calls.size(), ++done);
    EXPECT_EQ(calls.back(), c.recorded);
  }
}

TEST_F(ControlServerFixture, RefusalsOfTheBoardAreSentAsTheirReason) {
  ControlClient client;
  Open(client);
  far_end_.set_refusal("circuit E3 is not idle");
  EXPECT_EQ(client.Call("E3", "1", "2"), "ERR circuit E3 is not idle");
  EXPECT_EQ(client.Hangup("E3"), "ERR circuit E3 is not idle");
  EXPECT_FALSE(client.State("E3").has_value());
  // A reason must not break the reply into two lines.
  far_end_.set_refusal("first\r\nsecond");
  EXPECT_EQ(client.Answer("E3"), "ERR first  second");
  EXPECT_EQ(client.Request("PING"), "OK");
}

TEST_F(ControlServerFixture, StateRepliesWithTheLineFields) {
  ControlClient client;
  Open(client);
  far_end_.set_state("state=8 calling=13900000000 called=8001 blocked=0");
  EXPECT_EQ(client.Request("STATE E3"), "OK state=8 calling=13900000000 called=8001 blocked=0");
  auto fields = client.State("E3");
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ((*fields)["state"], "8");
  EXPECT_EQ((*fields)["called"], "8001");
  EXPECT_EQ(fields->size(), 4u);
  far_end_.set_state("");
  EXPECT_EQ(client.Request("STATE A0"), "OK");
  EXPECT_EQ(far_end_.calls().back(), "State A0");
}

TEST_F(ControlServerFixture, MalformedRequestsAreRefusedWithoutReachingTheBoard) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "ERR empty request"},
      {"HELLO", "ERR unknown request"},
      {"CALL E3 1", "ERR wrong argument count"},
      {"HANGUP Z3", "ERR bad address"},
      {"REJECT E3 5", "ERR bad progress (3, 4 or 8)"},
      {"KEYS E3 12X", "ERR bad digits"},
      {"KEYS E3 12 soon", "ERR bad gap"},
      {"WAIT X E3 later", "ERR bad timeout"},
      {"CAPTURE E3 PAUSE", "ERR bad capture (START <file> or STOP)"},
      {std::string("PING\0\xff", 6), "ERR unknown request"},
      {std::string(kControlMaxLineBytes, 'x'), "ERR unknown request"},
      {std::string(kControlMaxLineBytes + 1, 'x'), "ERR line too long"},
      {"CALL E3 " + std::string(200000, '1') + " 2", "ERR line too long"},
  };
  ControlClient client;
  Open(client);
  for (const auto& [line, reply] : cases) {
    SCOPED_TRACE(line.substr(0, 40));
    EXPECT_EQ(client.Request(line), reply);
    EXPECT_EQ(client.Request("PING"), "OK");
  }
  EXPECT_TRUE(far_end_.calls().empty());
}

TEST_F(ControlServerFixture, RequestsSentTogetherAreAnsweredInOrder) {
  RawConnection raw(socket_path_);
  ASSERT_TRUE(raw.ok());
  // A long line without an end in the middle of other requests.
  ASSERT_TRUE(raw.Send("PING\r\nHANGUP E1\n" + std::string(9000, 'y')));
  ASSERT_TRUE(raw.Send("\nBLOCK E2\nNOPE\nQUIT\nPING\n"));
  for (const char* reply : {"OK", "OK", "ERR line too long", "OK", "ERR unknown request", "OK"}) {
    EXPECT_EQ(raw.ReadLine(2000), reply);
  }
  std::string rest;
  EXPECT_TRUE(raw.ReadToEnd(2000, &rest));  // QUIT closed it
  EXPECT_EQ(rest, "");
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Hangup E1", "Block E2"}));
}

TEST_F(ControlServerFixture, QuitAnswersAndCloses) {
  ControlClient client;
  Open(client);
  EXPECT_EQ(client.Request("QUIT"), "OK");
  EXPECT_EQ(client.Request("PING", 1000), "ERR client: connection closed");
  EXPECT_EQ(client.Request("PING"), "ERR client: not connected");
}

TEST_F(ControlServerFixture, ALastLineWithoutItsEndIsAnsweredAfterTheSenderStops) {
  RawConnection raw(socket_path_);
  ASSERT_TRUE(raw.ok());
  ASSERT_TRUE(raw.Send("PING\nLIFT A3"));
  raw.ShutdownSending();
  std::string got;
  EXPECT_TRUE(raw.ReadToEnd(2000, &got));
  EXPECT_EQ(got, "OK\nOK\n");
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Lift A3"}));
}

// --- WAIT. ---

TEST_F(ControlServerFixture, WaitFindsAnEventPostedBeforeItButNeverTwice) {
  ControlClient client;
  Open(client);
  events_.Post("CHARGE", "E3", "37");
  EXPECT_EQ(client.Wait("CHARGE", "E3", 1000), "EV 1 CHARGE E3 37");
  EXPECT_EQ(client.Wait("CHARGE", "E3", 20), std::nullopt);
  events_.Post("charge", "E4", "38");
  events_.Post("CHARGE", "E3", "38");
  EXPECT_EQ(client.Request("WAIT charge e3 1000"), "OK EV 3 CHARGE E3 38");
  EXPECT_EQ(client.Wait("CHARGE", "*", 1000), "EV 2 charge E4 38");
  EXPECT_EQ(client.Wait("CHARGE", "*", 20), std::nullopt);
}

TEST_F(ControlServerFixture, WaitReturnsTheOldestUnreturnedEventOfItsType) {
  ControlClient client;
  Open(client);
  events_.Post("PLAY", "E3", "a.alaw 0");
  events_.Post("PLAYEND", "G1", "");
  events_.Post("PLAY", "E3", "b.alaw 0");
  EXPECT_EQ(client.Wait("PLAYEND", "g1", 1000), "EV 2 PLAYEND G1");
  EXPECT_EQ(client.Wait("PLAY", "E3", 1000), "EV 1 PLAY E3 a.alaw 0");
  EXPECT_EQ(client.Wait("*", "*", 20), std::nullopt);  // "*" is no type
  EXPECT_EQ(client.Wait("PLAY", "*", 1000), "EV 3 PLAY E3 b.alaw 0");
  EXPECT_EQ(client.Wait("PLAY", "*", 20), std::nullopt);
}

TEST_F(ControlServerFixture, AConnectionCountsOnlyEventsSinceItOpened) {
  events_.Post("RING", "A0", "");
  ControlClient first;
  Open(first);
  events_.Post("RING", "A1", "");
  ControlClient second;
  Open(second);
  events_.Post("RING", "A2", "");
  EXPECT_EQ(second.Wait("RING", "*", 1000), "EV 3 RING A2");
  EXPECT_EQ(second.Wait("RING", "*", 20), std::nullopt);
  EXPECT_EQ(first.Wait("RING", "*", 1000), "EV 2 RING A1");
  EXPECT_EQ(first.Wait("RING", "*", 1000), "EV 3 RING A2");
  EXPECT_EQ(first.Wait("RING", "*", 20), std::nullopt);
}

TEST_F(ControlServerFixture, WaitTimesOutInAboutItsTime) {
  ControlClient client;
  Open(client);
  for (int ms : {0, 150}) {
    Clock::time_point start = Clock::now();
    EXPECT_EQ(client.Request("WAIT CHARGE E3 " + std::to_string(ms)), "ERR timeout");
    EXPECT_GE(MsSince(start), ms);
    EXPECT_LT(MsSince(start), ms + 500);
  }
}

TEST_F(ControlServerFixture, AWaitHoldsBackOnlyItsOwnConnection) {
  RawConnection waiting(socket_path_);
  ASSERT_TRUE(waiting.ok());
  ASSERT_TRUE(waiting.Send("PING\nWAIT ANSWER E9 3000\nHANGUP E9\nPING\n"));
  EXPECT_EQ(waiting.ReadLine(2000), "OK");

  ControlClient other;
  Clock::time_point start = Clock::now();
  Open(other);
  EXPECT_EQ(other.Hangup("E1"), "OK");
  EXPECT_LT(MsSince(start), 1000);
  // The requests behind the WAIT wait for it.
  EXPECT_EQ(waiting.ReadLine(50), std::nullopt);
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Hangup E1"}));

  events_.Post("ANSWER", "E9", "1");
  EXPECT_EQ(waiting.ReadLine(2000), "OK EV 1 ANSWER E9 1");
  EXPECT_EQ(waiting.ReadLine(2000), "OK");
  EXPECT_EQ(waiting.ReadLine(2000), "OK");
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Hangup E1", "Hangup E9"}));
}

TEST_F(ControlServerFixture, AClientGoneDuringAWaitOrARequestLeavesTheServerServing) {
  {
    RawConnection gone(socket_path_);
    ASSERT_TRUE(gone.Send("WAIT CHARGE E3 5000\n"));
  }
  {
    RawConnection half(socket_path_);
    ASSERT_TRUE(half.Send("CALL E3 139"));
  }
  events_.Post("CHARGE", "E3", "37");
  ControlClient client;
  Open(client);
  EXPECT_EQ(client.Call("E3", "1", "2"), "OK");
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Call E3 1 2"}));
}

// --- EVENTS. ---

TEST_F(ControlServerFixture, EventsPushesEveryLineFromThenOn) {
  ControlClient client;
  Open(client);
  events_.Post("RING", "A0", "");  // before EVENTS: only for WAIT
  ASSERT_TRUE(client.Events());
  events_.Post("PLAY", "E3", "hello.alaw 0");
  events_.Post("LINK", "E3", "A0");
  EXPECT_EQ(client.NextEvent(1000), "EV 2 PLAY E3 hello.alaw 0");
  EXPECT_EQ(client.NextEvent(1000), "EV 3 LINK E3 A0");
  EXPECT_EQ(client.NextEvent(20), std::nullopt);

  // Events between replies are kept for NextEvent; replies stay replies.
  events_.Post("UNLINK", "E3", "");
  EXPECT_EQ(client.Wait("RING", "A0", 1000), "EV 1 RING A0");
  EXPECT_EQ(client.Request("PING"), "OK");
  EXPECT_EQ(client.NextEvent(1000), "EV 4 UNLINK E3");
}

TEST_F(ControlServerFixture, AClientThatNeverReadsIsDroppedAlone) {
  RawConnection deaf(socket_path_);
  ASSERT_TRUE(deaf.Send("EVENTS\n"));
  ASSERT_EQ(deaf.ReadLine(2000), "OK");
  ControlClient client;
  Open(client);
  const std::string args(200, 'x');
  for (int i = 0; i < 8000; ++i) events_.Post("NOISE", "E1", args);  // about 1.7 MB
  EXPECT_EQ(client.Request("PING"), "OK");
  std::string got;
  EXPECT_TRUE(deaf.ReadToEnd(5000, &got));
  EXPECT_LT(got.size(), 8000u * 220u);
  EXPECT_EQ(client.Request("PING"), "OK");
}

// --- Connections and the server's life. ---

TEST_F(ControlServerFixture, ServesManyConnectionsAtOnce) {
  constexpr int kClients = 150;
  std::vector<std::unique_ptr<ControlClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<ControlClient>());
    ASSERT_TRUE(clients.back()->Connect(socket_path_, 2000));
  }
  for (int i = 0; i < kClients; ++i) {
    ASSERT_EQ(clients[i]->Hangup("E" + std::to_string(i)), "OK");
  }
  EXPECT_EQ(far_end_.calls().size(), static_cast<size_t>(kClients));
}

TEST_F(ControlServerFixture, StopWithConnectionsOpenClosesThemAndRemovesTheSocket) {
  RawConnection waiting(socket_path_);
  ASSERT_TRUE(waiting.Send("WAIT X * 600000\n"));
  ControlClient listening;
  Open(listening);
  ASSERT_TRUE(listening.Events());
  RawConnection idle(socket_path_);
  ASSERT_TRUE(idle.ok());
  ASSERT_TRUE(testing_support::FileExists(socket_path_));

  Clock::time_point start = Clock::now();
  server_.Stop();
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_FALSE(testing_support::FileExists(socket_path_));
  std::string got;
  EXPECT_TRUE(waiting.ReadToEnd(1000, &got));
  EXPECT_TRUE(idle.ReadToEnd(1000, &got));
  EXPECT_EQ(listening.NextEvent(100), std::nullopt);
  ControlClient late;
  EXPECT_FALSE(late.Connect(socket_path_, 50));
  server_.Stop();  // a second Stop does nothing
}

TEST_F(ControlServerFixture, StartReplacesALeftOverSocketButNoOtherFile) {
  // A socket file left behind by a board that died.
  const std::string stale = dir_.File("stale.sock");
  {
    RecordingFarEnd far_end;
    ControlServer old(far_end, events_);
    std::string error;
    ASSERT_TRUE(old.Start(stale, error)) << error;
  }
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, stale.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);

  ControlServer again(far_end_, events_);
  std::string error;
  ASSERT_TRUE(again.Start(stale, error)) << error;
  ControlClient client;
  ASSERT_TRUE(client.Connect(stale, 1000));
  EXPECT_EQ(client.Request("PING"), "OK");
  EXPECT_FALSE(again.Start(stale, error));
  EXPECT_FALSE(error.empty());

  const std::string plain = dir_.File("plain.txt");
  testing_support::WriteFile(plain, "keep me");
  ControlServer refused(far_end_, events_);
  EXPECT_FALSE(refused.Start(plain, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(testing_support::ReadFile(plain), "keep me");
  EXPECT_FALSE(refused.Start(dir_.File(std::string(200, 'n')), error));
}

TEST(ControlClientTest, ConnectGivesUpInTimeWhenNoBoardListens) {
  testing_support::TempDir dir;
  ControlClient client;
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(client.Connect(dir.File("none.sock"), 100));
  EXPECT_GE(MsSince(start), 100);
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_EQ(client.Request("PING"), "ERR client: not connected");
  EXPECT_EQ(client.NextEvent(10), std::nullopt);
}

TEST(ControlClientTest, ConnectWaitsForABoardThatStartsLater) {
  testing_support::TempDir dir;
  RecordingFarEnd far_end;
  EventLog events;
  ControlServer server(far_end, events);
  std::string error;
  std::thread starter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.Start(dir.File("late.sock"), error);
  });
  ControlClient client;
  EXPECT_TRUE(client.Connect(dir.File("late.sock"), 3000));
  starter.join();
  EXPECT_EQ(client.Request("PING"), "OK");
}

// --- tools/simboard.py as a real process. ---

const std::string kTool = std::string(VTTEL_SOURCE_DIR) + "/tools/simboard.py";

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

class ControlToolTest : public ControlServerFixture {
 protected:
  ToolRun Run(std::vector<std::string> args, bool with_socket = true) {
    if (with_socket) args.insert(args.begin(), {"--socket", socket_path_});
    testing_support::SpawnedProgram tool;
    if (!tool.Start(kTool, args)) return {-1, "", "cannot start"};
    int status = tool.Wait(10000);
    return {status, tool.stdout_text(), tool.stderr_text()};
  }
};

TEST_F(ControlToolTest, PrintsTheReplyAndExitsByIt) {
  far_end_.set_state("state=8 calling=13900000000");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;
  };
  const Case cases[] = {
      {{"ping"}, 0, "OK\n"},
      {{"call", "E3", "13900000000", "8001"}, 0, "OK\n"},
      {{"KEYS", "E3", "123#", "50"}, 0, "OK\n"},
      {{"state", "E3"}, 0, "OK state=8 calling=13900000000\n"},
      {{"reject", "E3", "5"}, 1, "ERR bad progress (3, 4 or 8)\n"},
      {{"frobnicate"}, 1, "ERR unknown request\n"},
      {{"wait", "CHARGE", "E3", "50"}, 1, "ERR timeout\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ToolRun run = Run(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
  }
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Call E3 13900000000 8001",
                                                        "Keys E3 123# 50", "State E3"}));
}

TEST_F(ControlToolTest, ExitsWithTwoWhenNoBoardListens) {
  ToolRun run = Run({"--socket", dir_.File("none.sock"), "ping"}, false);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err, "");
}

TEST_F(ControlToolTest, TakesTheSocketFromTheEnvironment) {
  testing_support::ScopedEnv env("SIMBOARD_SOCKET", socket_path_);
  ToolRun run = Run({"hangup", "E2"}, false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(far_end_.calls(), (std::vector<std::string>{"Hangup E2"}));
}

TEST_F(ControlToolTest, WaitPrintsTheEventThatCame) {
  testing_support::SpawnedProgram tool;
  ASSERT_TRUE(tool.Start(kTool, {"--socket", socket_path_, "wait", "CHARGE", "E3", "5000"}));
  // The tool's connection counts events from its opening: post until it
  // has seen one.
  int status = testing_support::SpawnedProgram::kTimedOut;
  for (int i = 0; i < 100 && status == testing_support::SpawnedProgram::kTimedOut; ++i) {
    events_.Post("CHARGE", "E3", "37");
    status = tool.Wait(50);
  }
  EXPECT_EQ(status, 0) << tool.stderr_text();
  EXPECT_TRUE(tool.stdout_text().starts_with("OK EV ")) << tool.stdout_text();
  EXPECT_TRUE(tool.stdout_text().ends_with(" CHARGE E3 37\n")) << tool.stdout_text();
}

TEST_F(ControlToolTest, EventsPrintsEventLinesUntilInterrupted) {
  testing_support::SpawnedProgram tool;
  ASSERT_TRUE(tool.Start(kTool, {"--socket", socket_path_, "events"}));
  bool seen = false;
  for (int i = 0; i < 100 && !seen; ++i) {
    uint64_t seq = events_.Post("TICK", "E1", std::to_string(i));
    seen = tool.WaitForLine("EV " + std::to_string(seq) + " TICK E1 " + std::to_string(i), 50);
  }
  ASSERT_TRUE(seen);
  uint64_t seq = events_.Post("DTMF", "A0", "123");
  EXPECT_TRUE(tool.WaitForLine("EV " + std::to_string(seq) + " DTMF A0 123", 2000));
  tool.Kill(SIGINT);
  EXPECT_EQ(tool.Wait(5000), 0) << tool.stderr_text();
}

TEST_F(ControlToolTest, TheModuleClientSpeaksTheSameProtocol) {
  far_end_.set_state("state=1 blocked=0");
  const std::string script =
      "import sys\n"
      "sys.path.insert(0, sys.argv[1])\n"
      "import simboard\n"
      "c = simboard.Client(sys.argv[2], timeout=5)\n"
      "print(c.call('E3', '139', '8001'))\n"
      "print(c.state('E3')['state'])\n"
      "print(c.wait('CHARGE', 'E3', 20))\n"
      "try:\n"
      "    c.reject('E3', 5)\n"
      "except simboard.Error as e:\n"
      "    print(e)\n"
      "c.close()\n";
  testing_support::SpawnedProgram python;
  const std::string tools = std::string(VTTEL_SOURCE_DIR) + "/tools";
  // -B: importing the module leaves no byte code in the source tree.
  ASSERT_TRUE(python.Start("/usr/bin/env", {"python3", "-B", "-c", script, tools, socket_path_}));
  EXPECT_EQ(python.Wait(10000), 0) << python.stderr_text();
  EXPECT_EQ(python.stdout_text(), "OK\n1\nNone\nERR bad progress (3, 4 or 8)\n");
}

}  // namespace
}  // namespace simboard
