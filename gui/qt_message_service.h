// The message service of a program with a window: on the window thread a
// modal box; from any other thread the text goes to the log and stderr (as
// the console service writes it) and a non-modal notice is queued to the
// window thread, so the calling thread never waits. Documents open in the
// desktop's viewer for their host path.
//
// Ownership: install it with platform::ScopedMessageService while the
// QApplication exists. Thread rules: Show and OpenDocument from any thread.
#ifndef VTTEL_GUI_QT_MESSAGE_SERVICE_H_
#define VTTEL_GUI_QT_MESSAGE_SERVICE_H_

#include <QObject>

#include "platform/message_service.h"

namespace gui {

class QtMessageService : public platform::MessageService {
 public:
  // The service's notices and boxes belong to the thread that makes it
  // (the window thread).
  QtMessageService();
  void Show(const platform::Message& message) override;
  void OpenDocument(std::string_view path) override;

 private:
  void ShowModal(const platform::Message& message);
  void QueueNotice(const platform::Message& message);

  platform::ConsoleMessageService console_;
  QObject context_;  // lives on the window thread: queued notices run there
};

}  // namespace gui

#endif  // VTTEL_GUI_QT_MESSAGE_SERVICE_H_
