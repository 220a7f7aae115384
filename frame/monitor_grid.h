// The model of the main window's line grid: a plain 2-D array of cell texts
// and colours with its geometry, the visible area, the selected cell and the
// column widths. The monitor table copies changed cells into it
// (TagMonitor::Refresh); the Qt window shows it and tells it what is
// visible and selected.
//
// Thread rules: used on the window thread only (no lock).
#ifndef VTTEL_FRAME_MONITOR_GRID_H_
#define VTTEL_FRAME_MONITOR_GRID_H_

#include <cstdint>
#include <string>
#include <vector>

namespace frame {

// A pair of colour indexes 0-15 (kMonitorColors).
struct ColorPair {
  int32_t font = 0;
  int32_t background = 15;
  bool operator==(const ColorPair&) const = default;
};

// One cell's text (GBK) with the colours it is drawn in.
struct MonitorCell {
  std::string text;
  ColorPair colors;
};

// The widths of one column group's eight columns as the window starts.
inline constexpr int32_t kDefaultColumnWidths[8] = {124, 108, 56, 76, 204, 83, 57, 62};

class TagMonitorGrid {
 public:
  TagMonitorGrid();
  TagMonitorGrid(const TagMonitorGrid&) = delete;
  TagMonitorGrid& operator=(const TagMonitorGrid&) = delete;

  // Sets the size; cells inside both sizes keep their contents, new ones
  // are empty. Column widths of new columns start at the defaults.
  void Resize(int rows, int cols);
  int RowCount() const { return rows_; }
  int ColCount() const { return cols_; }

  // Cells outside the grid read as an empty cell and ignore writes.
  const MonitorCell& Cell(int row, int col) const;
  void SetCell(int row, int col, const MonitorCell& cell);
  void SetText(int row, int col, std::string text);

  int32_t ColumnWidth(int col) const;
  void SetColumnWidth(int col, int32_t width);

  // The visible area: the first visible row (1 = the first below the
  // header) and column, and how many of each are visible. Until the window
  // sets it, everything counts as visible.
  void SetVisibleArea(int first_row, int first_col, int rows, int cols);
  int FirstVisibleRow() const { return first_row_; }
  int FirstVisibleCol() const { return first_col_; }
  int VisibleRows() const { return visible_rows_; }
  int VisibleCols() const { return visible_cols_; }

  void Select(int row, int col) { sel_row_ = row; sel_col_ = col; }
  int SelectedRow() const { return sel_row_; }
  int SelectedCol() const { return sel_col_; }

 private:
  int rows_ = 0;
  int cols_ = 0;
  std::vector<MonitorCell> cells_;  // rows_ x cols_, row-major
  std::vector<int32_t> widths_;
  int first_row_ = 1;
  int first_col_ = 0;
  int visible_rows_;
  int visible_cols_;
  int sel_row_ = 1;
  int sel_col_ = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_MONITOR_GRID_H_
