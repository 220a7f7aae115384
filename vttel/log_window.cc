#include "vttel/log_window.h"

#include "frame/log.h"

namespace vttel {

void LogWindow::SetVersionText(std::string_view text) { frame::LogAlways(text); }
void LogWindow::SetInfoText(std::string_view text) { frame::LogAlways(text); }
void LogWindow::SetLinesText(std::string_view text) { frame::LogAlways(text); }

void LogWindow::ShowFromTray() { frame::LogAlways("show request: the window is shown"); }

void LogWindow::SetTrayIcon(int icon, std::string_view tip) {
  frame::LogMsgF("tray icon %d: %.*s", icon, static_cast<int>(tip.size()), tip.data());
}

// Only a changed count is logged, not every pass.
void LogWindow::SetCountText(std::string_view text) {
  if (text == count_text_) return;
  count_text_ = text;
  frame::LogMsg(text);
}

void LogWindow::PostQuit() {
  if (post_quit_) post_quit_();
}

}  // namespace vttel
