// Links between E1 lines: conference groups owned by the linking line, and
// time-slot switching when the board's groups are off.
#include <gtest/gtest.h>

#include <vector>

#include "tests/telephony/board/e1_lines_fixture.h"

namespace telephony {
namespace {

using Ints = std::vector<int32_t>;

TEST(E1LinkTest, LinkingLineOwnsAGroupOfItsMembers) {
  E1Lines lines("Conference=newer\n", "", {3, 7, 9});
  EXPECT_EQ(lines[3].LinkTo(7, 0), 0);
  EXPECT_EQ(lines[3].ListenTo(9, 1), 0);
  Ints members, listen, values;
  const int32_t group = lines[3].GetLinkList(members, listen, values);
  ASSERT_GE(group, 0);
  EXPECT_EQ(members, (Ints{3, 7, 9}));
  EXPECT_EQ(listen, (Ints{0, 0, 1}));
  EXPECT_EQ(values, (Ints{1, 0, 1}));
  EXPECT_EQ(lines[7].confLine().groupId.load(), group);
  EXPECT_EQ(lines[7].confLine().groupOwner.load(), 3);
  EXPECT_EQ(lines.State(9, "group"), std::to_string(group));
  EXPECT_EQ(lines[3].LinkTo(7, 0), 7);  // already a member

  EXPECT_EQ(lines[3].UnlinkTo(7, 0), 0);
  EXPECT_EQ(lines[7].confLine().groupId.load(), -1);
  EXPECT_EQ(lines.drive().confBusy[group], 1);
  EXPECT_EQ(lines[3].UnlinkTo(9, 0), 0);  // the last member: the group is freed
  EXPECT_EQ(lines.drive().confBusy[group], 0);
  EXPECT_EQ(lines[3].confLine().groupId.load(), -1);
  EXPECT_EQ(lines.State(3, "group"), "-1");
  EXPECT_EQ(lines[3].UnlinkTo(9, 0), -2);
  EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
}

TEST(E1LinkTest, MemberLeavesThroughItsOwner) {
  E1Lines lines("Conference=older\nConfGroups=32\n", "", {3, 7});
  ASSERT_EQ(lines[3].LinkTo(7, 0), 0);
  EXPECT_EQ(lines[7].UnlinkAll(), 0);  // asks line 3 to unlink it
  EXPECT_EQ(lines[7].confLine().groupId.load(), -1);
  EXPECT_EQ(lines[3].confLine().groupId.load(), -1);  // only line 3 was left
  EXPECT_EQ(lines.State(7, "group"), "-1");
  EXPECT_EQ(lines.State(3, "group"), "-1");
}

TEST(E1LinkTest, LinkingAnotherOwnersMemberMovesItWithTheBooks) {
  // Line 9 sits in line 5's group (with 7); line 3 links it: 9 ends in line
  // 3's group only, and line 5's later unlinks never touch it.
  for (const char* sim : {"Conference=newer\n", "Conference=older\nConfGroups=32\n"}) {
    SCOPED_TRACE(sim);
    E1Lines lines(sim, "", {3, 5, 7, 9});
    ASSERT_EQ(lines[5].LinkTo(7, 0), 0);
    ASSERT_EQ(lines[5].LinkTo(9, 2), 0);
    ASSERT_EQ(lines[3].LinkTo(9, 4), 0);
    Ints members, listen, values;
    const int32_t group3 = lines[3].GetLinkList(members, listen, values);
    ASSERT_GE(group3, 0);
    EXPECT_EQ(members, (Ints{3, 9}));
    EXPECT_EQ(values, (Ints{1, 4}));
    const int32_t group5 = lines[5].GetLinkList(members, listen, values);
    EXPECT_EQ(members, (Ints{5, 7}));
    EXPECT_NE(group5, group3);
    EXPECT_EQ(lines.State(9, "group"), std::to_string(group3));
    EXPECT_EQ(lines[9].confLine().groupId.load(), group3);
    EXPECT_EQ(lines[9].confLine().groupOwner.load(), 3);

    EXPECT_EQ(lines[5].UnlinkTo(9, 0), -2);  // no longer line 5's member
    EXPECT_EQ(lines.State(9, "group"), std::to_string(group3));
    EXPECT_EQ(lines[5].UnlinkAll(), 0);
    EXPECT_EQ(lines[9].confLine().groupId.load(), group3);
    EXPECT_EQ(lines[9].UnlinkAll(), 0);  // leaves through line 3
    for (int32_t ch : {3, 5, 7, 9}) {
      EXPECT_EQ(lines[ch].confLine().groupId.load(), -1) << ch;
      EXPECT_EQ(lines.State(ch, "group"), "-1") << ch;
    }
    for (size_t g = 0; g < lines.drive().confBusy.size(); ++g) {
      EXPECT_EQ(lines.drive().confBusy[g], 0) << g;
    }
    EXPECT_EQ(lines.board().Violations(), std::vector<std::string>());
  }
}

TEST(E1LinkTest, WithoutGroupsTwoTimeSlotsAreSwitched) {
  E1Lines lines("", "CONF=no\n", {3, 7, 9});
  EXPECT_EQ(lines[3].ListenTo(7, 0), -2);
  EXPECT_EQ(lines[3].LinkTo(30, 0), -1);
  EXPECT_EQ(lines[3].LinkTo(7, 0), 0);
  EXPECT_EQ(lines.State(3, "switched"), "E7");
  EXPECT_EQ(lines.State(7, "switched"), "E3");
  EXPECT_EQ(lines[3].LinkTo(9, 0), -2);  // one pair at a time
  Ints members, listen, values;
  EXPECT_EQ(lines[3].GetLinkList(members, listen, values), -1);
  EXPECT_EQ(members, (Ints{7, 3}));
  EXPECT_EQ(lines[3].UnlinkTo(7, 0), 0);
  EXPECT_EQ(lines.State(3, "switched"), "-");
  EXPECT_EQ(lines[3].UnlinkTo(7, 0), -2);
}

TEST(E1LinkTest, LinkingStopsTheOtherLinesPlay) {
  E1Lines lines("Conference=newer\n", "", {3, 7});
  std::string voice(40000, '\x55');
  testing_support::WriteFile(lines.File("long.raw"), voice);
  ASSERT_EQ(lines[7].StartLoopPlay(lines.File("long.raw"), 0), 0);
  EXPECT_TRUE(lines[7].IsPlayingOrRecording());
  EXPECT_EQ(lines[3].LinkTo(7, 0), 0);
  EXPECT_FALSE(lines[7].IsPlayingOrRecording());
  EXPECT_EQ(lines.State(7, "playing"), "0");
}

}  // namespace
}  // namespace telephony
