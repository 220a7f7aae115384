// Qt's own messages land in the log, never on stderr; a critical one is
// logged whatever the log level.
#include "gui/qt_log_messages.h"

#include <QtGlobal>
#include <string>

#include "frame/settings.h"
#include "gtest/gtest.h"
#include "tests/frame/captured_log.h"
#include "tests/gui/qt_app.h"
#include "tests/test_support.h"

namespace gui {
namespace {

TEST(QtLogMessagesTest, QtMessagesGoToTheLogNotToStderr) {
  gui_test::TestApp();
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  const QtMessageHandler before = qInstallMessageHandler(nullptr);
  RouteQtMessagesToLog();
  {
    frame_test::CapturedLog log;
    testing::internal::CaptureStderr();
    qWarning("This plugin does not support propagateSizeHints()");
    qDebug("a debug print");
    frame::GetSettings().log_level = 0;
    qWarning("not at level 0");
    qCritical("critical %d", 7);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "");
    const std::string text = log.Text();
    EXPECT_NE(text.find("Qt: This plugin does not support propagateSizeHints()]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Qt: a debug print]"), std::string::npos) << text;
    EXPECT_EQ(text.find("not at level 0"), std::string::npos) << text;
    EXPECT_NE(text.find("Qt: critical 7]"), std::string::npos) << text;
  }
  qInstallMessageHandler(before);
}

}  // namespace
}  // namespace gui
