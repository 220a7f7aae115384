#include "gui/line_grid_model.h"

#include <QBrush>

#include "frame/monitor.h"
#include "frame/run_cfg.h"
#include "gtest/gtest.h"
#include "gui/qt_text.h"
#include "tests/gui/qt_app.h"

namespace gui {
namespace {

using frame::RunCfg;

QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }

// Nine lines in two column groups: line n sits in model row n / 2, columns
// (n % 2) * 8 to (n % 2) * 8 + 7; the last row's second group holds no line.
class LineGridModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_test::TestApp();
    RunCfg() = frame::TagRunCfg();
    RunCfg().column_groups = 2;
    frame::SetProcessMonitor(&monitor_);
    monitor_.InitGrid(&grid_);
    model_.SetColorSource([this] { return drawing_ ? &monitor_ : nullptr; });
    model_.GridChanged();
  }
  void TearDown() override {
    frame::SetProcessMonitor(nullptr);
    RunCfg() = frame::TagRunCfg();
  }
  QVariant Data(int row, int col, int role) { return model_.data(model_.index(row, col), role); }
  QColor Color(int row, int col, int role) { return Data(row, col, role).value<QBrush>().color(); }
  // Copies the changed cells as a display pass does.
  void Refresh() {
    monitor_.Refresh();
    model_.GridChanged();
  }

  frame::TagMonitor monitor_{9};
  frame::TagMonitorGrid grid_;
  LineGridModel model_{&grid_};
  bool drawing_ = true;
};

TEST_F(LineGridModelTest, GeometryFollowsTheColumnGroups) {
  EXPECT_EQ(model_.rowCount(), 5);  // 9 lines / 2 groups, rounded up
  EXPECT_EQ(model_.columnCount(), 16);
}

TEST_F(LineGridModelTest, CellsShowTextsInTheLinesColours) {
  frame::SetLineStatus(3, "堵塞");
  frame::SetLineStatus(2, "运行");
  frame::SetLineUserColor(3, 1, 14);
  frame::SetLineUserInfo(3, 0, "用户");
  Refresh();
  // Line 3: row 1, second group.
  EXPECT_EQ(Data(1, 10, Qt::DisplayRole).toString(), FromGbk("堵塞"));
  EXPECT_EQ(Data(1, 13, Qt::DisplayRole).toString(), FromGbk("用户"));
  for (int col = 8; col <= 12; ++col) {
    EXPECT_EQ(Color(1, col, Qt::BackgroundRole), Rgb(255, 0, 0)) << col;
    EXPECT_EQ(Color(1, col, Qt::ForegroundRole), Rgb(255, 255, 0)) << col;
  }
  for (int col = 13; col <= 15; ++col) {
    EXPECT_EQ(Color(1, col, Qt::BackgroundRole), Rgb(255, 255, 0)) << col;
    EXPECT_EQ(Color(1, col, Qt::ForegroundRole), Rgb(0, 0, 255)) << col;
  }
  // Line 2, same row, first group: black on white.
  EXPECT_EQ(Color(1, 2, Qt::BackgroundRole), Rgb(255, 255, 255));
  EXPECT_EQ(Color(1, 2, Qt::ForegroundRole), Rgb(0, 0, 0));
  // A blocked line running again is repainted black on white.
  frame::SetLineStatus(3, "运行");
  Refresh();
  EXPECT_EQ(Color(1, 8, Qt::BackgroundRole), Rgb(255, 255, 255));
}

TEST_F(LineGridModelTest, UserColoursShowWithoutAChangedCell) {
  Refresh();
  frame::SetLineUserColor(0, 4, 9);  // marks nothing changed
  EXPECT_EQ(Color(0, 5, Qt::ForegroundRole), Rgb(255, 0, 0));
  EXPECT_EQ(Color(0, 5, Qt::BackgroundRole), Rgb(166, 202, 240));
}

TEST_F(LineGridModelTest, NoColoursWithoutASourceOrOutsideTheLines) {
  frame::SetLineStatus(8, "堵塞");
  Refresh();
  EXPECT_TRUE(Data(4, 2, Qt::BackgroundRole).isValid());
  EXPECT_FALSE(Data(4, 10, Qt::BackgroundRole).isValid());  // line 9 does not exist
  drawing_ = false;
  EXPECT_FALSE(Data(4, 2, Qt::BackgroundRole).isValid());
  EXPECT_EQ(Data(4, 2, Qt::DisplayRole).toString(), FromGbk("堵塞"));
}

TEST_F(LineGridModelTest, ColourIndexesMapToTheTable) {
  EXPECT_EQ(MonitorColor(0), Rgb(0, 0, 0));
  EXPECT_EQ(MonitorColor(13), Rgb(255, 0, 128));
  EXPECT_EQ(MonitorColor(15), Rgb(255, 255, 255));
  EXPECT_EQ(MonitorColor(16), Rgb(0, 0, 0));
  EXPECT_EQ(MonitorColor(-1), Rgb(0, 0, 0));
}

}  // namespace
}  // namespace gui
