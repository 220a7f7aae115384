// Messages and inter-line calls between scripts running on the lines of a
// line drive on the simulated board: each line reaches the others through
// the drive's line table, and a line whose script failed to compile has no
// queues.
#include <gtest/gtest.h>

#include <string>

#include "services/interline/msg_list.h"
#include "services/interline/process_queues.h"
#include "services/service_statements.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 10000;

// Line 0: sends to line 1 (once line 1 has its script), tries the other
// addresses, calls line 1's function and reports into process queue 5.
const char kSender[] =
    "res = 0\nr = 0\nx = 4\ny = 5\n"
    "function mul(a, b)\n{\nr = InterLineCall(0, 30, 1, res)\n}\n"
    "a1 = -3\n"
    "while(a1 == -3)\n{\na1 = SendMsg(1, 0, \"hi\", 0)\nSleep(0.01)\n}\n"
    "a2 = SendMsg(2, 0, \"hi\", 0)\n"
    "a3 = SendMsg(_linesCount, 0, \"hi\", 0)\n"
    "a4 = SendMsg(1, 64, \"hi\", 0)\n"
    "mul(x, y)\n"
    "SetMsgField(0, a1)\nSetMsgField(1, a2)\nSetMsgField(2, a3)\nSetMsgField(3, a4)\n"
    "SetMsgField(4, r)\nSetMsgField(5, res)\nSetMsgField(6, x)\nSetMsgField(7, y)\n"
    "SendMsg(-1, 5, \"result\", 8)\n"
    "while(1)\n{\nSleep(1)\n}\n";

// Line 1: serves calls and passes what it receives on to process queue 6.
const char kServer[] =
    "s = 0\nt = 0\nf = 0\nc = 0\ngot = 0\n"
    "function mul(a, b)\n{\na = a * b\nb = 0\nreturn(a + 1)\n}\n"
    "while(1)\n{\nInterLineServer(0)\n"
    "got = RecvMsg(1, 0, s, t, f, c, got)\nif(got > 0)\n{\nSetMsgField(0, s)\nSendMsg(-1, 6, t, 1)\n}\n"
    "Sleep(0.01)\n}\n";

TEST(MessageDriveTest, RunningLinesReachEachOther) {
  services::RegisterServiceStatements();
  for (int32_t q : {5, 6}) services::ProcessQueue(q).Clear();
  services::ServerQueue(0).Clear();
  DriveFolder f("Trunks=1\n", RunCfgText("0=sender.vts\n1=server.vts\n2=bad.vts\n"));
  f.WriteScript("sender.vts", kSender);
  f.WriteScript("server.vts", kServer);
  f.WriteScript("bad.vts", "x = 1\nNoSuchStatement(\n");
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(WaitUntil([] { return services::ProcessQueue(5).GetMsgNum() > 0; }, kWaitMs))
      << testing_support::ReadFile("errmsg0.txt").value_or("")
      << testing_support::ReadFile("errmsg1.txt").value_or("") << f.Log();
  services::TagMsgFields report;
  ASSERT_TRUE(services::ProcessQueue(5).Recv(report));
  const int32_t want[] = {1, -3, -2, -1, 1, 21, 20, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(report.fields[i].GetInt(), want[i]) << "field " << i;
  ASSERT_TRUE(WaitUntil([] { return services::ProcessQueue(6).GetMsgNum() > 0; }, kWaitMs));
  services::TagMsgFields passed;
  ASSERT_TRUE(services::ProcessQueue(6).Recv(passed));
  EXPECT_EQ(passed.type.ToText(), "hi");
  EXPECT_EQ(passed.fields[0].GetInt(), 0);  // the sender: line 0
  drive.CloseAllTelLine();
}

}  // namespace
}  // namespace telephony
