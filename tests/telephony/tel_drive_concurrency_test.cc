// Races of the line drive: readers of the line table while all lines are
// restarted, a quit while lines are still being handed out, and a line
// whose run does not end within the bounded waits of stopping.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"
#include "telephony/board/vir_card.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line_info.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

constexpr int kWaitMs = 10000;
constexpr const char* kWaitScript = "k = \"\"\nWaitRing(1)\nGetKeys(k, 1, 30)\nHangup()\n";

TEST(TelDriveConcurrencyTest, ReadersKeepScriptsAliveWhileAllLinesRestart) {
  DriveFolder f("Trunks=1\n", RunCfgText("0-3=wait.vts\n", 5));
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive& drive = f.MakeDrive();
  std::atomic<bool> stop{false};
  std::atomic<int64_t> reads{0};
  std::thread reader([&] {
    while (!stop.load()) {
      for (int32_t line = 0; line < 4; ++line) {
        int32_t talk = 0, since = 0;
        drive.GetTalkTime(line, &talk, &since);
        drive.GetBlockState(line);
        if (auto script = drive.Line(line)->Script()) reads += script->statementCount;
      }
      drive.CountReloadPending();
    }
  });
  for (int pass = 0; pass < 3; ++pass) {
    ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
    ASSERT_TRUE(f.WaitRunning(3, kWaitMs));
  }
  // Reload: the run threads compile anew while the reader reads.
  const auto before = drive.Line(3)->Script();
  drive.StartReload();
  ASSERT_TRUE(drive.WaitReload(kWaitMs));
  ASSERT_TRUE(WaitUntil([&] {
    auto now = drive.Line(3)->Script();
    return now != nullptr && now != before && now->notRunning.load() == 0;
  }, kWaitMs));
  // A held script outlives its line's close.
  auto held = drive.Line(0)->Script();
  drive.CloseAllTelLine();
  EXPECT_EQ(drive.Line(0)->Script(), nullptr);
  // The reader may hold the script for the moment of a read: stopped first.
  stop = true;
  reader.join();
  EXPECT_EQ(held.use_count(), 1);
  EXPECT_EQ(held->notRunning.load(), 1);
  EXPECT_GT(reads.load(), 0);
}

// The monitor asks for a line's key display mode from its own thread while
// the line's script changes it.
TEST(TelDriveConcurrencyTest, TheMonitorReadsTheKeyDisplayModeWhileTheLineSetsIt) {
  DriveFolder f("Trunks=0\n", RunCfgText("0=disp.vts\n", 0));
  f.WriteScript("disp.vts",
                "for(i = 0; i < 100; i++)\n{\nSetDispKeys(2)\nSetDispKeys(0)\n}\n"
                "SetDispKeys(3)\nWaitRing(1)\n");
  TagTelDrive& drive = f.MakeDrive();
  TelLineInfo info;
  info.Attach(&drive);
  std::atomic<bool> stop{false};
  std::atomic<int> last{-1};
  std::thread reader([&] {
    while (!stop.load()) {
      int mode = -1;
      if (info.KeyDisplayMode(0, &mode)) last = mode;
    }
  });
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  EXPECT_TRUE(WaitUntil([&] { return last.load() == 3; }, kWaitMs));
  stop = true;
  reader.join();
  info.Detach();
  drive.CloseAllTelLine();
}

TEST(TelDriveConcurrencyTest, QuitWhileLinesAreHandedOutEndsCleanly) {
  DriveFolder f("Trunks=1\n", RunCfgText("0-29=wait.vts\n", 40));
  f.WriteScript("wait.vts", kWaitScript);
  TagTelDrive* drive = &f.MakeDrive();
  std::atomic<int32_t> result{99};
  std::thread main_run([&result, drive] { result = drive->RunAllLines("VtTelRun.cfg"); });
  ASSERT_TRUE(WaitUntil([drive] { return drive->Line(3)->Script() != nullptr; }, kWaitMs));
  const auto start = std::chrono::steady_clock::now();
  f.DeleteDrive();
  main_run.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(result.load(), kRunShuttingDown);
  EXPECT_LT(LoadedLineCount(), 30);
  for (const std::string& name : platform::LiveThreadNames()) {
    EXPECT_EQ(name.rfind("line ", 0), std::string::npos) << name;
  }
}

// The release of calls that ignore the stop flag.
struct Gate {
  std::mutex mu;
  std::condition_variable cv;
  int entered = 0;
  bool open = false;

  bool WaitEntered(int lines) {
    std::unique_lock<std::mutex> lock(mu);
    return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                       [this, lines] { return entered >= lines; });
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mu);
      open = true;
    }
    cv.notify_all();
  }
};

// A virtual line whose wait for a ring ignores the stop flag until the
// test opens the gate.
class StuckCall : public TagVtCall {
 public:
  explicit StuckCall(Gate* gate) : gate_(gate) {}
  int32_t WaitRing(int32_t) override {
    std::unique_lock<std::mutex> lock(gate_->mu);
    ++gate_->entered;
    gate_->cv.notify_all();
    gate_->cv.wait(lock, [this] { return gate_->open; });
    return 0;
  }

 private:
  Gate* gate_;
};

// The cards of a drive whose lines are `lines` virtual lines stuck at gate.
TelCardFactory StuckCards(Gate* gate, int32_t lines) {
  return [gate, lines](const frame::TagRunCfg*) {
    TelCards cards;
    cards.vir = {std::make_unique<TagVirCard>(lines, 1), [gate](int32_t, int32_t line_no) {
                   auto call = std::make_unique<StuckCall>(gate);
                   call->lineNo = line_no;
                   return std::unique_ptr<TagVtCall>(std::move(call));
                 }};
    return cards;
  };
}

TEST(TelDriveConcurrencyTest, ARunThatDoesNotEndIsLeftToItsThread) {
  static Gate gate;  // the stuck thread may use it after the test
  DriveFolder f("Trunks=0\n", RunCfgText("0=stuck.vts\n"));
  f.WriteScript("stuck.vts", "WaitRing(1)\n");
  platform::FakeClock clock;  // the 35 s wait passes at once
  platform::ScopedClock use_clock(&clock);
  TagTelDrive& drive = f.MakeDrive(StuckCards(&gate, 1));
  ASSERT_EQ(drive.LineCount(), 1);
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(gate.WaitEntered(1));
  drive.CloseAllTelLine();
  TagTelLine* line = drive.Line(0);
  EXPECT_TRUE(line->abandoned());
  auto script = line->Script();
  ASSERT_NE(script, nullptr);  // still the thread's; never freed under it
  EXPECT_EQ(script->notRunning.load(), 0);
  script.reset();
  EXPECT_NE(f.Log().find("0: the line's run did not end; its script is left to its thread."),
            std::string::npos);
  EXPECT_EQ(drive.LoadLine(0, "stuck.vts"), 0);  // the line cannot be loaded again
  f.DeleteDrive();  // keeps the line, its call and the cards
  EXPECT_NE(f.Log().find("0: the line's thread is still running; the line is kept."),
            std::string::npos);
  gate.Open();
  EXPECT_EQ(ReapAbandonedLines(kWaitMs), 0);  // its thread has ended: the line goes now
}

// Lines that do not stop are waited for together: stopping ends within one
// bound however many of them there are, and each is left to its thread.
TEST(TelDriveConcurrencyTest, LinesThatDoNotEndAreWaitedForTogether) {
  constexpr int32_t kStuck = 6;
  static Gate gate;  // the stuck threads may use it after the test
  DriveFolder f("Trunks=0\n", "VIR_LINES_NUM=6\nLOAD_DELAY=8\n0-5=stuck.vts\n");
  f.WriteScript("stuck.vts", "WaitRing(1)\n");
  platform::FakeClock clock;  // the 35 s wait passes at once
  platform::ScopedClock use_clock(&clock);
  TagTelDrive& drive = f.MakeDrive(StuckCards(&gate, kStuck));
  ASSERT_EQ(drive.LineCount(), kStuck);
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(gate.WaitEntered(kStuck));
  const auto start = std::chrono::steady_clock::now();
  drive.CloseAllTelLine();
  const auto took = std::chrono::steady_clock::now() - start;
  // One by one they took a second each, here six.
  EXPECT_LT(took, std::chrono::milliseconds(kEndRunSettleMs + kRunJoinMs + 1500));
  for (int32_t line = 0; line < kStuck; ++line) {
    EXPECT_TRUE(drive.Line(line)->abandoned()) << line;
    EXPECT_NE(f.Log().find(std::to_string(line) + ": the line's run did not end"),
              std::string::npos)
        << line;
  }
  f.DeleteDrive();
  gate.Open();
  EXPECT_EQ(ReapAbandonedLines(kWaitMs), 0);
}

}  // namespace
}  // namespace telephony
