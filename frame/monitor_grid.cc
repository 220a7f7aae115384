#include "frame/monitor_grid.h"

#include <limits>
#include <utility>

namespace frame {

namespace {
const MonitorCell kEmptyCell{};
// "Everything visible" until the window says otherwise.
constexpr int kAllVisible = std::numeric_limits<int>::max() / 4;
}  // namespace

TagMonitorGrid::TagMonitorGrid()
    : visible_rows_(kAllVisible), visible_cols_(kAllVisible) {}

void TagMonitorGrid::Resize(int rows, int cols) {
  if (rows < 0) rows = 0;
  if (cols < 0) cols = 0;
  std::vector<MonitorCell> cells(static_cast<size_t>(rows) * cols);
  for (int r = 0; r < rows && r < rows_; ++r) {
    for (int c = 0; c < cols && c < cols_; ++c) {
      cells[static_cast<size_t>(r) * cols + c] =
          std::move(cells_[static_cast<size_t>(r) * cols_ + c]);
    }
  }
  cells_ = std::move(cells);
  for (int c = static_cast<int>(widths_.size()); c < cols; ++c) {
    widths_.push_back(kDefaultColumnWidths[c % 8]);
  }
  widths_.resize(cols);
  rows_ = rows;
  cols_ = cols;
}

const MonitorCell& TagMonitorGrid::Cell(int row, int col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return kEmptyCell;
  return cells_[static_cast<size_t>(row) * cols_ + col];
}

void TagMonitorGrid::SetCell(int row, int col, const MonitorCell& cell) {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return;
  cells_[static_cast<size_t>(row) * cols_ + col] = cell;
}

void TagMonitorGrid::SetText(int row, int col, std::string text) {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return;
  cells_[static_cast<size_t>(row) * cols_ + col].text = std::move(text);
}

int32_t TagMonitorGrid::ColumnWidth(int col) const {
  if (col < 0 || col >= cols_) return 0;
  return widths_[col];
}

void TagMonitorGrid::SetColumnWidth(int col, int32_t width) {
  if (col < 0 || col >= cols_) return;
  widths_[col] = width;
}

void TagMonitorGrid::SetVisibleArea(int first_row, int first_col, int rows, int cols) {
  first_row_ = first_row;
  first_col_ = first_col;
  visible_rows_ = rows;
  visible_cols_ = cols;
}

}  // namespace frame
