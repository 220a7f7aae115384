// An E1 line idle in WaitRing, on a board that offers the wait for its
// channel's changes and on one without it (the line then polls every
// 180 ms): an offered call is answered with the charge and then the answer
// message, a block by the far end is seen, a stop ends the wait within a
// second; the waiting line looks at its circuit only when it changes,
// while the board is still pumped every 200 ms.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

using Steady = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  const auto end = Steady::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Steady::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct Mode {
  const char* name;
  const char* sim_ini;
  bool waits_for_changes;
};

void PrintTo(const Mode& mode, std::ostream* os) { *os << mode.name; }

class IdleWaitTest : public ::testing::TestWithParam<Mode> {
 protected:
  IdleWaitTest() : line_(GetParam().sim_ini) {}
  ~IdleWaitTest() override {
    line_.call().RaiseStop();
    if (ring_.valid()) ring_.wait();
  }

  // Starts WaitRing on its own thread and lets it settle into its wait.
  void StartWaiting() {
    ring_ = std::async(std::launch::async, [this] { return line_.call().WaitRing(1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(ring_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  }
  size_t Journaled(const std::string& ordinal, const std::string& args) {
    size_t n = 0;
    for (const simboard::JournalEntry& e : line_.folder().board().Journal()) {
      if (e.Ordinal() == ordinal && (args.empty() || e.args == args)) ++n;
    }
    return n;
  }

  TupLine line_;
  std::future<int32_t> ring_;
};

TEST_P(IdleWaitTest, OfferedCallIsChargedThenAnswered) {
  ASSERT_EQ(line_.drive().changes() != nullptr, GetParam().waits_for_changes);
  StartWaiting();
  const auto offered = Steady::now();
  ASSERT_EQ(line_.far().Call("E3", "13900000000", "8001"), "OK");
  const auto answer = line_.far().Wait("ANSWER", "E3", 2000);
  const auto answered = Steady::now();
  ASSERT_TRUE(answer.has_value());
  const auto charge = line_.far().Wait("CHARGE", "E3", 0);
  EXPECT_EQ(EventArgs(charge), "37");
  EXPECT_EQ(EventArgs(answer), "1");
  EXPECT_LT(EventSeq(charge), EventSeq(answer));
  // At the latest one poll after the offer (with room for a loaded machine).
  EXPECT_LT(answered - offered, std::chrono::milliseconds(1000));
  ASSERT_EQ(ring_.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(ring_.get(), 0);
  EXPECT_EQ(line_.call().callState.load(), engine::kCallConnected);
  EXPECT_EQ(line_.call().callingNo, "13900000000");
  EXPECT_EQ(line_.State("state"), "9");
  EXPECT_EQ(line_.folder().board().Violations(), std::vector<std::string>());
}

TEST_P(IdleWaitTest, BlockAndUnblockAreSeenWhileWaiting) {
  StartWaiting();
  ASSERT_EQ(line_.far().Block("E3"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return line_.call().blocked.load() == 1; }, 1000));
  ASSERT_EQ(line_.far().Unblock("E3"), "OK");
  EXPECT_TRUE(WaitUntil([&] { return line_.call().blocked.load() == 0; }, 1000));
  // Still waiting, and a call after the block is answered.
  ASSERT_EQ(ring_.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
  ASSERT_EQ(line_.far().Call("E3", "139", "8001"), "OK");
  ASSERT_EQ(ring_.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(line_.call().callState.load(), engine::kCallConnected);
}

TEST_P(IdleWaitTest, StopEndsTheWaitWithinASecond) {
  StartWaiting();
  const auto stopped = Steady::now();
  line_.call().RaiseStop();
  ASSERT_EQ(ring_.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(Steady::now() - stopped, std::chrono::milliseconds(1000));
  EXPECT_EQ(ring_.get(), 0);
  EXPECT_NE(line_.call().callState.load(), engine::kCallConnected);
}

TEST_P(IdleWaitTest, LooksAtTheCircuitOnlyOnChangesWhileTheBoardIsPumped) {
  StartWaiting();
  if (GetParam().waits_for_changes) {
    // On a loaded machine the line may still be in its first looks: start
    // the stretch once it has gone quiet.
    ASSERT_TRUE(WaitUntil([&] {
      line_.folder().board().ClearJournal();
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      return Journaled("tup:1", "0, 3") == 0;
    }, 3000));
  }
  line_.folder().board().ClearJournal();
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const size_t reads = Journaled("tup:1", "0, 3");
  const size_t pumps = Journaled("e1:3", "");
  if (GetParam().waits_for_changes) {
    EXPECT_LE(reads, 1u);  // a safety look may fall in the stretch
    EXPECT_GE(line_.drive().TimerPumps(), 3u);
  } else {
    EXPECT_GE(reads, 4u);
    EXPECT_EQ(line_.drive().TimerPumps(), 0u);
  }
  // The polling line pumps on every other 180 ms poll, the timer every
  // 201 ms; never more often than every 200 ms.
  EXPECT_GE(pumps, GetParam().waits_for_changes ? 3u : 2u);
  EXPECT_LE(pumps, 7u);
  // A far-end request makes the line look at once.
  ASSERT_EQ(line_.far().Keys("E3", "5", 0), "OK");
  EXPECT_TRUE(WaitUntil([&] { return Journaled("tup:1", "0, 3") > reads; }, 1000));
  EXPECT_EQ(line_.folder().board().Violations(), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(Boards, IdleWaitTest,
                         ::testing::Values(Mode{"EventWait", "", true},
                                           Mode{"PollKept", "ChangeWait=0\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telephony
