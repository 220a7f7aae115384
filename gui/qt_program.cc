#include "gui/qt_program.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "gui/captions.h"
#include "gui/frame_loop.h"
#include "gui/main_window.h"
#include "gui/qt_log_messages.h"
#include "gui/qt_message_service.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool IsHeadless() {
  const char* headless = std::getenv("VTTEL_HEADLESS");
  if (headless != nullptr && std::strcmp(headless, "1") == 0) return true;
  return !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY");
}

int RunQtProgram(int& argc, char** argv, const QtProgram& program) {
  const bool headless = IsHeadless();
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RouteQtMessagesToLog();
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  app.setApplicationName(FromGbk(WindowTitle("", false)));

  // Without a display nobody could close a box: the console service stays.
  std::optional<QtMessageService> messages;
  std::optional<platform::ScopedMessageService> installed;
  if (!headless) {
    messages.emplace();
    installed.emplace(&*messages);
  }

  MainWindow window(program.cfg, !headless && QSystemTrayIcon::isSystemTrayAvailable());
  window.SetHangupHandler(program.hangup);
  frame::FrameController controller(program.parts, &window, program.cfg, program.form_pos);
  FrameLoop loop(&controller);
  window.Attach(&loop);
  loop.InstallWakeHook();
  controller.SetMonitorPanel(&window);
  QObject::connect(&loop, &FrameLoop::Ended, &app, [&app](int status) { app.exit(status); });
  if (program.attach) program.attach(&controller);
  if (engine::DebugRunObserver* observer = program.debugger ? program.debugger() : nullptr) {
    window.SetDebugger(observer, program.script_of);
    controller.SetDebugger(window.debug_pages());
  }

  int status = kExitNoEvents;
  if (controller.Start(program.program_dir)) {
    window.FinishStart();
    if (program.started) program.started();
    loop.Start();
    status = app.exec();
  } else {
    std::fprintf(stderr, "vttel: cannot create the named events\n");
  }
  if (program.attach) program.attach(nullptr);
  return status;
}

}  // namespace gui
