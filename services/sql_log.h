// The SQL log that every ADO back end given a log name shares: the text
// file "log\sqlapp.log", opened for appending by the first such back end
// and closed when the last one lets go of it. Each line is
// "[YYYYMMDD HH:MM:SS.mmm] text", flushed at once; nothing is written
// while the file is closed.
//
// Thread rules: any thread; opening, closing, the reference count and each
// line are under one lock.
#ifndef VTTEL_SERVICES_SQL_LOG_H_
#define VTTEL_SERVICES_SQL_LOG_H_

#include <cstdio>
#include <mutex>
#include <string_view>

namespace services {

inline constexpr std::string_view kSqlLogPath = "log\\sqlapp.log";

class SqlLog {
 public:
  // The one log of the process.
  static SqlLog& Shared();

  // Takes a reference, opening the file on the first.
  void Acquire();
  // Gives a reference back, closing the file with the last.
  void Release();
  // Writes one stamped line when the file is open.
  void Write(std::string_view text);
  bool IsOpen();

 private:
  std::mutex mu_;
  FILE* file_ = nullptr;  // guarded by mu_
  int references_ = 0;    // guarded by mu_
};

}  // namespace services

#endif  // VTTEL_SERVICES_SQL_LOG_H_
