// The debugger's windows beside its pages: the call-stack window ("Call
// Stack List": the call tree, the function's label and its variable grid,
// sorted by a click on the "No." or "Name" header) and the
// statement-variables window ("相关变量...").
//
// Ownership: children of the debugger panel. Thread rules: window thread.
#ifndef VTTEL_GUI_DEBUG_WINDOWS_H_
#define VTTEL_GUI_DEBUG_WINDOWS_H_

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "engine/script_debug.h"

namespace gui {

// Fills a variable grid: the header row "No.", "Name", "Value", "Note",
// then the rows.
void FillVarGrid(QTableWidget* grid, const std::vector<engine::VarRow>& rows);

class CallStackWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CallStackWindow(QWidget* parent);

  // One node per frame (innermost first) with its variables; the first
  // node selected and shown.
  void ShowFrames(const std::vector<std::string>& names,
                  const std::vector<std::vector<engine::VarRow>>& rows);
  // A click on a header of the grid: 0 sorts by number, 1 by name; the
  // same column again flips the direction.
  void SortBy(int column);

  QTreeWidget* tree() const { return tree_; }
  QLabel* label() const { return label_; }
  QTableWidget* grid() const { return grid_; }

 private:
  void ShowFrame(int index);

  QTreeWidget* tree_;
  QLabel* label_;
  QTableWidget* grid_;
  std::vector<std::vector<engine::VarRow>> rows_;
  int shown_ = -1;
  int sort_column_ = -1;
  bool descending_ = false;
};

class StatementVarsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit StatementVarsWindow(QWidget* parent);
  void ShowText(const QString& text);
  QPlainTextEdit* memo() const { return memo_; }

 private:
  QPlainTextEdit* memo_;
};

}  // namespace gui

#endif  // VTTEL_GUI_DEBUG_WINDOWS_H_
