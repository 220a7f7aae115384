// A line reloaded again and again while eight lines send to its queue and
// call its function: the senders hold the line's message store, never its
// script, so every replaced script is freed by its own line.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "services/interline/process_queues.h"
#include "services/service_statements.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 20000;
constexpr int kSenders = 8;
constexpr int kReloads = 6;

const char kServer[] =
    "s = 0\nt = 0\nf = 0\nc = 0\ngot = 0\n"
    "function add(a, b)\n{\na = a + b\nreturn(a)\n}\n"
    "while(1)\n{\nInterLineServer(0)\nRecvMsg(0, 0, s, t, f, c, got)\nSleep(0.001)\n}\n";

const char kSender[] =
    "res = 0\nr = 0\nok = 0\nx = 1\ny = 2\n"
    "function add(a, b)\n{\nr = InterLineCall(0, 1, 1, res)\n}\n"
    "while(1)\n{\nm[1] = _lineNo\nSetMsgField(0, m)\nSendMsg(0, 0, \"x\", 1)\n"
    "x = 1\nadd(x, y)\nif(r > 0)\n{\nok = ok + 1\n}\nSleep(0.002)\n}\n";

TEST(MessageReloadConcurrencyTest, ReloadedLineFreesItsOwnScripts) {
  services::RegisterServiceStatements();
  services::ServerQueue(0).Clear();
  DriveFolder f("Trunks=1\n",
                RunCfgText("0=server.vts\n1-" + std::to_string(kSenders) + "=sender.vts\n", 5));
  f.WriteScript("server.vts", kServer);
  f.WriteScript("sender.vts", kSender);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  for (int32_t line = 0; line <= kSenders; ++line) ASSERT_TRUE(f.WaitRunning(line, kWaitMs));
  for (int pass = 0; pass < kReloads; ++pass) {
    std::weak_ptr<engine::TagTelBasic> old = drive.Line(0)->Script();
    old.lock()->SetReload(1);
    ASSERT_TRUE(WaitUntil([&] {
      auto now = drive.Line(0)->Script();
      if (now == nullptr || now->notRunning.load() != 0) return false;
      return old.expired() || old.lock() != now;
    }, kWaitMs)) << pass;
    // The line let go of its old script before it compiled the new one,
    // and nobody else held it.
    EXPECT_TRUE(old.expired()) << pass;
  }
  std::vector<std::shared_ptr<engine::TagTelBasic>> senders;
  for (int32_t line = 1; line <= kSenders; ++line) senders.push_back(drive.Line(line)->Script());
  drive.CloseAllTelLine();
  int32_t answered = 0;
  for (const auto& s : senders) {
    engine::TagVar* ok = nullptr;
    s->FindVariable("ok", &ok);
    ASSERT_NE(ok, nullptr);
    answered += ok->GetInt();
  }
  EXPECT_GT(answered, 0);
}

}  // namespace
}  // namespace telephony
