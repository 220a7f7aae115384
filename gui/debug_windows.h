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
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "engine/script_debug.h"

namespace gui {

// Variable-grid rows are this high.
inline constexpr int kVarRowHeight = 18;

// A page's variable grid: the fixed title row "No.", "Name", "Value",
// "Note" (the header, whose column edges the operator drags), no fixed
// column, rows kVarRowHeight high, editable cells (an edit stays in the
// grid until the next fill); the number and note columns half the
// default width.
QTableWidget* MakeVarGrid(QWidget* parent);
// Fills a variable grid with the rows (one empty row when there are none).
void FillVarGrid(QTableWidget* grid, const std::vector<engine::VarRow>& rows);

class VarViewWindow;

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
  VarViewWindow* var_view() const { return var_view_; }

 private:
  void ShowFrame(int index);

  QTreeWidget* tree_;
  QLabel* label_;
  QTableWidget* grid_;
  std::vector<std::vector<engine::VarRow>> rows_;
  VarViewWindow* var_view_;
  int shown_ = -1;
  int sort_column_ = -1;
  bool descending_ = false;
};

// The variable window: a name, its note, type and value, looked up again
// by "刷新" (the default button); Esc closes it.
class VarViewWindow : public QDialog {
  Q_OBJECT

 public:
  // Looks a name up in the window's script (0 found, -1 not).
  using Lookup = std::function<int32_t(const std::string& name, engine::VarInfo* info)>;
  explicit VarViewWindow(QWidget* parent);
  // Shows the window for a name with a caption and the script to ask.
  void ShowVariable(const QString& caption, const QString& name, Lookup lookup);
  void Refresh();

  QLineEdit* name_edit() const { return name_; }
  QLabel* note() const { return note_; }
  QLabel* type() const { return type_; }
  QPlainTextEdit* value() const { return value_; }

 private:
  QLineEdit* name_;
  QLabel* note_;
  QLabel* type_;
  QPlainTextEdit* value_;
  Lookup lookup_;
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
