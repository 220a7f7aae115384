// Thirty E1 lines wait in WaitRing on their own threads, asleep until their
// circuits change, while far-end threads offer calls, block and unblock
// circuits and another thread stops lines: every offered call is answered
// (charge, then answer), every stopped line ends within a second, and the
// pump timer runs beside them (ThreadSanitizer checks the waits, the
// nudges and the timer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/telephony/board/e1_lines_fixture.h"

namespace telephony {
namespace {

using Steady = std::chrono::steady_clock;
constexpr int32_t kLines = 30;

simboard::Address E(int32_t ch) { return simboard::Address{simboard::Address::Kind::kE1, ch}; }

std::vector<int32_t> AllChannels() {
  std::vector<int32_t> channels;
  for (int32_t ch = 0; ch < kLines; ++ch) channels.push_back(ch);
  return channels;
}

TEST(IdleWaitConcurrencyTest, CallsBlocksAndStopsReachSleepingLines) {
  E1Lines lines("Journal=0\n", "", AllChannels());
  ASSERT_NE(lines.drive().changes(), nullptr);
  std::vector<std::future<int32_t>> rings;
  for (int32_t ch = 0; ch < kLines; ++ch) {
    rings.push_back(std::async(std::launch::async, [&lines, ch] { return lines[ch].WaitRing(1); }));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  // Even channels get calls from two far-end threads; odd ones are blocked
  // and unblocked meanwhile, then stopped from a third thread.
  std::vector<std::thread> far;
  for (int32_t first : {0, 2}) {
    far.emplace_back([&lines, first] {
      for (int32_t ch = first; ch < kLines; ch += 4) {
        EXPECT_EQ(lines.board().Call(E(ch), "139", "800"), "") << ch;
      }
    });
  }
  far.emplace_back([&lines] {
    for (int32_t ch = 1; ch < kLines; ch += 2) {
      EXPECT_EQ(lines.board().Block(E(ch)), "") << ch;
      EXPECT_EQ(lines.board().Unblock(E(ch)), "") << ch;
    }
  });
  for (std::thread& t : far) t.join();
  for (int32_t ch = 0; ch < kLines; ch += 2) {
    ASSERT_EQ(rings[static_cast<size_t>(ch)].wait_for(std::chrono::seconds(2)),
              std::future_status::ready)
        << ch;
    EXPECT_EQ(lines[ch].callState.load(), engine::kCallConnected) << ch;
    EXPECT_EQ(lines.State(ch, "state"), "9") << ch;
  }

  const auto stopped = Steady::now();
  std::thread stopper([&lines] {
    for (int32_t ch = 1; ch < kLines; ch += 2) lines[ch].RaiseStop();
  });
  stopper.join();
  for (int32_t ch = 1; ch < kLines; ch += 2) {
    ASSERT_EQ(rings[static_cast<size_t>(ch)].wait_for(std::chrono::seconds(5)),
              std::future_status::ready)
        << ch;
    EXPECT_EQ(rings[static_cast<size_t>(ch)].get(), 0);
    EXPECT_NE(lines[ch].callState.load(), engine::kCallConnected) << ch;
  }
  EXPECT_LT(Steady::now() - stopped, std::chrono::milliseconds(1000));
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
