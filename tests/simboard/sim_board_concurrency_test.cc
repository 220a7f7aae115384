// Several line threads call the simulated board under the drive's board
// lock while its media clock runs and the far end acts from another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "simboard/sim_board.h"
#include "tests/simboard/sim_board_fixture.h"

namespace simboard {
namespace {

TEST_F(SimBoardTest, LineThreadsClockAndFarEndTogether) {
  Make("Trunks=1\nAnalogPorts=0,1\nConfGroups=4\nDtmfDigitMs=1\nStrict=1");
  Write("p.raw", std::string(1600, 'p'));
  board::BoardLock lock;
  b().WatchLock(&lock);
  ASSERT_EQ(b().OpenBoard("", "prompt.ini"), 0);
  b().TupOpen();

  constexpr int kLines = 4;
  constexpr int kRounds = 40;
  std::atomic<bool> stop{false};
  std::atomic<int> refused_files{0};
  std::thread far_end([&] {
    for (int i = 0; !stop.load(); ++i) {
      Address line = E(i % kLines);
      b().Call(line, "139", "800");
      b().Keys(line, "12", 1);
      // Far-end files while the media thread moves their bytes.
      Address captured = E((i + 1) % kLines);
      int refused = !b().Inject(line, "p.raw").empty();
      refused += !b().CaptureStart(captured, "c" + std::to_string(i % 3) + ".raw").empty();
      if (i % 2 == 0) refused += !b().CaptureStop(captured).empty();
      refused_files += refused;
      b().Hangup(line);
      std::string fields;
      b().State(line, fields);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::vector<std::thread> lines;
  for (int ch = 0; ch < kLines; ++ch) {
    lines.emplace_back([&, ch] {
      for (int round = 0; round < kRounds; ++round) {
        {
          std::lock_guard<board::BoardLock> hold(lock);
          b().TupCircuitState(0, static_cast<uint8_t>(ch));
          b().ChannelPlay(ch, Path("p.raw"), 0, -1);
          b().ChannelRecord(ch, Path("r" + std::to_string(ch)), 0, 320);
          b().SendDtmf(ch, "5");
          b().ConfJoin(ch % 4, 0, ch, 2, 0, 0, 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        {
          std::lock_guard<board::BoardLock> hold(lock);
          b().ChannelKey(ch);
          int32_t id = b().ChannelPlayId(ch);
          b().IsVoiceEnded(id);
          b().LinkTrunkAndTrunk(ch, (ch + 1) % kLines);
          b().ClearLinkTrunkAndTrunk(ch);
          b().ConfExit(0, ch, 0);
          b().StopFilePlay(ch);
          b().FreeVoice(id);
          b().StopChannelRecord(ch);
          b().IsDtmfSent(ch);
          b().TupRelease(0, static_cast<uint8_t>(ch), 1);
        }
      }
    });
  }
  for (std::thread& t : lines) t.join();
  stop = true;
  far_end.join();
  EXPECT_TRUE(b().Violations().empty()) << testing::PrintToString(b().Violations());
  EXPECT_GT(b().Journal().size(), static_cast<size_t>(kLines * kRounds * 10));
  EXPECT_EQ(refused_files.load(), 0);
  b().WatchLock(nullptr);
}

// The media clock rests whenever the board has nothing to clock; lines
// that start a play or a recording of one tick just as it goes to rest
// still get each to its end (no wake is lost).
TEST_F(SimBoardTest, ClockRestsAndWakesUnderManyLines) {
  Make("Trunks=1\nAnalogPorts=0");
  Write("p.raw", std::string(160, 'p'));  // one tick of play
  constexpr int kLines = 6;
  constexpr int kRounds = 30;
  std::atomic<int> lost{0};
  std::vector<std::thread> lines;
  for (int ch = 0; ch < kLines; ++ch) {
    lines.emplace_back([&, ch] {
      const std::string recorded = Path("r" + std::to_string(ch) + ".raw");
      for (int round = 0; round < kRounds; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds((round * 7 + ch * 3) % 45));
        const bool play = round % 2 == 0;
        const int32_t id = play ? b().ChannelPlay(ch, Path("p.raw"), 0, -1)
                                : b().ChannelRecord(ch, recorded, 0, 160);
        if (id <= 0 || !WaitUntil([&] { return b().IsVoiceEnded(id) != 0; })) ++lost;
        if (play) b().FreeVoice(id);
        if (!play) b().StopChannelRecord(ch);
      }
    });
  }
  for (std::thread& t : lines) t.join();
  EXPECT_EQ(lost.load(), 0);
}

// Threads that take the board lock at once, some of them again inside
// their hold, never overlap and each sees the lock as its own only while it
// holds it.
TEST(BoardLockConcurrencyTest, ContendersTakeTurns) {
  board::BoardLock lock;
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  int inside = 0;      // guarded by lock
  int64_t total = 0;   // guarded by lock
  std::atomic<int> overlaps{0};
  std::atomic<int> wrong_holder{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        std::lock_guard<board::BoardLock> hold(lock);
        if (++inside != 1) ++overlaps;
        if (!lock.HeldByCurrentThread()) ++wrong_holder;
        if ((round + t) % 3 == 0) {
          std::lock_guard<board::BoardLock> again(lock);
          ++total;
        }
        ++total;
        --inside;
      }
      if (lock.HeldByCurrentThread()) ++wrong_holder;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(wrong_holder.load(), 0);
  int64_t nested = 0;
  for (int t = 0; t < kThreads; ++t) {
    for (int round = 0; round < kRounds; ++round) nested += (round + t) % 3 == 0;
  }
  std::lock_guard<board::BoardLock> hold(lock);
  EXPECT_EQ(total, int64_t{kThreads} * kRounds + nested);
}

}  // namespace
}  // namespace simboard
