#include "gui/line_grid_view.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "frame/monitor.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

constexpr int kMinColumnWidth = 1;

// Text that a key press types (no control characters).
bool IsTypedText(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  }
  return true;
}

}  // namespace

LineGridView::LineGridView(QWidget* parent) : QTableView(parent) {
  verticalHeader()->setMinimumSectionSize(kGridRowHeight);
  verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->hide();
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // The default layout gives the Run Info column a single pixel.
  horizontalHeader()->setMinimumSectionSize(kMinColumnWidth);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setWordWrap(false);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, &LineGridView::ColumnResized);
}

void LineGridView::SetGridModel(LineGridModel* model) {
  model_ = model;
  setModel(model);
  connect(model, &QAbstractItemModel::modelReset, this, [this] {
    TakeColumnWidths();
    PublishVisibleArea();
  });
  TakeColumnWidths();
}

void LineGridView::TakeColumnWidths() {
  if (model_ == nullptr) return;
  taking_widths_ = true;
  for (int col = 0; col < model_->columnCount(); ++col) {
    setColumnWidth(col, model_->grid()->ColumnWidth(col));
  }
  taking_widths_ = false;
}

void LineGridView::ColumnResized(int col, int, int new_width) {
  if (model_ != nullptr && !taking_widths_) model_->grid()->SetColumnWidth(col, new_width);
}

void LineGridView::PublishVisibleArea() {
  if (model_ == nullptr) return;
  const int rows = model_->rowCount();
  const int cols = model_->columnCount();
  int first_row = rowAt(0);
  if (first_row < 0) first_row = 0;
  int last_row = rowAt(viewport()->height() - 1);
  if (last_row < 0) last_row = rows - 1;
  int first_col = columnAt(0);
  if (first_col < 0) first_col = 0;
  int last_col = columnAt(viewport()->width() - 1);
  if (last_col < 0) last_col = cols - 1;
  // Grid rows count the header row.
  model_->grid()->SetVisibleArea(first_row + 1, first_col, last_row - first_row + 1,
                                 last_col - first_col + 1);
}

void LineGridView::keyPressEvent(QKeyEvent* event) {
  const QModelIndex at = currentIndex();
  const bool keys_cell = at.isValid() && at.column() % frame::kMonitorCells == frame::kCellKeys;
  if (keys_cell && event->key() == Qt::Key_Backspace) {
    if (erase_) erase_(at.row() + 1, at.column());
    event->accept();
    return;
  }
  if (keys_cell && IsTypedText(event->text())) {
    if (keys_) keys_(at.row() + 1, at.column(), ToGbk(event->text()));
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void LineGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (model_ != nullptr && current.isValid()) {
    model_->grid()->Select(current.row() + 1, current.column());
  }
}

void LineGridView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  PublishVisibleArea();
}

void LineGridView::scrollContentsBy(int dx, int dy) {
  QTableView::scrollContentsBy(dx, dy);
  PublishVisibleArea();
}

}  // namespace gui
