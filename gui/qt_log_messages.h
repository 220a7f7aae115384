// Qt's own messages (its warnings, debug and critical messages, such as a
// platform plugin's notes) go to the system's log, not to stderr: stderr is
// for messages to the operator. Each becomes the log line "Qt: <text>"
// (GBK), when logging is on for debug, info and warning messages and
// always for critical and fatal ones; a fatal message is also written to
// stderr, since Qt then ends the process.
//
// Thread rules: install on the main thread before the application is made;
// the handler itself may be called on any thread (the log is thread-safe).
#ifndef VTTEL_GUI_QT_LOG_MESSAGES_H_
#define VTTEL_GUI_QT_LOG_MESSAGES_H_

#include <QtGlobal>

namespace gui {

// The handler that RouteQtMessagesToLog installs.
void LogQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text);

// Installs LogQtMessage as Qt's message handler for the rest of the process.
void RouteQtMessagesToLog();

}  // namespace gui

#endif  // VTTEL_GUI_QT_LOG_MESSAGES_H_
