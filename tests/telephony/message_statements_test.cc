// The message statements in scripts on lines: addressing, sending and
// receiving between lines and through the process-wide queues, and the
// current message.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/telephony/message_lines.h"

namespace telephony {
namespace {

// The variables the scripts below use.
const std::string kPrelude = "r = 0\ns = 0\nt = 0\nf = 0\nc = 0\ngot = 5\ntxt = \"keep\"\nv = 5\n";

class MessageStatementsTest : public MessageLinesTest {
 protected:
  // Compiles text (behind the prelude, ended by a return) as line n's script.
  ScriptOnLine& Compile(int32_t n, const std::string& text) {
    ScriptOnLine& line = Line(n, kPrelude + text + "return(0)\n");
    EXPECT_TRUE(line.compiled()) << line.Errors();
    return line;
  }
  // Compiles and runs it.
  ScriptOnLine& Run(int32_t n, const std::string& text) { return RunScript(Compile(n, text)); }
  static ScriptOnLine& RunScript(ScriptOnLine& line) {
    line.RunHere();
    EXPECT_EQ(line.script().runError, "");
    return line;
  }
};

TEST_F(MessageStatementsTest, AddressingChecksInOrder) {
  Line(1, "x = 1\nUnknownWord(\n");  // does not compile
  ASSERT_NE(lines_[1]->script().initResult, 0);
  Line(2, "return(0)\n");
  Unplug(2);  // a line without a script
  struct Case {
    std::string statement;
    int32_t result;
  };
  const Case cases[] = {
      {"SendMsg(0, 64, \"t\", 1)", -1},   // the reply queue is not reachable
      {"SendMsg(9, 70, \"t\", 1)", -1},   // the queue is checked first
      {"SendMsg(3, 0, \"t\", 1)", -2},    // line = line count
      {"SendMsg(1, 0, \"t\", 1)", -3},    // failed compile
      {"SendMsg(2, 0, \"t\", 1)", -3},    // no script
      {"SendMsg(-1, 3, \"t\", 1)", 1},    // process-wide queue 3
      {"SendMsg(-7, 3, \"t\", 1)", 2},
      {"ClearMsg(3, 0)", -2},
      {"GetMsgNum(-1, 3, c)", 2},
      {"SetMsgOrderBy(0, 70, 0, 0)", -1},
  };
  for (const Case& c : cases) {
    ScriptOnLine& line = Run(0, "r = " + c.statement + "\n");
    EXPECT_EQ(line.Int("r"), c.result) << c.statement;
  }
  EXPECT_EQ(services::ProcessQueue(3).GetMsgNum(), 2);
}

TEST_F(MessageStatementsTest, FieldCountsAreClampedWhenSent) {
  std::string fill;
  for (int i = 0; i < 20; ++i) fill += "SetMsgField(" + std::to_string(i) + ", " + std::to_string(i + 100) + ")\n";
  ScriptOnLine& line = Run(0, fill +
                                  "SendMsg(0, 1, \"many\", 25)\nSendMsg(0, 1, \"none\", -4)\n"
                                  "r = RecvMsg(0, 1, s, t, f, c, got)\nc1 = c\nf1 = f\n"
                                  "SetMsgField(0, 7)\n"
                                  "r = RecvMsg(0, 1, s, t, f, c, got)\n"
                                  "a = 0\nGetMsgField(19, a)\nb = 0\nGetMsgField(0, b)\n");
  EXPECT_EQ(line.Int("c1"), 20);
  EXPECT_EQ(line.Int("f1"), 100);
  EXPECT_EQ(line.Int("c"), 0);
  EXPECT_EQ(line.Text("t"), "none");
  // A message of count 0 leaves every field of the current message.
  EXPECT_EQ(line.Int("a"), 119);
  EXPECT_EQ(line.Int("b"), 7);
}

TEST_F(MessageStatementsTest, EmptyOrInvalidQueueSetsGotToZero) {
  struct Case {
    std::string statement;
    int32_t result;
  };
  const Case cases[] = {
      {"RecvMsg(0, 2, s, t, f, c, got)", 0},
      {"RecvMsg(0, 70, s, t, f, c, got)", -1},
      {"RecvMsgForType(0, 2, \"x\", s, f, c, got)", 0},
      {"RecvMsgForField(0, -1, 0, 1, s, t, f, c, got)", -1},
      {"RecvMsgFor2Field(4, 2, 0, 1, 0, 1, 1, s, t, f, c, got)", -2},
  };
  for (const Case& c : cases) {
    ScriptOnLine& line = Run(0, "r = " + c.statement + "\n");
    EXPECT_EQ(line.Int("r"), c.result) << c.statement;
    EXPECT_EQ(line.Int("got"), 0) << c.statement;
    EXPECT_EQ(line.Int("s"), 0) << c.statement;
  }
}

TEST_F(MessageStatementsTest, OutArgumentsOnlyOnSuccess) {
  ScriptOnLine& line =
      Run(0,
          "r1 = ReadMsgFor(0, 2, -1, \"none\", 0, txt)\n"
          "v = GetMsgFieldVal(20)\n"
          "r2 = SetMsgField(20, 1)\n"
          "r3 = GetMsgField(-1, c)\n"
          "r4 = GetMsgNum(0, 99, c)\n"
          "r5 = ReadMsg(0, 2, -1, 0, s, t)\n");
  EXPECT_EQ(line.Int("r1"), 0);
  EXPECT_EQ(line.Text("txt"), "keep");
  EXPECT_EQ(line.Text("v"), "NULL");
  EXPECT_EQ(line.Int("r2"), -1);
  EXPECT_EQ(line.Int("r3"), -1);
  EXPECT_EQ(line.Int("r4"), -1);
  EXPECT_EQ(line.Int("c"), 0);
  EXPECT_EQ(line.Int("r5"), 0);
}

TEST_F(MessageStatementsTest, LinesTalkThroughEachOthersQueues) {
  // Line 1's script is on its line before line 0 sends to it.
  ScriptOnLine& line = Compile(
      1,
      "n = GetMsgNumForType(1, 4, \"greet\", c)\n"
      "k = 0\nkeys = CountMsg(1, 4, -1, k)\n"
      "joined = \"\"\nm = ReadMsgFor(1, 4, -2, 0, 1, joined)\n"
      "w = WriteMsg(1, 4, -2, \"other\", -1, \"greet\")\n"
      "order = \"\"\nReadMsgFor(1, 4, -5, 0, 1, order)\n"
      "r = RecvMsgForField(1, 4, 0, \"hello\", s, t, f, c, got)\n"
      "x = GetMsgFieldVal(1)\n"
      "left = ClearMsgForType(1, 4, \"greet\")\n");
  Run(0,
      "SetMsgField(0, \"hello\")\nSetMsgField(1, 9)\nSendMsg(1, 4, \"greet\", 2)\n"
      "SetMsgField(1, 3)\nSendMsg(1, 4, \"greet\", 2)\n"
      "SetMsgField(0, \"bye\")\nSetMsgField(1, 5)\nSendMsg(1, 4, \"other\", 2)\n"
      "SetMsgOrderBy(1, 4, 1, 0)\n");
  EXPECT_EQ(QueueOf(1, 4).GetMsgNum(), 3);
  RunScript(line);
  EXPECT_EQ(QueueOf(1, 4).GetMsgNum(), 0);
  EXPECT_EQ(line.Int("n"), 2);
  EXPECT_EQ(line.Int("c"), 2);  // the count of the received message
  EXPECT_EQ(line.Int("keys"), 2);
  EXPECT_EQ(line.Int("m"), 3);
  EXPECT_EQ(line.Text("joined"), "9,3,5");
  EXPECT_EQ(line.Text("order"), "3,5,9");  // the rewrite sorted by the new key
  EXPECT_EQ(line.Int("w"), 1);
  EXPECT_EQ(line.Int("r"), 1);
  EXPECT_EQ(line.Int("s"), 0);  // sent by line 0
  EXPECT_EQ(line.Text("t"), "greet");
  EXPECT_EQ(line.Text("f"), "hello");
  EXPECT_EQ(line.Int("x"), 3);
  EXPECT_EQ(line.Int("left"), 2);
}

}  // namespace
}  // namespace telephony

namespace telephony {
namespace {

// What a sender holds of another line is that line's message store, not its
// script: the script is replaced and freed by its own line while the
// sender still holds the store, and the message lands in the old set.
TEST_F(MessageStatementsTest, SenderHoldsTheStoreNotTheScript) {
  Line(1, "return(0)\n");
  const std::shared_ptr<services::LineMessages> held = services::LineMessagesOf(1);
  ASSERT_NE(held, nullptr);
  std::weak_ptr<engine::ScriptStore> store = held;
  Line(1, "return(0)\n");  // the old script is freed here, on this thread
  services::TagMsgFields m;
  m.SetCount(0);
  EXPECT_EQ(held->Queue(0).Send(m), 1);
  EXPECT_EQ(QueueOf(1, 0).GetMsgNum(), 0);  // the new script's queues are its own
  EXPECT_NE(services::LineMessagesOf(1), held);
  EXPECT_FALSE(store.expired());
}

}  // namespace
}  // namespace telephony
