// The main window's line grid: a table view over LineGridModel with rows
// 16 pixels high. It tells the frame grid what the operator sees (the
// visible area, the selected cell, column widths he drags) and hands every
// key typed into a Keys cell to the keys handler at once, one keystroke at
// a time; keys typed into other cells have no effect.
//
// Thread rules: window thread only.
#ifndef VTTEL_GUI_LINE_GRID_VIEW_H_
#define VTTEL_GUI_LINE_GRID_VIEW_H_

#include <QTableView>
#include <functional>
#include <string>

#include "gui/line_grid_model.h"

namespace gui {

inline constexpr int kGridRowHeight = 16;

class LineGridView : public QTableView {
  Q_OBJECT

 public:
  // Grid row and column of the Keys cell, and the typed text (GBK).
  using KeysHandler = std::function<void(int grid_row, int grid_col, const std::string& keys)>;

  explicit LineGridView(QWidget* parent = nullptr);

  // The model must outlive the view.
  void SetGridModel(LineGridModel* model);
  void SetKeysHandler(KeysHandler handler) { keys_ = std::move(handler); }
  // Backspace in a Keys cell.
  using EraseHandler = std::function<void(int grid_row, int grid_col)>;
  void SetEraseHandler(EraseHandler handler) { erase_ = std::move(handler); }
  // Writes the visible area into the frame grid.
  void PublishVisibleArea();
  // Takes the column widths the frame grid holds.
  void TakeColumnWidths();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void ColumnResized(int col, int old_width, int new_width);

  LineGridModel* model_ = nullptr;
  KeysHandler keys_;
  EraseHandler erase_;
  bool taking_widths_ = false;
};

}  // namespace gui

#endif  // VTTEL_GUI_LINE_GRID_VIEW_H_
