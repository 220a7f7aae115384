#include "services/db/db_back_end_log.h"

#include <cstdarg>
#include <string>

#include "frame/log_format.h"
#include "platform/clock.h"
#include "platform/host_path.h"

namespace services {
namespace {

// The longest text WriteF formats.
constexpr size_t kFormatMax = 8192;

}  // namespace

std::string DbLogPath(std::string_view log_name) {
  return log_name.empty() ? std::string() : std::string(log_name) + ".log";
}

DbBackEndLog::DbBackEndLog(std::string_view log_name) : rule_(OpenRule::kFirstUser) {
  Enter(DbLogPath(log_name));
}

DbBackEndLog::~DbBackEndLog() {
  if (file_ != nullptr) std::fclose(file_);
}

int DbBackEndLog::Enter(std::string_view path, std::string_view opening_line) {
  std::lock_guard<std::mutex> lock(mu_);
  const bool may_open = rule_ == OpenRule::kFirstUser ? users_ == 0 : file_ == nullptr;
  ++users_;
  if (may_open && !path.empty()) {
    file_ = platform::OpenHostFile(path, "a+");
    if (!opening_line.empty()) PutLocked(true, opening_line, "\n");
  }
  return users_;
}

void DbBackEndLog::Leave(std::string_view closing_line) {
  std::lock_guard<std::mutex> lock(mu_);
  if (users_ == 0 || --users_ > 0 || file_ == nullptr) return;
  if (!closing_line.empty()) PutLocked(true, closing_line, "\n");
  std::fclose(file_);
  file_ = nullptr;
}

void DbBackEndLog::Write(std::string_view text) {
  std::lock_guard<std::mutex> lock(mu_);
  PutLocked(true, text, "\n");
}

void DbBackEndLog::WriteF(const char* format, ...) {
  char text[kFormatMax];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Write(text);
}

void DbBackEndLog::WriteAsIs(std::string_view text, bool stamped) {
  std::lock_guard<std::mutex> lock(mu_);
  PutLocked(stamped, text, "");
}

bool DbBackEndLog::IsOpen() {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

int DbBackEndLog::Count() {
  std::lock_guard<std::mutex> lock(mu_);
  return users_;
}

void DbBackEndLog::PutLocked(bool stamped, std::string_view text, std::string_view end) {
  if (file_ == nullptr) return;
  // A text ends at its first zero byte, as a C string does.
  text = text.substr(0, text.find('\0'));
  if (stamped) {
    char stamp[32];
    frame::FormatLogStamp(platform::GetClock().Now(), stamp, sizeof stamp);
    std::fprintf(file_, "[%s] ", stamp);
  }
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fwrite(end.data(), 1, end.size(), file_);
  std::fflush(file_);
}

}  // namespace services
