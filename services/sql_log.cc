#include "services/sql_log.h"

#include <string>

#include "platform/clock.h"
#include "platform/host_path.h"

namespace services {

// Never destroyed: back ends that live until exit (the pool's members)
// still write their last line.
SqlLog& SqlLog::Shared() {
  static SqlLog* log = new SqlLog;
  return *log;
}

void SqlLog::Acquire() {
  std::lock_guard<std::mutex> lock(mu_);
  if (references_++ == 0) file_ = platform::OpenHostFile(kSqlLogPath, "a+");
}

void SqlLog::Release() {
  std::lock_guard<std::mutex> lock(mu_);
  if (references_ == 0 || --references_ > 0) return;
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void SqlLog::Write(std::string_view text) {
  const platform::WallTime t = platform::GetClock().Now();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%d%02d%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millis);
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr) return;
  std::fprintf(file_, "[%s] %.*s\n", stamp, static_cast<int>(text.size()), text.data());
  std::fflush(file_);
}

bool SqlLog::IsOpen() {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

}  // namespace services
