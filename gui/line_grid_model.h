// The Qt model of the main window's line grid: it shows a frame grid
// (TagMonitorGrid) whose row 0 is the header and whose rows 1.. are the
// lines, and draws every cell in the colours the monitor table gives for
// its line at the moment it is painted (status colours for cells 0-4, user
// colours for cells 5-7). While no colour source is given, or it answers
// null (the frame inactive, no table, the drive not ready), cells are
// drawn plain.
//
// Model row r is grid row r + 1; the header texts come from grid row 0.
//
// Ownership: the grid is the caller's and must outlive the model.
// Thread rules: window thread only.
#ifndef VTTEL_GUI_LINE_GRID_MODEL_H_
#define VTTEL_GUI_LINE_GRID_MODEL_H_

#include <QAbstractTableModel>
#include <QColor>
#include <functional>

#include "frame/monitor.h"
#include "frame/monitor_grid.h"

namespace gui {

// A colour index 0-15 as a Qt colour (black for an index out of range).
QColor MonitorColor(int32_t index);

class LineGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using ColorSource = std::function<const frame::TagMonitor*()>;

  explicit LineGridModel(frame::TagMonitorGrid* grid, QObject* parent = nullptr);

  void SetColorSource(ColorSource source) { colors_ = std::move(source); }
  frame::TagMonitorGrid* grid() const { return grid_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The grid's cells changed: a grid of another size resets the model,
  // otherwise every cell is repainted (colours may change without text).
  void GridChanged();
  // One grid cell (grid coordinates) changed.
  void CellChanged(int grid_row, int grid_col);

 private:
  frame::TagMonitorGrid* grid_;
  ColorSource colors_;
  int rows_ = 0;  // the size the views know
  int cols_ = 0;
};

}  // namespace gui

#endif  // VTTEL_GUI_LINE_GRID_MODEL_H_
