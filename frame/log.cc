#include "frame/log.h"

#include <cstdarg>
#include <cstdio>
#include <shared_mutex>
#include <string>

#include "frame/log_format.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "platform/thread_id.h"

namespace frame {
namespace {

constexpr size_t kFormattedMax = 2048;

// Writers hold the shared side while they use the log; replacing or
// deleting it takes the exclusive side.
std::shared_mutex& LogGuard() {
  static std::shared_mutex mu;
  return mu;
}
TagWriteLog* process_log = nullptr;  // guarded by LogGuard()

int32_t LogLevel() { return GetSettings().log_level.load(std::memory_order_relaxed); }

void WriteMain(std::string_view text) {
  std::shared_lock<std::shared_mutex> lock(LogGuard());
  if (process_log != nullptr) process_log->Write(text);
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
  {
    std::unique_lock<std::shared_mutex> lock(LogGuard());
    delete process_log;
    process_log = log.release();
  }
  platform::SetMessageLogHook([](std::string_view line) { LogAlways(line); });
}

void CloseProcessLog() {
  platform::SetMessageLogHook(nullptr);
  std::unique_lock<std::shared_mutex> lock(LogGuard());
  delete process_log;
  process_log = nullptr;
}

int FlushProcessLog() {
  std::shared_lock<std::shared_mutex> lock(LogGuard());
  return process_log != nullptr ? process_log->Flush() : -1;
}

bool HasProcessLog() {
  std::shared_lock<std::shared_mutex> lock(LogGuard());
  return process_log != nullptr;
}

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
