#include "platform/message_service.h"

#include <atomic>
#include <cstdio>

#include "platform/codepage.h"

namespace platform {
namespace {

std::atomic<MessageService*>& InstalledService() {
  static ConsoleMessageService console;
  static std::atomic<MessageService*> service{&console};
  return service;
}

std::mutex& HookMutex() {
  static std::mutex mu;
  return mu;
}

std::function<void(std::string_view)>& Hook() {  // guarded by HookMutex()
  static std::function<void(std::string_view)> hook;
  return hook;
}

}  // namespace

void ConsoleMessageService::Show(const Message& message) {
  std::string line = message.caption + ": " + message.text;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    if (Hook()) Hook()(line);
  }
  std::string utf8 = GbkToUtf8(line);
  std::fprintf(stderr, "%s\n", utf8.c_str());
  std::fflush(stderr);
}

void ConsoleMessageService::OpenDocument(std::string_view path) {
  std::lock_guard<std::mutex> lock(HookMutex());
  if (Hook()) Hook()(std::string("open: ") + std::string(path));
}

void RecordingMessageService::OpenDocument(std::string_view path) {
  std::lock_guard<std::mutex> lock(mu_);
  documents_.emplace_back(path);
}

std::vector<std::string> RecordingMessageService::documents() const {
  std::lock_guard<std::mutex> lock(mu_);
  return documents_;
}

void RecordingMessageService::Show(const Message& message) {
  std::lock_guard<std::mutex> lock(mu_);
  messages_.push_back(message);
}

std::vector<Message> RecordingMessageService::messages() const {
  std::lock_guard<std::mutex> lock(mu_);
  return messages_;
}

void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) {
  InstalledService().load(std::memory_order_acquire)
      ->Show(Message{std::string(text), std::string(caption), icon});
}

void OpenDocument(std::string_view path) {
  InstalledService().load(std::memory_order_acquire)->OpenDocument(path);
}

void SetMessageLogHook(std::function<void(std::string_view)> hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  Hook() = std::move(hook);
}

ScopedMessageService::ScopedMessageService(MessageService* service)
    : previous_(InstalledService().exchange(service, std::memory_order_acq_rel)) {}

ScopedMessageService::~ScopedMessageService() {
  InstalledService().store(previous_, std::memory_order_release);
}

}  // namespace platform
