// The log every SQL Server back end shares, and the count of those back ends.
//
// The file is "<application name>.log", opened for appending by the first
// back end made with a non-empty application name while none is open, and
// closed (after "VtAppServer Closed.") when the last back end goes. Lines
// are written as formatted, stamped by the caller with Stamp(), and flushed
// at once; nothing is written while the file is closed.
//
// Thread rules: any thread; the file and the count are under one lock, and
// each Write is one whole write under it.
#ifndef VTTEL_SERVICES_SYB_LOG_H_
#define VTTEL_SERVICES_SYB_LOG_H_

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace services {

class SybLog {
 public:
  // The one log of the process.
  static SybLog& Shared();

  // A back end is made: counts it, opens the file for a non-empty
  // application name when none is open (writing "VtAppServer Started."):
  // the new count.
  int Enter(std::string_view application);
  // A back end is gone: the count drops, and at zero the file is closed.
  void Leave();
  // Writes the formatted text when the file is open.
  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool IsOpen();
  int Count();

  // The local time as "YYYYMMDD HH:MM:SS.mmm".
  static std::string Stamp();

 private:
  std::mutex mu_;
  FILE* file_ = nullptr;  // guarded by mu_
  int count_ = 0;         // guarded by mu_
};

}  // namespace services

#endif  // VTTEL_SERVICES_SYB_LOG_H_
