#include "frame/log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "frame/log_format.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "platform/thread_id.h"

namespace frame {
namespace {

constexpr size_t kFormattedMax = 2048;

// The process log. Writers take a reference under a short plain lock and
// write without it; replacing or closing the log swaps the reference, so a
// stream of writers can never keep the replacement waiting (a readers-first
// shared lock let four busy writers hold off a close for good). The old log
// is deleted once its last writer has let it go: the closer waits for them
// (each holds it for one write).
std::mutex& LogSlotMutex() {
  static std::mutex mu;
  return mu;
}
std::shared_ptr<TagWriteLog> process_log;  // guarded by LogSlotMutex()

std::shared_ptr<TagWriteLog> CurrentLog() {
  std::lock_guard<std::mutex> lock(LogSlotMutex());
  return process_log;
}

// Puts log in place of the process log, and deletes the old one once no
// writer holds it any more.
void ReplaceLog(std::shared_ptr<TagWriteLog> log) {
  {
    std::lock_guard<std::mutex> lock(LogSlotMutex());
    process_log.swap(log);
  }
  while (log != nullptr && log.use_count() > 1) std::this_thread::yield();
}

int32_t LogLevel() { return GetSettings().log_level.load(std::memory_order_relaxed); }

void WriteMain(std::string_view text) {
  if (const std::shared_ptr<TagWriteLog> log = CurrentLog()) log->Write(text);
}

std::string Format(const char* format, va_list args) {
  char buf[kFormattedMax];
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  if (n < 0) return std::string();
  return std::string(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n)
                                                                : sizeof buf - 1);
}

}  // namespace

void OpenProcessLog(std::unique_ptr<TagWriteLog> log) {
  ReplaceLog(std::move(log));
  platform::SetMessageLogHook([](std::string_view line) { LogAlways(line); });
}

void CloseProcessLog() {
  platform::SetMessageLogHook(nullptr);
  ReplaceLog(nullptr);
}

int FlushProcessLog() {
  const std::shared_ptr<TagWriteLog> log = CurrentLog();
  return log != nullptr ? log->Flush() : -1;
}

bool HasProcessLog() { return CurrentLog() != nullptr; }

void WriteLog(std::string_view text) {
  WriteMain(text);
  if (LogLevel() > 2) WriteRawLog(text);
}

void LogAlways(std::string_view text) { WriteLog(text); }

void LogMsg(std::string_view text) {
  if (LogLevel() != 0) WriteLog(text);
}

void LogMsg2(std::string_view text) { LogMsg(text); }

void LogAudio(std::string_view text) { LogMsg(text); }

void WriteRawLog(std::string_view text) {
  if (LogLevel() < 2) return;
  char prefix[kLogPrefixBytes];
  FormatLogPrefix(platform::GetClock().Now(), platform::CurrentThreadId(), prefix, sizeof prefix);
  std::string line;
  line.reserve(sizeof prefix + text.size() + 2);
  line.append(prefix).append(text).append("]\n");
  FILE* f = std::fopen(kRawLogName, "ab");
  if (f == nullptr) return;  // the line is dropped
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

void LogAlwaysF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  LogAlways(text);
}

void LogMsgF(const char* format, ...) {
  if (LogLevel() == 0) return;
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  WriteLog(text);
}

void WriteRawLogF(const char* format, ...) {
  if (LogLevel() < 2) return;
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  WriteRawLog(text);
}

}  // namespace frame
