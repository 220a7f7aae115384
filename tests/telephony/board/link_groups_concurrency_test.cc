// Two E1 lines link, listen to and unlink two phone ports from their own
// threads in conference groups while the ports leave and one of them plays:
// members move between owners, owners stop each other's media, and in the
// end every group is free again (ThreadSanitizer checks the locking).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/telephony/analog_lines_fixture.h"

namespace telephony {
namespace {

constexpr int32_t kE1b = 7;
constexpr int kRounds = 60;

TEST(LinkGroupsConcurrencyTest, LinesLinkingEachOtherLeaveEveryGroupFree) {
  // The E1 lines own groups and take the phone ports from each other; the
  // ports leave and play on their own threads. (A line that owns a group is
  // never linked here: the board would move it out of its own group.)
  platform::FakeClock clock;
  platform::ScopedClock use(&clock);
  AnalogLines lines("Conference=newer\n", {kE1b});
  testing_support::WriteFile(lines.File("voice.raw"), std::string(4000, '\x55'));
  const std::array<int32_t, 2> owners = {AnalogLines::kE1, kE1b};
  const std::array<int32_t, 2> ports = {AnalogLines::kPhone, AnalogLines::kPhone2};
  std::vector<std::thread> threads;
  for (size_t self = 0; self < owners.size(); ++self) {
    threads.emplace_back([&, self] {
      TagDjBaseCall& line = lines[owners[self]];
      for (int round = 0; round < kRounds; ++round) {
        const int32_t port = ports[(self + static_cast<size_t>(round)) % ports.size()];
        switch (round % 4) {
          case 0: line.LinkTo(port, round); break;
          case 1: line.ListenTo(port, round); break;
          case 2: line.UnlinkTo(port, 0); break;
          default: line.UnlinkAll(); break;
        }
      }
      line.UnlinkAll();
    });
  }
  for (size_t self = 0; self < ports.size(); ++self) {
    threads.emplace_back([&, self] {
      TagDjBaseCall& line = lines[ports[self]];
      for (int round = 0; round < kRounds; ++round) {
        if (self == 0) line.Play(lines.File("voice.raw"), 0, 0);
        line.UnlinkAll();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  // A phone port cannot ask its owner to let it go: the owners' pass frees
  // what is left.
  for (int32_t id : owners) EXPECT_EQ(lines[id].UnlinkAll(), 0);
  for (int32_t id : {owners[0], owners[1], ports[0], ports[1]}) {
    EXPECT_EQ(lines[id].confLine().groupId.load(), -1) << id;
    EXPECT_TRUE(lines[id].confLine().members.empty()) << id;
  }
  for (const char* addr : {"E3", "E7", "A0", "A3"}) {
    EXPECT_EQ(lines.State(addr, "group"), "-1") << addr;
  }
  for (size_t g = 0; g < lines.drive().confBusy.size(); ++g) {
    EXPECT_EQ(lines.drive().confBusy[g], 0) << g;
  }
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

}  // namespace
}  // namespace telephony
