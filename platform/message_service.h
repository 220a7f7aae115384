// The one message service of the system, in place of message boxes.
//
// A message has a text, a caption and an icon, all GBK. The service in use
// decides how it reaches a person: the window layer installs one that shows
// a modal box on the GUI thread and a non-modal notice elsewhere; without a
// display the console service writes "caption: text" (UTF-8) to stderr and
// hands the text to the log hook. No service ever blocks a non-GUI thread: a
// telephone line must never wait for someone to click.
//
// Tests install a RecordingMessageService with ScopedMessageService.
#ifndef VTTEL_PLATFORM_MESSAGE_SERVICE_H_
#define VTTEL_PLATFORM_MESSAGE_SERVICE_H_

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class MessageIcon { kNone, kError, kWarning, kInformation };

struct Message {
  std::string text;
  std::string caption;
  MessageIcon icon = MessageIcon::kNone;
};

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Thread-safe. Returns once the message is delivered or queued.
  virtual void Show(const Message& message) = 0;
  // Opens a document (a script path) in the desktop's viewer, as the
  // shell's "open" did; without a display it is only noted in the log.
  virtual void OpenDocument(std::string_view path) = 0;
};

// Writes to stderr and the log hook; the default service.
class ConsoleMessageService : public MessageService {
 public:
  void Show(const Message& message) override;
  void OpenDocument(std::string_view path) override;
};

// Keeps every message for a test to inspect.
class RecordingMessageService : public MessageService {
 public:
  void Show(const Message& message) override;
  void OpenDocument(std::string_view path) override;
  std::vector<Message> messages() const;
  std::vector<std::string> documents() const;

 private:
  mutable std::mutex mu_;
  std::vector<Message> messages_;      // guarded by mu_
  std::vector<std::string> documents_;  // guarded by mu_
};

// Shows a message through the service in use.
void ShowMessage(std::string_view text, std::string_view caption,
                 MessageIcon icon = MessageIcon::kError);
// Opens a document through the service in use.
void OpenDocument(std::string_view path);

// The frame installs the log here, so that messages shown without a window
// still land in the log. The hook gets "caption: text". Pass an empty
// function to remove it. Not called while a test's recording service is in use.
void SetMessageLogHook(std::function<void(std::string_view)> hook);

// Installs a service for the life of this object (the object must outlive
// every Show through it) and restores the previous one.
class ScopedMessageService {
 public:
  explicit ScopedMessageService(MessageService* service);
  ~ScopedMessageService();
  ScopedMessageService(const ScopedMessageService&) = delete;
  ScopedMessageService& operator=(const ScopedMessageService&) = delete;

 private:
  MessageService* previous_;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_MESSAGE_SERVICE_H_
