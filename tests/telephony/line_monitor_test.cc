// What the monitor table shows of a running line: the status word the run
// loop reports, the Run Info cell built from the statement about to run,
// and nothing read from a drive that is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/monitor_observer.h"
#include "frame/monitor.h"
#include "telephony/tel_drive.h"
#include "telephony/tel_line_info.h"
#include "tests/telephony/tel_drive_fixture.h"

namespace telephony {
namespace {

class LineMonitorTest : public ::testing::Test {
 protected:
  LineMonitorTest() : folder_("Trunks=1\n", RunCfgText("0-1=wait.vts\n")) {
    folder_.WriteScript("wait.vts", "k = \"\"\nWaitRing(1)\n");
    monitor_ = frame::ProcessMonitor();
    monitor_->SetLineInfoSource(&info_);
    engine::SetRunObserver(&observer_);
  }
  ~LineMonitorTest() override {
    engine::SetRunObserver(nullptr);
    monitor_->SetLineInfoSource(nullptr);
  }
  frame::MonitorCell Cell(int line, int cell) {
    frame::MonitorCell out;
    monitor_->ReadCell(line, cell, &out);
    return out;
  }

  DriveFolder folder_;
  frame::TagMonitor* monitor_;
  TelLineInfo info_;
  std::atomic<bool> closing_{false};
  engine::MonitorRunObserver observer_{&closing_};
};

TEST_F(LineMonitorTest, RunningLineShowsStatusAndStatement) {
  TagTelDrive& drive = folder_.MakeDrive();
  info_.Attach(&drive);
  EXPECT_TRUE(info_.DriveReady());
  EXPECT_EQ(info_.LineName(1), "E1:01");
  ASSERT_EQ(drive.RunAllLines("VtTelRun.cfg"), kRunOk);
  ASSERT_TRUE(folder_.WaitRunning(0));
  ASSERT_TRUE(WaitUntil([&] { return folder_.Status(0) == "运行"; }, 5000)) << folder_.Status(0);
  EXPECT_EQ(Cell(0, frame::kCellStatus).colors, (frame::ColorPair{0, 15}));
  ASSERT_TRUE(WaitUntil([&] { return Cell(0, frame::kCellRunInfo).text == "WaitRing(1)"; }, 5000))
      << Cell(0, frame::kCellRunInfo).text;
  EXPECT_TRUE(info_.HasScript(0));
  EXPECT_EQ(info_.ScriptFileName(0), "wait.vts");
  EXPECT_EQ(info_.CompileResult(0), 0);
  EXPECT_FALSE(info_.HasScript(2));

  // The drive goes first at shutdown; the table is read after it.
  info_.Detach();
  folder_.DeleteDrive();
  EXPECT_FALSE(info_.DriveReady());
  EXPECT_EQ(Cell(0, frame::kCellRunInfo).text, "");
  EXPECT_EQ(info_.LineName(0), "");
}

}  // namespace
}  // namespace telephony
