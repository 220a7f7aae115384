// The main window: the status area (version label, information, clock,
// monitor-server, line-count and connection-count panels), the line grid
// over the frame's grid, the main menu, the pop-up menu (right click on the
// window or the tray icon) and the tray icon with its two states.
//
// The window is the frame's view (frame::WindowView, window thread) and
// the monitor server's connection panel (frame::MonitorConnPanel, any
// thread: the text is handed to the window thread, later texts replacing
// earlier ones not yet shown).
//
// Where the desktop has no tray (tray_available false) neither the close
// box nor minimising hides the window: nothing could bring it back.
//
// Ownership: cfg and the attached loop are the caller's and must outlive
// the window. Thread rules: window thread only, except ShowMonitorConn.
#ifndef VTTEL_GUI_MAIN_WINDOW_H_
#define VTTEL_GUI_MAIN_WINDOW_H_

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "frame/run_cfg.h"
#include "frame/window_view.h"
#include "gui/captions.h"
#include "gui/debug_pages.h"
#include "gui/frame_loop.h"
#include "gui/line_grid_model.h"
#include "gui/line_grid_view.h"

namespace gui {

// Height of the status area in pixels.
inline constexpr int kStatusAreaHeight = 58;

class MainWindow : public QMainWindow,
                   public frame::WindowView,
                   public frame::MonitorConnPanel {
  Q_OBJECT

 public:
  // The line of the grid's selected cell is to hang up (an existing line of
  // a ready drive).
  using HangupHandler = std::function<void(int line)>;

  MainWindow(const frame::TagRunCfg* cfg, bool tray_available, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Connects the window to the frame: the grid shows the controller's
  // grid, the menus drive the loop. Call before the controller's Start.
  void Attach(FrameLoop* loop);
  void SetHangupHandler(HangupHandler handler) { hangup_ = std::move(handler); }
  // The script debugger (IS_DISP_SENTE 1): its panel under the grid, over
  // the lines' observer and their scripts. Before the controller's Start;
  // the observer must outlive the window. Without it the debug commands
  // do nothing.
  void SetDebugger(engine::DebugRunObserver* observer, ScriptSource source);
  DebugPages* debug_pages() const { return pages_; }
  // After the controller's Start: captions and title for the language, the
  // debug entries' state and the tray icon.
  void FinishStart();
  void ApplyCaptions();

  // frame::WindowView
  void SetVersionText(std::string_view text) override;
  void SetInfoText(std::string_view text) override;
  void SetLinesText(std::string_view text) override;
  void SetClockText(std::string_view text) override;
  void ShowFromTray() override;
  void SetTrayIcon(int icon, std::string_view tip) override;
  void GridRefreshed(int cells) override;
  void SetCountText(std::string_view text) override;
  void PostQuit() override;
  void ApplyPosition(const frame::TagMapCfg& saved) override;
  void StorePosition(frame::TagMapCfg* cfg) override;

  // frame::MonitorConnPanel
  void ShowMonitorConn(std::string_view text) override;

  // What the operator sees and uses.
  QAction* action(Entry entry) const;
  QMenu* debug_menu() const { return debug_menu_; }
  QMenu* popup_menu() const { return popup_; }
  QWidget* status_area() const { return status_area_; }
  LineGridView* grid_view() const { return grid_view_; }
  LineGridModel* grid_model() const { return model_.get(); }
  QSystemTrayIcon* tray() const { return tray_.get(); }
  bool status_shown() const { return status_shown_; }
  // The pop-up entries' state for the grid's selected cell (run when the
  // menu opens).
  void UpdatePopupState();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QLabel* AddPanel(const char* name, int stretch);
  void BuildStatusArea();
  void BuildActions();
  void BuildMenus();
  QAction* MakeAction(Entry entry);
  void ToggleStatusArea();
  void OpenLogFile();
  void HangupSelected();
  void TypedKeys(int grid_row, int grid_col, const std::string& keys);
  void ErasedKey(int grid_row, int grid_col);
  // A change of the Keys store of the line of a Keys cell, shown at once.
  void OnKeysCell(int grid_row, int grid_col,
                  const std::function<void(frame::TagMonitor*, int)>& change);
  // "开启..." and "Open Debug ...": a page for the selected line.
  void OpenSelectedPage();
  // Whether a page can be opened for the line (a script, not scrambled,
  // no page yet).
  bool CanOpenPage(int line) const;
  void ShowPanel(bool shown);
  void ApplyDefaultLayout();
  void TakeMonitorConnText();
  // The monitor table while cells are drawn in its colours, else null.
  const frame::TagMonitor* DrawingMonitor() const;
  // The selected cell's line when it is an existing line of a ready drive.
  int SelectedReadyLine() const;

  const frame::TagRunCfg* cfg_;
  const bool tray_available_;
  FrameLoop* loop_ = nullptr;
  HangupHandler hangup_;
  bool status_shown_ = true;
  bool toggle_used_ = false;

  QWidget* status_area_ = nullptr;
  QLabel* version_ = nullptr;
  QLabel* info_ = nullptr;
  QLabel* clock_ = nullptr;
  QLabel* monitor_conn_ = nullptr;
  QLabel* lines_ = nullptr;
  QLabel* count_ = nullptr;
  LineGridView* grid_view_ = nullptr;
  QSplitter* splitter_ = nullptr;  // the grid over the debugger's panel
  DebugPages* pages_ = nullptr;
  ScriptSource script_source_;
  std::unique_ptr<LineGridModel> model_;
  std::map<Entry, QAction*> actions_;
  QMenu* file_menu_ = nullptr;
  QMenu* operation_menu_ = nullptr;
  QMenu* debug_menu_ = nullptr;
  QMenu* popup_ = nullptr;
  std::unique_ptr<QSystemTrayIcon> tray_;
  QIcon ok_icon_, problem_icon_;

  std::mutex conn_mu_;
  std::string conn_text_;  // guarded by conn_mu_
  std::atomic<bool> conn_queued_{false};
};

}  // namespace gui

#endif  // VTTEL_GUI_MAIN_WINDOW_H_
