// The one QApplication of a gui test binary, on Qt's offscreen platform.
#ifndef VTTEL_TESTS_GUI_QT_APP_H_
#define VTTEL_TESTS_GUI_QT_APP_H_

#include <QApplication>
#include <cstdlib>

namespace gui_test {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "gui_tests";
  static char* argv[] = {name, nullptr};
  // Offscreen, unless a test that runs this binary on a display of its
  // own names the platform.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Kept for the whole run: widgets of static tests never outlive it.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace gui_test

#endif  // VTTEL_TESTS_GUI_QT_APP_H_
