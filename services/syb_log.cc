#include "services/syb_log.h"

#include <cstdarg>

#include "platform/clock.h"
#include "platform/host_path.h"

namespace services {

// Never destroyed: back ends that live until exit still write their last line.
SybLog& SybLog::Shared() {
  static SybLog* log = new SybLog;
  return *log;
}

std::string SybLog::Stamp() {
  const platform::WallTime t = platform::GetClock().Now();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%d%02d%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millis);
  return stamp;
}

int SybLog::Enter(std::string_view application) {
  std::lock_guard<std::mutex> lock(mu_);
  ++count_;
  if (file_ == nullptr && !application.empty()) {
    file_ = platform::OpenHostFile(std::string(application) + ".log", "a+");
    if (file_ != nullptr) {
      std::fprintf(file_, "[%s] VtAppServer Started.\n", Stamp().c_str());
      std::fflush(file_);
    }
  }
  return count_;
}

void SybLog::Leave() {
  std::lock_guard<std::mutex> lock(mu_);
  if (count_ > 0) --count_;
  if (count_ > 0 || file_ == nullptr) return;
  std::fprintf(file_, "[%s] VtAppServer Closed.\n", Stamp().c_str());
  std::fclose(file_);
  file_ = nullptr;
}

void SybLog::Write(const char* format, ...) {
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file_, format, args);
  va_end(args);
  std::fflush(file_);
}

bool SybLog::IsOpen() {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

int SybLog::Count() {
  std::lock_guard<std::mutex> lock(mu_);
  return count_;
}

}  // namespace services
