#include "gui/line_grid_model.h"

#include <QBrush>

#include "gui/qt_text.h"

namespace gui {

QColor MonitorColor(int32_t index) {
  if (index < 0 || index >= 16) index = 0;
  const frame::Rgb& c = frame::kMonitorColors[index];
  return QColor(c.red, c.green, c.blue);
}

LineGridModel::LineGridModel(frame::TagMonitorGrid* grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
  rows_ = rowCount();
  cols_ = columnCount();
}

int LineGridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return grid_->RowCount() > 1 ? grid_->RowCount() - 1 : 0;
}

int LineGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_->ColCount();
}

QVariant LineGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row() + 1;
  const int col = index.column();
  if (role == Qt::DisplayRole) return FromGbk(grid_->Cell(row, col).text);
  if (role != Qt::BackgroundRole && role != Qt::ForegroundRole) return {};
  const frame::TagMonitor* monitor = colors_ ? colors_() : nullptr;
  if (monitor == nullptr) return {};
  const int line = monitor->LineOfGridCell(row, col);
  if (line < 0 || line >= monitor->LineCount()) return {};
  const frame::ColorPair colors = col % frame::kMonitorCells <= frame::kLastStatusCell
                                      ? monitor->GetStatusColors(line)
                                      : monitor->GetUserColors(line);
  return QBrush(MonitorColor(role == Qt::BackgroundRole ? colors.background : colors.font));
}

QVariant LineGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return FromGbk(grid_->Cell(0, section).text);
}

void LineGridModel::GridChanged() {
  if (grid_->ColCount() != cols_ || rowCount() != rows_) {
    beginResetModel();
    rows_ = rowCount();
    cols_ = columnCount();
    endResetModel();
    return;
  }
  if (cols_ > 0) emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
  if (rows_ > 0 && cols_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, cols_ - 1));
}

void LineGridModel::CellChanged(int grid_row, int grid_col) {
  if (grid_row < 1 || grid_row > rows_ || grid_col < 0 || grid_col >= cols_) return;
  const QModelIndex at = index(grid_row - 1, grid_col);
  emit dataChanged(at, at);
}

}  // namespace gui
