// The log file of one database back end: "<log name>.log" (a script path),
// opened for appending when the back end is given a log name, closed with
// it. Each line is "[YYYYMMDD HH:MM:SS.mmm] text", flushed at once; without
// a log name (or when the file cannot be opened) nothing is written.
//
// Ownership: owns its file. Thread rules: the back end's thread only.
#ifndef VTTEL_SERVICES_DB_BACK_END_LOG_H_
#define VTTEL_SERVICES_DB_BACK_END_LOG_H_

#include <cstdio>
#include <string_view>

namespace services {

class DbBackEndLog {
 public:
  // Opens "<log_name>.log" unless log_name is empty.
  explicit DbBackEndLog(std::string_view log_name);
  ~DbBackEndLog();
  DbBackEndLog(const DbBackEndLog&) = delete;
  DbBackEndLog& operator=(const DbBackEndLog&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // One stamped line.
  void Write(std::string_view text);
  // One stamped line from a printf format.
  void WriteF(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  FILE* file_ = nullptr;
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_BACK_END_LOG_H_
