// What the display pass shows through the main window, and where its count
// text goes besides the window. The Qt window implements WindowView;
// the monitor server implements SummaryTarget. Texts are GBK.
//
// Thread rules: every call comes from the window thread (the display
// pass); none may wait for a line thread.
#ifndef VTTEL_FRAME_WINDOW_VIEW_H_
#define VTTEL_FRAME_WINDOW_VIEW_H_

#include <string_view>

#include "frame/form_pos.h"

namespace frame {

// Icons of the tray image list.
inline constexpr int kTrayIconOk = 0;
inline constexpr int kTrayIconProblem = 2;

class WindowView {
 public:
  virtual ~WindowView() = default;
  // The version label, the information panel (start time or the build
  // failure) and the line-count panel; set at start.
  virtual void SetVersionText(std::string_view text) = 0;
  virtual void SetInfoText(std::string_view text) = 0;
  virtual void SetLinesText(std::string_view text) = 0;
  // The clock panel ("hh:mm:ss").
  virtual void SetClockText(std::string_view text) = 0;
  // Shows the window as the tray's "open" entry does: show, restore, hide
  // the task-bar window, bring it to the foreground.
  virtual void ShowFromTray() = 0;
  // Replaces the tray icon (kTrayIcon*) and its tip.
  virtual void SetTrayIcon(int icon, std::string_view tip) = 0;
  // The monitor table has copied `cells` changed cells (at least one) into
  // the grid model; the window repaints them.
  virtual void GridRefreshed(int cells) = 0;
  // The connection-count panel.
  virtual void SetCountText(std::string_view text) = 0;
  // Posts the quit message (the shutdown runs later from the message loop).
  virtual void PostQuit() = 0;
  // Takes the saved place, size and column widths (ReadFormPos), or the
  // default layout when the file holds no place. Called once at start.
  virtual void ApplyPosition(const TagMapCfg& saved) = 0;
  // Stores the window's place, size and column widths (StoreFormPos) for
  // the shutdown to save.
  virtual void StorePosition(TagMapCfg* cfg) = 0;
};

// The main window's monitor-connection panel as the monitor server writes
// it: unlike the calls above, from any thread.
class MonitorConnPanel {
 public:
  virtual ~MonitorConnPanel() = default;
  // The server's state and client count (GBK). Called from the server's
  // threads as well as the constructing one: an implementation hands the
  // text over to the window thread and never blocks.
  virtual void ShowMonitorConn(std::string_view text) = 0;
};

class SummaryTarget {
 public:
  virtual ~SummaryTarget() = default;
  // The summary line that monitoring clients receive after their cells.
  virtual void SetSummary(std::string_view text) = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_WINDOW_VIEW_H_
