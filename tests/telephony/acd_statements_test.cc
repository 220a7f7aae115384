// The ACD statements in scripts on lines 3 and 4 on the fake clock: which
// group a read picks and claims, receiving, clearing and sending from the
// current message.
#include <gtest/gtest.h>

#include <string>

#include "services/interline/process_queues.h"
#include "tests/engine/values.h"
#include "tests/telephony/message_lines.h"

namespace telephony {
namespace {

using engine::Int;

class AcdStatementsTest : public LinesTest<6> {
 protected:
  AcdStatementsTest() { Empty(); }
  ~AcdStatementsTest() override { Empty(); }

  // Removes every group of the process-wide list (field 0 holds the ids).
  static void Empty() {
    for (int32_t id = 0; id < kMaxId; ++id) {
      while (services::AcdList().Clear(0, Int(id)) != 0) {
      }
    }
  }
  // Runs text and a return as line n's script: the variable r afterwards.
  int32_t Run(int32_t n, const std::string& text) {
    ScriptOnLine& line = Line(n, "r = 0\nf = 0\nt = 0\n" + text + "\nreturn(0)\n");
    EXPECT_TRUE(line.compiled()) << line.Errors();
    line.RunHere();
    EXPECT_EQ(line.script().runError, "");
    return line.Int("r");
  }
  // Files a message of one field (id) into group from line 0.
  void SendId(const std::string& group, int32_t id) {
    Run(0, "SetMsgField(0, " + std::to_string(id) + ")\nr = AcdListSend(\"" + group + "\", 1)");
  }
  // Line n reads: the id of the message read, or -1.
  int32_t ReadOn(int32_t n) {
    ScriptOnLine& line = Line(n, "r = 0\nf = -1\nr = AcdListRead()\n"
                                 "if(r > 0)\n{\nGetMsgField(0, f)\n}\nreturn(0)\n");
    EXPECT_TRUE(line.compiled()) << line.Errors();
    line.RunHere();
    return line.Int("f");
  }

  static constexpr int32_t kMaxId = 40;
};

TEST_F(AcdStatementsTest, ReadPicksTheLongestIdleFreeOrOwnGroup) {
  SendId("b", 2);
  clock_.Advance(4000);
  SendId("a", 1);
  clock_.Advance(5000);  // "a" idle 5 s, "b" 9 s
  EXPECT_EQ(ReadOn(3), 2);
  EXPECT_EQ(ReadOn(4), 1);  // "b" is line 3's now
  clock_.Advance(1000);
  EXPECT_EQ(ReadOn(3), 2);  // its own group again; "a" is line 4's
  EXPECT_EQ(services::AcdList().Num("b"), 1);  // reading removes nothing
}

TEST_F(AcdStatementsTest, GroupActiveBeforeTheTickWrapsIsPickedAfterIt) {
  clock_.Advance(0xFFFFFFFFu - 2000 - clock_.TickCount());  // 2 s before the wrap
  SendId("old", 1);
  clock_.Advance(1000);
  SendId("new", 2);
  clock_.Advance(3000);
  ASSERT_LT(clock_.TickCount(), 2000u);
  EXPECT_EQ(ReadOn(3), 1);
  EXPECT_EQ(ReadOn(4), 2);
}

TEST_F(AcdStatementsTest, ReadRightAfterASendFindsNothing) {
  EXPECT_EQ(Run(3, "SetMsgField(0, 1)\nAcdListSend(\"only\", 1)\nr = AcdListRead()"), 0);
  clock_.Advance(1);
  EXPECT_EQ(ReadOn(3), 1);
}

TEST_F(AcdStatementsTest, ReceivingTheLastMessageDeletesTheGroup) {
  SendId("g", 7);
  SendId("g", 8);
  EXPECT_EQ(Run(3, "r = AcdListRecv(0, 7)"), 1);
  EXPECT_EQ(Run(3, "r = AcdListNum(\"g\")"), 1);
  EXPECT_EQ(Run(3, "r = AcdListRecv(0, 7)"), 0);
  EXPECT_EQ(Run(4, "r = AcdListRecv(0, 8)\nGetMsgField(0, f)\nr = r * 100 + f;"), 108);
  EXPECT_EQ(Run(3, "r = AcdListNum(\"g\")"), 0);
  EXPECT_EQ(Run(3, "r = AcdListNum(\"never\")"), 0);
}

TEST_F(AcdStatementsTest, ClearAndWriteActOnTheFirstGroupWithAMatch) {
  SendId("a", 5);
  SendId("c", 5);
  SendId("c", 6);
  EXPECT_EQ(Run(3, "r = AcdListClear(0, 5)"), 1);
  EXPECT_EQ(services::AcdList().Num("a"), 0);
  EXPECT_EQ(services::AcdList().Num("c"), 2);
  EXPECT_EQ(Run(3, "r = AcdListClear(0, 9)"), 0);
  EXPECT_EQ(Run(3, "r = AcdListWrite(-1, 0, 0, 9)"), 1);  // the first message
  EXPECT_EQ(Run(3, "r = AcdListWrite(0, 6, 0, 9)"), 1);
  EXPECT_EQ(Run(3, "r = AcdListWrite(0, 7, 0, 1)"), 0);
  EXPECT_EQ(Run(3, "r = AcdListClear(0, 9)"), 1);
  EXPECT_EQ(services::AcdList().Num("c"), 0);
}

TEST_F(AcdStatementsTest, SendTakesTheCurrentMessageWithClampedCount) {
  // The current message takes sender 2 and type "kind" from a queue.
  services::TagMsgFields typed;
  typed.sender = 2;
  typed.type.SetString("kind");
  services::ProcessQueue(9).Clear();
  services::ProcessQueue(9).Send(typed);
  std::string fill = "RecvMsg(-1, 9, r, t, f, r, r)\n";
  for (int i = 0; i < 20; ++i) {
    fill += "SetMsgField(" + std::to_string(i) + ", " + std::to_string(i + 10) + ")\n";
  }
  EXPECT_EQ(Run(3, fill + "r = AcdListSend(\"s\", 30)"), 1);
  services::TagMsgFields got;
  ASSERT_EQ(services::AcdList().Recv(0, 19, Int(29), got), 1);
  EXPECT_EQ(got.count, 20);
  EXPECT_EQ(got.sender, 2);
  EXPECT_EQ(got.type.ToText(), "kind");
}

TEST_F(AcdStatementsTest, AMessageOfNoFieldsIsCopiedButCountsZero) {
  // No statement can take a message without fields out of its group: the
  // group stays, claimed by line 5, which no other test reads on.
  services::ProcessQueue(9).Clear();
  Run(0, "SendMsg(-1, 9, \"empty\", 0)\nr = AcdListSend(\"z\", 0)");
  services::ProcessQueue(9).Clear();
  clock_.Advance(10);
  EXPECT_EQ(Run(5, "SendMsg(-1, 9, \"before\", 0)\nr = AcdListRead()"), 0);
  services::ProcessQueue(9).Clear();
  auto* store = static_cast<services::LineMessages*>(
      lines_[5]->script().store(engine::StoreSlot::kMessages));
  EXPECT_EQ(store->current().type.ToText(), "empty");
  EXPECT_EQ(services::AcdList().Num("z"), 1);
}

}  // namespace
}  // namespace telephony
