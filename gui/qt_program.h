// Runs the program with its Qt main window: makes the application (on the
// "offscreen" platform when VTTEL_HEADLESS=1 or when there is no display),
// routes Qt's own messages to the log, installs the message service (the Qt one with a display, the console one
// without), builds the window and the frame controller over the caller's
// parts, starts the frame, ticks it from the Qt loop and returns the exit
// status once the frame has ended (quit request, shutdown, close box).
//
// Thread rules: call from the main thread, once.
#ifndef VTTEL_GUI_QT_PROGRAM_H_
#define VTTEL_GUI_QT_PROGRAM_H_

#include <functional>
#include <string>

#include "frame/form_pos.h"
#include "frame/frame_controller.h"
#include "frame/run_cfg.h"
#include "frame/system_parts.h"
#include "gui/debug_pages.h"

namespace gui {

// The named events could not be created.
inline constexpr int kExitNoEvents = 1;

struct QtProgram {
  frame::SystemParts* parts = nullptr;    // must outlive the run
  frame::TagRunCfg* cfg = nullptr;
  frame::TagMapCfg* form_pos = nullptr;   // may be null
  std::string program_dir;
  // "Hangup" on an existing line of a ready drive (may be empty).
  std::function<void(int line)> hangup;
  // Called with the controller before its Start, and with nullptr once the
  // loop has ended (before the controller goes away).
  std::function<void(frame::FrameController*)> attach;
  // The script debugger: the lines' observer (null: none) and the script a
  // line runs now. Asked once, after attach.
  std::function<engine::DebugRunObserver*()> debugger;
  ScriptSource script_of;
  // Called after a successful Start.
  std::function<void()> started;
};

// True when the program runs without a display (VTTEL_HEADLESS=1, or
// neither DISPLAY nor WAYLAND_DISPLAY set).
bool IsHeadless();

int RunQtProgram(int& argc, char** argv, const QtProgram& program);

}  // namespace gui

#endif  // VTTEL_GUI_QT_PROGRAM_H_
