// Lines taking fax resources at the same time: taking a free resource and
// attaching it are one step, so as many lines as there are resources always
// get one, and never the same one.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "telephony/board/dj_tup_drive.h"
#include "tests/telephony/board_drive_fixture.h"

namespace telephony {
namespace {

TEST(BoardDriveConcurrencyTest, EveryLineGetsItsOwnFaxResource) {
  constexpr int kLines = 4;
  constexpr int kRounds = 200;
  BoardFolder folder("FaxResources=4\nStrict=1\nJournal=0\n");
  TagDjTupDrive drive(folder.board());
  std::array<std::atomic<int>, kLines> holder{};
  for (auto& h : holder) h = -1;
  std::atomic<int> failures{0}, shared{0};
  std::vector<std::thread> lines;
  for (int line = 0; line < kLines; ++line) {
    lines.emplace_back([&, line] {
      for (int round = 0; round < kRounds; ++round) {
        int32_t fax = drive.AcquireFax(line);
        if (fax < 0 || fax >= kLines) {
          ++failures;
          continue;
        }
        int expected = -1;
        if (!holder[fax].compare_exchange_strong(expected, line)) ++shared;
        holder[fax] = -1;
        drive.ReleaseFax(fax, line);
      }
    });
  }
  for (std::thread& t : lines) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(shared.load(), 0);
  EXPECT_EQ(folder.board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
