// Line threads write the monitor table while the window thread refreshes
// the grid (and the operator types keys) and a monitor client reads the
// changed cells: no data race (run under ThreadSanitizer), no key lost or
// doubled, and the grid and the client end with the final texts.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "frame/monitor.h"
#include "frame/monitor_cursor.h"
#include "frame/monitor_grid.h"
#include "frame/run_cfg.h"
#include "platform/clock.h"

namespace frame {
namespace {

// Pure functions of their arguments: safe from every thread.
class FixedLineInfo : public LineInfoSource {
 public:
  bool DriveReady() override { return true; }
  std::string LineName(int line) override { return "L" + std::to_string(line); }
  bool HasScript(int) override { return true; }
  std::string ScriptFileName(int) override { return "m.vts"; }
  int CompileResult(int) override { return 0; }
  bool KeyDisplayMode(int, int* mode) override {
    *mode = 1;
    return true;
  }
  std::string StatementText(int line, int32_t index) override {
    return "L" + std::to_string(line) + " S" + std::to_string(index) + " //n" +
           std::to_string(index);
  }
};

constexpr int kWriters = 16;
constexpr int kLines = 40;   // writers share lines 0..kWriters-1 with takers
constexpr int kRounds = 3000;

TEST(MonitorConcurrency, WritersAgainstRefreshAndAClient) {
  TagRunCfg saved = RunCfg();
  RunCfg().sentence_mode = 2;
  RunCfg().column_groups = 4;
  platform::FakeClock clock;
  platform::ScopedClock scoped_clock(&clock);
  FixedLineInfo info;
  TagMonitor monitor(kLines);
  monitor.SetLineInfoSource(&info);
  SetProcessMonitor(&monitor);
  TagMonitorGrid grid;
  DispMonitor(&grid);

  std::atomic<bool> done{false};
  std::atomic<long> appended{0}, taken{0};
  std::vector<std::thread> threads;

  // Line threads: statuses, user cells, steps, and keys fed to the input of
  // the line beside them (as "PcSetKeys(" feeds another line).
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      const int line = w;
      const int target = (w + 1) % kWriters;
      for (int i = 0; i < kRounds; ++i) {
        SetLineStatus(line, (i & 1) ? "堵塞" : "运行");
        SetLineUserInfo(line, i % 3, "u" + std::to_string(i));
        MarkLineStep(line, i);
        if (i % 7 == 0) DispSentence("x // given", line);
        SetLineUserColor(line, i % 16, 15 - i % 16);
        AppendLineKeys(target, "12");
        appended.fetch_add(2, std::memory_order_relaxed);
      }
      SetLineStatus(line, "已停止");
      SetLineUserInfo(line, 0, "final");
      MarkLineStep(line, 999999);
    });
  }
  // Virtual lines taking their input, as "PcGetKeys(" does: read, then take
  // what was read from the front.
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      while (!done.load(std::memory_order_relaxed)) {
        for (int line = t; line < kWriters; line += 2) {
          std::string keys = GetLineKeys(line);
          if (keys.size() > 3) keys.resize(3);
          if (!keys.empty() && TakeLineKeysPrefix(line, keys)) {
            taken.fetch_add(static_cast<long>(keys.size()), std::memory_order_relaxed);
          }
        }
      }
    });
  }
  // A monitor client: reads every changed cell.
  std::atomic<long> client_reads{0};
  TagMonitorCursor client(monitor);
  threads.emplace_back([&] {
    MonitorCell cell;
    while (!done.load(std::memory_order_relaxed)) {
      for (int line = 0; line < kLines; ++line) {
        for (int c = 0; c < kMonitorCells; ++c) {
          if (client.Take(line, c, &cell)) client_reads.fetch_add(1, std::memory_order_relaxed);
        }
      }
    }
  });

  // The window thread: refreshes, the operator types into line 20 and
  // scrolls, and the drawing asks for colours.
  long typed = 0;
  for (int pass = 0; pass < 400; ++pass) {
    monitor.OperatorTypedKeys(20 + pass % 4, "9");
    ++typed;
    grid.SetVisibleArea(1 + pass % 3, 0, 8, 32);
    monitor.Refresh();
    for (int line = 0; line < kLines; ++line) {
      (void)monitor.GetStatusColors(line);
      (void)monitor.GetUserColors(line);
    }
  }
  for (int w = 0; w < kWriters; ++w) threads[w].join();
  done = true;
  for (size_t i = kWriters; i < threads.size(); ++i) threads[i].join();

  // No key lost or doubled.
  long left = 0;
  for (int line = 0; line < kWriters; ++line) left += GetLineKeysLen(line);
  EXPECT_EQ(taken.load() + left, appended.load());
  long typed_left = 0;
  for (int line = 20; line < 24; ++line) typed_left += GetLineKeysLen(line);
  EXPECT_EQ(typed_left, typed);
  EXPECT_GT(client_reads.load(), 0);

  // The grid, once everything is visible, shows the final texts.
  grid.SetVisibleArea(1, 0, 100, 100);
  monitor.Refresh();
  for (int line = 0; line < kWriters; ++line) {
    const int row = monitor.GridRow(line);
    EXPECT_EQ(grid.Cell(row, monitor.GridColumn(line, kCellStatus)).text, "已停止");
    EXPECT_EQ(grid.Cell(row, monitor.GridColumn(line, kCellStatus)).colors, (ColorPair{0, 13}));
    EXPECT_EQ(grid.Cell(row, monitor.GridColumn(line, kCellUser)).text, "final");
    EXPECT_EQ(grid.Cell(row, monitor.GridColumn(line, kCellRunInfo)).text, "n999999");
    EXPECT_EQ(grid.Cell(row, monitor.GridColumn(line, kCellKeys)).text, GetLineKeys(line));
    EXPECT_FALSE(monitor.IsDirty(line, kCellStatus));
  }
  // And so does the client.
  MonitorCell cell;
  for (int line = 0; line < kWriters; ++line) {
    if (client.Take(line, kCellRunInfo, &cell)) {
      EXPECT_EQ(cell.text, "n999999");
    }
    EXPECT_FALSE(client.Changed(line, kCellRunInfo));
  }

  SetProcessMonitor(nullptr);
  RunCfg() = saved;
}

}  // namespace
}  // namespace frame
