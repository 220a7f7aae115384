// DbBackEndLog: an append-only log file of the database back ends, shared
// by the back ends that write into it: the SQL log of the ADO back ends,
// the log of the SQL Server back ends, and the "<log name>.log" of one
// MySQL or database-server back end.
//
// The log counts its users. A user that comes with a path (a script path)
// opens the file for appending, by the rule the log was made with: only
// the first user, or any user while no file is open (a log left closed by
// a failed open or by users without a path opens with the next one). The
// last user to go closes it. Lines are "[YYYYMMDD hh:mm:ss.mmm] text"
// (frame/log_format.h), flushed at once; nothing is written while the file
// is closed.
//
// Thread rules: any thread; the file, the count and each write are under
// one lock.
#ifndef VTTEL_SERVICES_DB_DB_BACK_END_LOG_H_
#define VTTEL_SERVICES_DB_DB_BACK_END_LOG_H_

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace services {

// The path of a back end's log: "<log_name>.log"; empty for an empty name.
std::string DbLogPath(std::string_view log_name);

class DbBackEndLog {
 public:
  enum class OpenRule { kFirstUser, kWhileClosed };

  // A log without users.
  explicit DbBackEndLog(OpenRule rule) : rule_(rule) {}
  // The log of one back end: its one user opens "<log_name>.log" unless
  // log_name is empty.
  explicit DbBackEndLog(std::string_view log_name);
  // Closes the file.
  ~DbBackEndLog();
  DbBackEndLog(const DbBackEndLog&) = delete;
  DbBackEndLog& operator=(const DbBackEndLog&) = delete;

  // A user comes: counts it and opens path by the rule unless path is
  // empty; when this opened the file, writes opening_line (unless empty)
  // as a stamped line. The new count of users.
  int Enter(std::string_view path, std::string_view opening_line = {});
  // A user goes: with the last one, writes closing_line (unless empty) as
  // a stamped line and closes the file.
  void Leave(std::string_view closing_line = {});

  // One stamped line.
  void Write(std::string_view text);
  // One stamped line from a printf format (cut at 8191 bytes).
  void WriteF(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The text as it is, behind the stamp and a blank when stamped: for
  // writers whose texts carry their own line ends.
  void WriteAsIs(std::string_view text, bool stamped);

  bool IsOpen();
  int Count();

 private:
  // REQUIRES: mu_ held. Writes stamped the stamp, the text, then end.
  void PutLocked(bool stamped, std::string_view text, std::string_view end);

  const OpenRule rule_;
  std::mutex mu_;
  FILE* file_ = nullptr;  // guarded by mu_
  int users_ = 0;         // guarded by mu_
};

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_BACK_END_LOG_H_
