// The script debugger's panel: one page per debugged line (a tab captioned
// with the line number) with the main-flow tree, the function tree and
// their variable grids; the panel's buttons and "动态刷新&A", captioned in
// the window's language.
//
// No line thread touches these widgets. The lines' observer
// (engine::DebugRunObserver) keeps each debugged line's latest statement
// and the snapshots asked for; the panel takes them on its own timer, one
// update per line per display interval, and drops those of a page closed
// meanwhile. Variables are read from the script itself only while its
// line is held in its step wait; otherwise from the latest snapshot (a
// line busy in a long statement shows its last one, marked as such).
//
// A page holds its line's script (the line's shared reference) and is
// closed when the line gets another script or none.
//
// Ownership: the observer outlives the panel; the panel is a child widget
// of the main window. Thread rules: window thread only.
#ifndef VTTEL_GUI_DEBUG_PAGES_H_
#define VTTEL_GUI_DEBUG_PAGES_H_

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/debug_observer.h"
#include "engine/script_debug.h"
#include "frame/debugger.h"
#include "gui/captions.h"
#include "gui/debug_node_colours.h"

namespace engine {
class TagTelBasic;
}

namespace gui {

class CallStackWindow;
class StatementVarsWindow;
class VarViewWindow;

// How often the panel takes the lines' updates.
inline constexpr int kDebugTakeMs = 200;

// The script a line runs now (null: none): the line drive's reference.
using ScriptSource = std::function<std::shared_ptr<engine::TagTelBasic>(int line)>;

// One debugged line's page.
class DebugPage : public QWidget {
  Q_OBJECT

 public:
  DebugPage(int line, std::shared_ptr<engine::TagTelBasic> script, QWidget* parent);

  int line() const { return line_; }
  engine::TagTelBasic* script() const { return script_.get(); }
  const std::shared_ptr<engine::TagTelBasic>& shared_script() const { return script_; }
  QTreeWidget* main_tree() const { return main_tree_; }
  QTreeWidget* function_tree() const { return function_tree_; }
  QTableWidget* main_vars() const { return main_vars_; }
  QTableWidget* function_vars() const { return function_vars_; }
  QLabel* function_label() const { return function_label_; }
  QLabel* stale_label() const { return stale_label_; }
  // Node of a tree by its flat (pre-order) position; null outside.
  QTreeWidgetItem* MainNode(int index) const;
  QTreeWidgetItem* FunctionNode(int index) const;

  // Moves the marks to the statements of an update.
  void ShowStep(const engine::StepMark& mark);
  // Fills both grids from the paused script, or from the snapshot.
  void FillVars(const engine::DebugSnapshot* snapshot, bool fresh);
  // Toggles the breakpoint of a node of one of the trees.
  void ToggleBreakpoint(QTreeWidget* tree, QTreeWidgetItem* item);
  // The variables of a node's statement ("相关变量..."), only while paused.
  void ShowStatementVars(QTreeWidget* tree, QTreeWidgetItem* item);
  // Leaves the line running: breakpoints cleared, step mode left.
  void Release();

 signals:
  void StatementVarsShown(const QString& text);
  // A double-click on a variable of the main grid or the function grid.
  void VariableAsked(bool function, const QString& name);

 protected:
  // A press on a node's image toggles its breakpoint.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetImage(QTreeWidget* tree, int index, bool executing);
  bool NodeBreakpoint(QTreeWidget* tree, int index) const;
  int NodeIndex(QTreeWidget* tree, QTreeWidgetItem* item) const;
  void MarkMain(int index);
  void MarkFunction(int index, bool after_call);

  const int line_;
  std::shared_ptr<engine::TagTelBasic> script_;
  engine::FunctionTree tree_;
  QTreeWidget* main_tree_;
  QTreeWidget* function_tree_;
  QTableWidget* main_vars_;
  QTableWidget* function_vars_;
  QLabel* function_label_;
  QLabel* stale_label_;
  std::vector<QTreeWidgetItem*> main_nodes_, function_nodes_;
  int main_mark_ = -1, function_mark_ = -1;
};

class DebugPages : public QWidget, public frame::Debugger {
  Q_OBJECT

 public:
  DebugPages(engine::DebugRunObserver* observer, ScriptSource source, QWidget* parent);
  ~DebugPages() override;

  // "开启...": refused (false) for a line with a page, without a script,
  // with a scrambled script or one that did not compile.
  bool OpenPage(int line);
  // The active page goes: 0, or -1 with no page.
  int CloseCurrent();
  void CloseAllPages() override;
  bool HasPages() const { return !pages_.empty(); }
  bool HasPage(int line) const;
  DebugPage* Page(int line) const;
  DebugPage* current() const;

  // The commands.
  void Step();
  void Run();
  void RefreshVars();
  void ShowCallStack();
  void ToggleBreakpoint();
  void SetAutoRefresh(bool on);

  // Takes the lines' updates (the timer's work; tests call it).
  void TakeUpdates();

  // The buttons' and the check box's captions (Chinese until called).
  void ApplyCaptions(bool english);

  QTabWidget* tabs() const { return tabs_; }
  QCheckBox* auto_refresh() const { return auto_refresh_; }
  CallStackWindow* call_stack_window() const { return call_stack_; }
  StatementVarsWindow* statement_vars_window() const { return statement_vars_; }
  VarViewWindow* var_view_window() const { return var_view_; }

 signals:
  // No page is left (the window hides the panel).
  void Emptied();

 private:
  void ClosePage(DebugPage* page);
  // The variable window for a name of a page's main grid or function grid.
  void ShowVariable(DebugPage* page, bool function, const QString& name);
  // The snapshot of the page's line, asked for again.
  void FillPageVars(DebugPage* page);

  engine::DebugRunObserver* observer_;
  ScriptSource source_;
  QTabWidget* tabs_;
  QCheckBox* auto_refresh_;
  std::vector<std::pair<Entry, QPushButton*>> buttons_;  // children of this panel
  QTimer timer_;
  std::vector<DebugPage*> pages_;  // in opening order; children of tabs_
  CallStackWindow* call_stack_;
  StatementVarsWindow* statement_vars_;
  VarViewWindow* var_view_;
};

}  // namespace gui

#endif  // VTTEL_GUI_DEBUG_PAGES_H_
