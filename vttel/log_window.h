// The main window of a build without a window toolkit: every view call
// goes to the log (show requests, tray state changes), and the quit
// message goes to the frame controller through the posting function.
//
// Thread rules: as frame::MainWindowView (window thread only); the posting
// function must not block.
#ifndef VTTEL_VTTEL_LOG_WINDOW_H_
#define VTTEL_VTTEL_LOG_WINDOW_H_

#include <functional>
#include <string>

#include "frame/main_window.h"

namespace vttel {

class LogWindow : public frame::MainWindowView {
 public:
  void SetPostQuit(std::function<void()> post_quit) { post_quit_ = std::move(post_quit); }

  void SetVersionText(std::string_view text) override;
  void SetInfoText(std::string_view text) override;
  void SetLinesText(std::string_view text) override;
  void SetClockText(std::string_view) override {}
  void ShowFromTray() override;
  void SetTrayIcon(int icon, std::string_view tip) override;
  void GridRefreshed(int) override {}
  void SetCountText(std::string_view text) override;
  void PostQuit() override;
  // A log has no place on the screen: the saved values stay as they are.
  void ApplyPosition(const frame::TagMapCfg&) override {}
  void StorePosition(frame::TagMapCfg*) override {}

 private:
  std::function<void()> post_quit_;
  std::string count_text_;
};

}  // namespace vttel

#endif  // VTTEL_VTTEL_LOG_WINDOW_H_
