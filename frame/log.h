// The log front ends that every subsystem calls, and the process-wide log.
//
//   LogAlways        into the main log whatever the log level
//   LogMsg, LogMsg2  into the main log when the log level is not 0
//   LogAudio         as LogMsg; used by the sound-card code
//   WriteLog         into the main log; above level 2 also into the raw trace
//   WriteRawLog      at level 2 and above, appended to "RawLog.txt" at once
//                    (opened and closed for every line, never cut or limited)
//
// The main log exists from start-up (OpenProcessLog) to shutdown
// (CloseProcessLog); outside that time the main-log calls write nothing.
// All functions are thread-safe; a line being written keeps the log alive.
#ifndef VTTEL_FRAME_LOG_H_
#define VTTEL_FRAME_LOG_H_

#include <memory>
#include <string_view>

#include "frame/log_writer.h"

namespace frame {

// The raw trace file, in the working directory.
inline constexpr const char* kRawLogName = "RawLog.txt";

// Installs the process-wide log (replacing and closing an earlier one) and
// routes the messages shown without a window into it.
void OpenProcessLog(std::unique_ptr<TagWriteLog> log);
// Flushes the log, writes "System Closed." and deletes it. Open and Close
// wait for the writes already in progress on the old log (one line each);
// never call them from inside a log write.
void CloseProcessLog();
// The display pass's flush: the number of lines written, -1 without a log.
int FlushProcessLog();
bool HasProcessLog();

void LogAlways(std::string_view text);
void LogMsg(std::string_view text);
void LogMsg2(std::string_view text);
void LogAudio(std::string_view text);
void WriteLog(std::string_view text);
void WriteRawLog(std::string_view text);

// printf-style forms of the front ends (the text is cut at 2047 bytes).
void LogAlwaysF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogMsgF(const char* format, ...) __attribute__((format(printf, 1, 2)));
void WriteRawLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace frame

#endif  // VTTEL_FRAME_LOG_H_
