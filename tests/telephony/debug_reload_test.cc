// A debugger page on a line of the line drive with a connected call,
// opened while a reload waits for the call's end: the page holds the
// line's script, and once the line runs its new script the page (which
// looks the line's script up on each take) reads the old one and lets it
// go. Run under AddressSanitizer: nothing of the old script is touched
// after it is freed.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "engine/debug_observer.h"
#include "engine/run_observer.h"
#include "engine/script_debug.h"
#include "engine/tel_basic.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 5000;
constexpr int32_t kLine = 3;
// The call is answered, then the line waits for keys until the call ends.
constexpr const char* kScript =
    "k = \"\"\n"
    "WaitRing(1)\n"
    "n = 7\n"
    "GetKeys(k, 1, 30)\n"
    "Hangup()\n";

TEST(DebugReloadTest, APageOpenedWhileTheReloadWaitsHoldsItsScriptPastTheReload) {
  std::atomic<bool> closing{false};
  engine::DebugRunObserver observer(&closing, DriveFolder::kMonitorLines);
  engine::SetRunObserver(&observer);
  {
    DriveFolder f("Trunks=1\n", RunCfgText("3=count.vts\n"));
    f.WriteScript("count.vts", kScript);
    TagTelDrive& drive = f.MakeDrive();
    f.ConnectFarEnd();
    ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
    ASSERT_TRUE(f.WaitRunning(kLine));
    ASSERT_EQ(f.far().Call("E3", "8675", "100"), "OK");
    ASSERT_NE(f.far().Wait("ANSWER", "E3", kWaitMs), std::nullopt);
    f.WriteScript("count.vts", std::string("// version 2\n") + kScript);
    drive.StartReload();
    ASSERT_TRUE(drive.WaitReload(kWaitMs));

    // The page, opened while the reload waits for the call, holds the
    // line's script; the line is busy in "GetKeys(": a snapshot asked for
    // stays unanswered.
    std::shared_ptr<engine::TagTelBasic> page = drive.Line(kLine)->Script();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(observer.OpenPage(kLine));
    observer.RequestSnapshot(kLine);
    bool fresh = true;
    EXPECT_EQ(observer.TakeSnapshot(kLine, &fresh), nullptr);
    EXPECT_FALSE(fresh);
    // The call ends: the reload replaces the script the page holds.
    ASSERT_EQ(f.far().Hangup("E3"), "OK");
    ASSERT_TRUE(WaitUntil([&] {
      auto now = drive.Line(kLine)->Script();
      return now != nullptr && now != page && now->notRunning.load() == 0;
    }, kWaitMs));
    // The page still reads its script, which no longer runs; then it
    // sees the line's new script, closes and lets the old one go.
    EXPECT_EQ(page->notRunning.load(), 1);
    EXPECT_FALSE(engine::VariableRows(*page, engine::VarOrder::kByName).empty());
    ASSERT_NE(drive.Line(kLine)->Script(), page);
    observer.ClosePage(kLine);
    std::weak_ptr<engine::TagTelBasic> old = page;
    page.reset();
    EXPECT_TRUE(old.expired());
    f.DeleteDrive();
  }
  engine::SetRunObserver(nullptr);
}

}  // namespace
}  // namespace telephony
