// The control socket under load from several threads at once: clients on
// their own threads while the board posts events from another, and a server
// stopped while its clients are busy.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "simboard/control_client.h"
#include "simboard/control_server.h"
#include "simboard/event_log.h"
#include "simboard/far_end.h"
#include "tests/test_support.h"

namespace simboard {
namespace {

// Does everything it is asked and counts it.
class CountingFarEnd : public FarEnd {
 public:
  int count() const { return count_.load(); }

  std::string Call(Address, std::string_view, std::string_view) override { return Done(); }
  std::string Hangup(Address) override { return Done(); }
  std::string Answer(Address) override { return Done(); }
  std::string Reject(Address, int32_t) override { return Done(); }
  std::string Block(Address) override { return Done(); }
  std::string Unblock(Address) override { return Done(); }
  std::string Lift(Address) override { return Done(); }
  std::string Drop(Address) override { return Done(); }
  std::string Keys(Address, std::string_view, int32_t) override { return Done(); }
  std::string Inject(Address, std::string_view) override { return Done(); }
  std::string CaptureStart(Address, std::string_view) override { return Done(); }
  std::string CaptureStop(Address) override { return Done(); }
  std::string State(Address line, std::string& fields) override {
    fields = "state=1 line=" + line.Text();
    return Done();
  }

 private:
  std::string Done() {
    ++count_;
    return "";
  }
  std::atomic<int> count_{0};
};

class ControlConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(socket_path_, error)) << error;
  }

  testing_support::TempDir dir_;
  const std::string socket_path_ = dir_.File("board.sock");
  CountingFarEnd far_end_;
  EventLog events_;
  ControlServer server_{far_end_, events_};
};

TEST_F(ControlConcurrencyTest, ClientsOnManyThreadsGetTheirOwnRepliesWhileEventsFlow) {
  constexpr int kClients = 6;
  constexpr int kRounds = 60;
  std::atomic<bool> posting{true};
  std::thread poster([&] {
    while (posting.load()) {
      events_.Post("TICK", "E1", "");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::atomic<int> wrong{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < kClients; ++t) {
    clients.emplace_back([&, t] {
      ControlClient c;
      if (!c.Connect(socket_path_, 2000) || (t % 2 == 1 && !c.Events())) {
        ++wrong;
        return;
      }
      const std::string addr = "E" + std::to_string(t);
      for (int r = 0; r < kRounds; ++r) {
        auto state = c.State(addr);
        if (c.Keys(addr, "1#", 0) != "OK" || !state || (*state)["line"] != addr) ++wrong;
        if (r % 10 == 0 && !c.Wait("TICK", "*", 2000)) ++wrong;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  posting = false;
  poster.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(far_end_.count(), kClients * kRounds * 2);
}

TEST_F(ControlConcurrencyTest, StoppingWhileClientsAreBusyEndsEveryone) {
  constexpr int kClients = 4;
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < kClients; ++t) {
    clients.emplace_back([&, t] {
      ControlClient c;
      if (!c.Connect(socket_path_, 2000)) return;
      if (t == 0) {
        c.Wait("NEVER", "*", 600000);  // ends when the server goes
        return;
      }
      while (c.Hangup("E1") == "OK") ++answered;
    });
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (answered.load() < 50 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_GE(answered.load(), 50);
  server_.Stop();
  for (std::thread& t : clients) t.join();
  EXPECT_FALSE(testing_support::FileExists(socket_path_));
}

}  // namespace
}  // namespace simboard
