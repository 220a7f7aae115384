// A line reloaded again and again while the other virtual lines scan all
// lines with "FindShareMem(" and write into its store: they hold the
// line's store for one statement, never its script, so each replaced
// script and store is freed cleanly.
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
constexpr int kScanners = 3;
constexpr int kReloads = 4;

const char kReloaded[] =
    "m[1] = 1\nSetShareMem(_lineNo, \"state\", \"free\")\nSetShareMem(_lineNo, \"map\", m)\n"
    "while(1)\n{\nSleep(0.001)\n}\n";

const char kScanner[] =
    "r = 0\nok = 0\nw = 0\nc = 0\nSetShareMem(_lineNo, \"state\", \"free\")\n"
    "while(1)\n{\nr = FindShareMem(\"state\", \"free\", \"held\")\n"
    "if(r >= 0)\n{\nSetShareMem(r, \"state\", \"free\")\nok = ok + 1\n}\n"
    "SetShareMem(0, \"from\", _lineNo)\nGetShareMem(0, \"map\", w)\nIncShareMem(-1, \"n\", 1, c)\n"
    "Sleep(0.001)\n}\n";

TEST(ShareMemReloadConcurrencyTest, ReloadedLineFreesItsScriptsAndStores) {
  services::RegisterServiceStatements();
  services::ProcessShareMem().Clear();
  engine::TagVar key, zero;
  key.SetString("n");
  zero.SetInt(0);
  services::ProcessShareMem().Set(key, zero);
  DriveFolder f("Trunks=0\n", "VIR_LINES_NUM=" + std::to_string(kScanners + 1) +
                                  "\nLOAD_DELAY=5\n0=reloaded.vts\n1-" +
                                  std::to_string(kScanners) + "=scanner.vts\n");
  f.WriteScript("reloaded.vts", kReloaded);
  f.WriteScript("scanner.vts", kScanner);
  TagTelDrive& drive = f.MakeDrive();
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  for (int32_t line = 0; line <= kScanners; ++line) ASSERT_TRUE(f.WaitRunning(line, kWaitMs));
  for (int pass = 0; pass < kReloads; ++pass) {
    std::weak_ptr<engine::TagTelBasic> old = drive.Line(0)->Script();
    std::weak_ptr<engine::ScriptStore> old_store =
        drive.Line(0)->Store(engine::StoreSlot::kShareMem);
    old.lock()->SetReload(1);
    ASSERT_TRUE(WaitUntil([&] {
      auto now = drive.Line(0)->Script();
      if (now == nullptr || now->notRunning.load() != 0) return false;
      return old.expired() || old.lock() != now;
    }, kWaitMs)) << pass;
    EXPECT_TRUE(old.expired()) << pass;
    EXPECT_TRUE(WaitUntil([&] { return old_store.expired(); }, kWaitMs)) << pass;
  }
  std::vector<std::shared_ptr<engine::TagTelBasic>> scanners;
  for (int32_t line = 1; line <= kScanners; ++line) scanners.push_back(drive.Line(line)->Script());
  drive.CloseAllTelLine();
  int32_t claims = 0;
  for (const auto& s : scanners) {
    engine::TagVar* ok = nullptr;
    s->FindVariable("ok", &ok);
    ASSERT_NE(ok, nullptr);
    claims += ok->GetInt();
  }
  EXPECT_GT(claims, 0);
  engine::TagVar n;
  EXPECT_GT(services::ProcessShareMem().Get(key, n), 0);
  EXPECT_GT(n.GetInt(), 0);
  services::ProcessShareMem().Clear();
}

}  // namespace
}  // namespace telephony
