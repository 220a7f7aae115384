#include "gui/qt_message_service.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QUrl>

#include "gui/qt_text.h"
#include "platform/codepage.h"
#include "platform/host_path.h"

namespace gui {
namespace {

QMessageBox::Icon BoxIcon(platform::MessageIcon icon) {
  switch (icon) {
    case platform::MessageIcon::kError:
      return QMessageBox::Critical;
    case platform::MessageIcon::kWarning:
      return QMessageBox::Warning;
    case platform::MessageIcon::kInformation:
      return QMessageBox::Information;
    case platform::MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtMessageService::QtMessageService() = default;

void QtMessageService::Show(const platform::Message& message) {
  console_.Show(message);
  if (QThread::currentThread() == context_.thread()) {
    ShowModal(message);
  } else {
    QueueNotice(message);
  }
}

void QtMessageService::ShowModal(const platform::Message& message) {
  QMessageBox box(BoxIcon(message.icon), FromGbk(message.caption), FromGbk(message.text),
                  QMessageBox::Ok);
  box.exec();
}

void QtMessageService::QueueNotice(const platform::Message& message) {
  QMetaObject::invokeMethod(
      &context_,
      [message] {
        auto* box = new QMessageBox(BoxIcon(message.icon), FromGbk(message.caption),
                                    FromGbk(message.text), QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
      },
      Qt::QueuedConnection);
}

void QtMessageService::OpenDocument(std::string_view path) {
  console_.OpenDocument(path);
  const std::optional<std::string> host = platform::ToHostPath(path);
  if (!host) return;
  const QString file = QFileInfo(QString::fromStdString(*host)).absoluteFilePath();
  const std::string where(path);
  QMetaObject::invokeMethod(
      &context_,
      [file, where] {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
          platform::ConsoleMessageService().Show(
              {"cannot open " + where, "Vantorel System", platform::MessageIcon::kWarning});
        }
      },
      Qt::QueuedConnection);
}

}  // namespace gui
