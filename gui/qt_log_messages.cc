#include "gui/qt_log_messages.h"

#include <QString>
#include <cstdio>
#include <string>

#include "frame/log.h"
#include "gui/qt_text.h"

namespace gui {

void LogQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  const std::string line = "Qt: " + ToGbk(text);
  switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
    case QtWarningMsg:
      frame::LogMsg(line);
      return;
    case QtFatalMsg:
      std::fprintf(stderr, "vttel: %s\n", text.toUtf8().constData());
      [[fallthrough]];
    case QtCriticalMsg:
      frame::LogAlways(line);
      frame::FlushProcessLog();
      return;
  }
}

void RouteQtMessagesToLog() { qInstallMessageHandler(&LogQtMessage); }

}  // namespace gui
