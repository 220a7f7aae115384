#include "services/db_back_end_log.h"

#include <algorithm>
#include <cstdarg>
#include <string>

#include "platform/host_path.h"
#include "services/time_statements.h"

namespace services {
namespace {

// The longest line written; longer texts (an SQL text) are cut.
constexpr size_t kLineMax = 8192;

}  // namespace

DbBackEndLog::DbBackEndLog(std::string_view log_name) {
  if (!log_name.empty()) file_ = platform::OpenHostFile(std::string(log_name) + ".log", "a+");
}

DbBackEndLog::~DbBackEndLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void DbBackEndLog::Write(std::string_view text) {
  if (file_ == nullptr) return;
  char stamp[32];
  FormatTimeStamp(stamp);
  std::fprintf(file_, "[%s] %.*s\n", stamp, static_cast<int>(std::min(text.size(), kLineMax)),
               text.data());
  std::fflush(file_);
}

void DbBackEndLog::WriteF(const char* format, ...) {
  if (file_ == nullptr) return;
  char text[kLineMax];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Write(text);
}

}  // namespace services
