// The board's wait for a change of a channel's state: which far-end
// requests and clock changes move a channel's count, the wait's ends (a
// change, a nudge, its time), and a board whose settings leave it out.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "simboard/sim_board.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

using Steady = std::chrono::steady_clock;

constexpr int32_t kE1 = 0;
constexpr int32_t kAnalog = 1;

class ChannelChangesTest : public SimBoardTest {
 protected:
  void SetUp() override { Make("Trunks=1\nAnalogPorts=0,1\nDtmfDigitMs=0\n"); }
  board::ChannelChanges& changes() { return *b().changes(); }
};

struct FarRequest {
  const char* name;
  int32_t type;
  int32_t number;
  std::function<std::string(SimBoard&)> request;
};

TEST_F(ChannelChangesTest, FarEndRequestsMoveTheirChannelsCountOnly) {
  ASSERT_NE(b().changes(), nullptr);
  const FarRequest requests[] = {
      {"call", kE1, 4, [](SimBoard& s) { return s.Call(E(4), "139", "800"); }},
      {"hangup", kE1, 4, [](SimBoard& s) { return s.Hangup(E(4)); }},
      {"block", kE1, 5, [](SimBoard& s) { return s.Block(E(5)); }},
      {"unblock", kE1, 5, [](SimBoard& s) { return s.Unblock(E(5)); }},
      {"keys", kE1, 6, [](SimBoard& s) { return s.Keys(E(6), "12", 0); }},
      {"lift", kAnalog, 0, [](SimBoard& s) { return s.Lift(A(0)); }},
      {"drop", kAnalog, 0, [](SimBoard& s) { return s.Drop(A(0)); }},
      {"reject", kAnalog, 1, [](SimBoard& s) { return s.Reject(A(1), 3); }},
  };
  for (const FarRequest& r : requests) {
    SCOPED_TRACE(r.name);
    const uint32_t before = changes().ChangeCount(r.type, r.number);
    const uint32_t other = changes().ChangeCount(kE1, 0);
    ASSERT_EQ(r.request(b()), "");
    EXPECT_NE(changes().ChangeCount(r.type, r.number), before);
    EXPECT_EQ(changes().ChangeCount(kE1, 0), other);
  }
  // A refused request changes nothing.
  const uint32_t idle = changes().ChangeCount(kE1, 7);
  EXPECT_NE(b().Hangup(E(7)), "");
  EXPECT_NE(b().Unblock(E(7)), "");
  EXPECT_EQ(changes().ChangeCount(kE1, 7), idle);
  // Channels the board does not have.
  EXPECT_EQ(changes().ChangeCount(kE1, 30), 0u);
  EXPECT_EQ(changes().ChangeCount(kAnalog, 2), 0u);
  EXPECT_EQ(changes().ChangeCount(2, 0), 0u);
}

TEST_F(ChannelChangesTest, KeysDueLaterMoveTheCountWhenTheClockDeliversThem) {
  ASSERT_EQ(b().Keys(E(2), "9", 0), "");
  const uint32_t seen = changes().ChangeCount(kE1, 2);
  ASSERT_EQ(b().Keys(E(2), "12", 150), "");  // "1" now, "2" after 150 ms
  const uint32_t after_first = changes().ChangeCount(kE1, 2);
  EXPECT_NE(after_first, seen);
  const auto start = Steady::now();
  changes().WaitChange(kE1, 2, after_first, 3000);
  EXPECT_NE(changes().ChangeCount(kE1, 2), after_first);
  EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(100));
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(2000));
}

TEST_F(ChannelChangesTest, WaitEndsOnAChangeANudgeOrItsTime) {
  struct Case {
    const char* name;
    std::function<void(SimBoard&)> act;  // from another thread; null: nothing
    int min_ms, max_ms;
  };
  const Case cases[] = {
      {"call", [](SimBoard& s) { EXPECT_EQ(s.Call(E(3), "139", "800"), ""); }, 0, 1500},
      {"nudge", [](SimBoard& s) { s.Nudge(kE1, 3); }, 0, 1500},
      {"time", nullptr, 250, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Make("Trunks=1\n");
    const uint32_t seen = changes().ChangeCount(kE1, 3);
    const auto start = Steady::now();
    std::future<void> act;
    if (c.act) {
      act = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.act(b());
      });
    }
    changes().WaitChange(kE1, 3, seen, c.act ? 60000 : 300);
    const auto waited = Steady::now() - start;
    if (act.valid()) act.get();
    EXPECT_GE(waited, std::chrono::milliseconds(c.min_ms));
    EXPECT_LT(waited, std::chrono::milliseconds(c.max_ms));
  }
  // A count already moved, or a channel the board does not have: no wait.
  const uint32_t seen = changes().ChangeCount(kE1, 3);
  changes().Nudge(kE1, 3);
  const auto start = Steady::now();
  changes().WaitChange(kE1, 3, seen, 60000);
  changes().WaitChange(kE1, 99, 0, 60000);
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(ChannelChangesTest, BoardWithoutTheWaitOffersNone) {
  Make("Trunks=1\nChangeWait=0\n");
  EXPECT_EQ(b().changes(), nullptr);
  EXPECT_TRUE(b().config().warnings.empty());
}

}  // namespace
}  // namespace simboard
