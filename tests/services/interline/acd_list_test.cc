// The ACD list on its own: name order, which group a read picks across the
// tick's wrap, and a send that comes while a read takes its tick.
#include "services/interline/acd_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "platform/clock.h"
#include "tests/engine/values.h"

namespace services {
namespace {

using engine::Int;

// Files a message whose field 0 is id into group.
int32_t SendId(TagAcdList& list, const std::string& group, int32_t id) {
  TagMsgFields m;
  m.SetField(0, Int(id));
  m.SetCount(1);
  return list.Send(group, m);
}

// The field 0 of the message line reads, -1 when none.
int32_t ReadId(TagAcdList& list, int32_t line) {
  TagMsgFields m;
  return list.Read(line, m) != 0 ? m.fields[0].GetInt() : -1;
}

TEST(AcdListTest, GroupsGoInByteOrder) {
  platform::FakeClock clock(1000);
  platform::ScopedClock scoped(&clock);
  TagAcdList list;
  // Sent newest first; all idle alike, so the first in name order wins.
  const std::string names[] = {"\xb0\xa1", "b", "B", "a"};
  int32_t id = 0;
  for (const std::string& n : names) SendId(list, n, ++id);
  clock.Advance(10);
  const int32_t want[] = {3, 4, 2, 1};  // "B" < "a" < "b" < 0xb0
  for (int32_t line = 0; line < 4; ++line) EXPECT_EQ(ReadId(list, line), want[line]) << line;
  EXPECT_EQ(ReadId(list, 9), -1);  // all claimed
  EXPECT_EQ(list.Num("zz"), 0);
  EXPECT_EQ(list.Write(0, Int(1), 0, Int(7)), 1);  // the group of id 1 only
  EXPECT_EQ(list.Write(0, Int(1), 0, Int(8)), 0);
}

TEST(AcdListTest, LongestIdleGroupIsPickedAcrossTheWrap) {
  // Two seconds before the 32-bit tick wraps.
  platform::FakeClock clock(0xFFFFFFFFu - 2000);
  platform::ScopedClock scoped(&clock);
  TagAcdList list;
  SendId(list, "old", 1);
  clock.Advance(1000);
  SendId(list, "new", 2);
  clock.Advance(3000);  // past the wrap: "old" idle 4 s, "new" 3 s
  EXPECT_EQ(ReadId(list, 0), 1);
  EXPECT_EQ(ReadId(list, 1), 2);
}

// A clock whose tick, once armed, starts a send on another thread and
// gives it time to run before the tick is handed out.
class SendingClock : public platform::FakeClock {
 public:
  using FakeClock::FakeClock;
  uint32_t TickCount() override {
    if (armed.exchange(false)) {
      send = std::async(std::launch::async, [this] { return SendId(*list, "a-new", 2); });
      sent_during_tick = send.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready;
      Advance(1);
    }
    return FakeClock::TickCount();
  }
  std::atomic<bool> armed{false};
  TagAcdList* list = nullptr;
  std::future<int32_t> send;
  bool sent_during_tick = false;
};

TEST(AcdListTest, SendWaitsWhileAReadTakesItsTick) {
  SendingClock clock(5000);
  platform::ScopedClock scoped(&clock);
  TagAcdList list;
  clock.list = &list;
  SendId(list, "b-old", 1);
  clock.Advance(5000);
  clock.armed = true;
  EXPECT_EQ(ReadId(list, 3), 1);  // the older group, not the one sent meanwhile
  EXPECT_FALSE(clock.sent_during_tick);
  EXPECT_EQ(clock.send.get(), 1);
  EXPECT_EQ(list.Num("a-new"), 1);
}

TEST(AcdListTest, RecvAndClearTakeTheFirstGroupWithAMatch) {
  platform::FakeClock clock(1000);
  platform::ScopedClock scoped(&clock);
  TagAcdList list;
  SendId(list, "a", 1);
  SendId(list, "b", 1);
  SendId(list, "b", 2);
  TagMsgFields m;
  EXPECT_EQ(list.Recv(4, 0, Int(1), m), 1);  // from "a", which goes
  EXPECT_EQ(list.Num("a"), 0);
  EXPECT_EQ(list.Num("b"), 2);
  EXPECT_EQ(list.Recv(4, 0, Int(9), m), 0);
  EXPECT_EQ(list.Clear(0, Int(1)), 1);
  EXPECT_EQ(list.Num("b"), 1);
  EXPECT_EQ(list.Clear(0, Int(1)), 0);
  // Recv hands the group to the receiver: another line's read skips it.
  SendId(list, "b", 3);
  EXPECT_EQ(list.Recv(4, 0, Int(3), m), 1);
  clock.Advance(1000);
  EXPECT_EQ(ReadId(list, 5), -1);
  EXPECT_EQ(ReadId(list, 4), 2);
}

}  // namespace
}  // namespace services
