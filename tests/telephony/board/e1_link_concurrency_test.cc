// One line keeps playing on its own thread while another line links and
// unlinks it, stopping its play from the linking thread each time: the
// call's media lock keeps the two threads apart (ThreadSanitizer checks),
// and neither thread waits on the other for long.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/telephony/board/e1_lines_fixture.h"

namespace telephony {
namespace {

TEST(E1LinkConcurrencyTest, LinkingStopsAPlayRunningOnItsOwnThread) {
  E1Lines lines("Conference=newer\n", "", {3, 7});
  testing_support::WriteFile(lines.File("voice.raw"), std::string(16000, '\x55'));
  const simboard::Address e7{simboard::Address::Kind::kE1, 7};
  ASSERT_EQ(lines.board().Call(e7, "13900000000", "8001"), "");
  ASSERT_EQ(lines[7].WaitRing(1), 0);

  std::atomic<bool> done{false};
  std::atomic<int> plays{0};
  std::thread player([&] {
    while (!done) {
      lines[7].Play(lines.File("voice.raw"), 0, 0);
      ++plays;
    }
  });
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 4; ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(lines[3].LinkTo(7, 0), 0);
    EXPECT_EQ(lines[3].UnlinkTo(7, 0), 0);
  }
  done = true;
  player.join();
  EXPECT_GE(plays.load(), 4);  // each link cut the running play short
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
