// The main window's captions in the two languages (LANGUAGE_TYPE 0 Chinese,
// 1 English): menu and pop-up entries, the debugger panel's buttons, the
// status-area toggle and the window title. All texts are GBK.
//
// Thread rules: none (constant tables).
#ifndef VTTEL_GUI_CAPTIONS_H_
#define VTTEL_GUI_CAPTIONS_H_

#include <string>
#include <string_view>

namespace gui {

// Every captioned entry of the main menu and the pop-up menu.
enum class Entry {
  kFileMenu,
  kOperationMenu,
  kDebugMenu,
  kOpen,           // pop-up: show the window
  kReset,          // both menus, always disabled
  kReload,
  kExit,
  kConfigure,      // open "VtTelRun.cfg"
  kViewLog,        // open the log in use
  kStatusToggle,   // as the window is created (see StatusToggleCaption)
  kOpenPage,       // debug menu
  kClosePage,
  kCloseAll,
  kStep,
  kRun,
  kFlush,
  kCallStack,
  kBreakpoint,     // keeps its Chinese caption in English mode
  kOpenDebug,      // pop-up, same caption in both languages
  kHangup,         // pop-up, same caption in both languages
  kClosePageButton,  // the debugger panel's buttons and check box
  kStepButton,
  kRunButton,
  kFlushButton,
  kAutoFlush,
};

// The caption of an entry as the window is created.
const char* Caption(Entry entry, bool english);

// The toggle's caption once it has been used: for the status area shown
// (true) or hidden.
const char* StatusToggleCaption(bool shown, bool english);

// The window title: FORM_TITLE when it is not empty, else the built-in one.
std::string WindowTitle(std::string_view form_title, bool english);

}  // namespace gui

#endif  // VTTEL_GUI_CAPTIONS_H_
