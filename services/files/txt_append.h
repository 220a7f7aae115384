// TTxtAppend: the process-wide append streams of "TextFileAppend(", one per
// file name (exact, case-sensitive text: two spellings of one file open two
// streams), and the statements "TextFileAppend(" and "TextFileClose(".
//
// A stream opens at the first append to its name (the file is created when
// missing; a file that cannot be opened keeps a record all the same, and
// every append to it gives -1 until the record is closed). Each record is
// written in text mode (LF as CR LF) with one write to a file opened for
// appending, so whole lines arrive even when other processes append to the
// same file. After every append the idle scan closes each stream whose
// last use lies kIdleCloseSeconds or more in the past (measured on the
// millisecond tick of the installed clock, platform::GetClock, so a change
// of the wall time neither closes nor keeps a stream; a stream left alone
// for the tick's whole 49-day round may be kept until the next scan after
// it has idled again).
//
// Records are held by shared ownership: an append holds its record while it
// writes, and the idle scan skips a record that a writer holds, so no write
// reaches a closed or freed stream; "TextFileClose(" forgets a record at
// once and its file closes when the last writer lets it go.
//
// Thread rules: any thread. The map lock is held only to find, create and
// remove records; writing holds only the record's own lock.
#ifndef VTTEL_SERVICES_FILES_TXT_APPEND_H_
#define VTTEL_SERVICES_FILES_TXT_APPEND_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace services {

// A stream idle this long (seconds) is closed by the next scan.
inline constexpr int64_t kIdleCloseSeconds = 601;
inline constexpr uint32_t kIdleCloseMs = static_cast<uint32_t>(kIdleCloseSeconds) * 1000;

// One open append stream.
class TTxtRec {
 public:
  // Opens the script path for appending.
  explicit TTxtRec(std::string_view path);
  TTxtRec(const TTxtRec&) = delete;
  TTxtRec& operator=(const TTxtRec&) = delete;

  // Writes the record of the mode: 0 the text; 1 and negative the text and
  // a line end; 2 "<local time with ms> : ", the text and a line end; 3 and
  // above "<local time with ms> [<line>]: ", the text and a line end. 0, or
  // -1 when the stream is not open or the write failed.
  int32_t Write(int32_t line, std::string_view text, int32_t mode);
  // Closes the stream: later writes give -1.
  void Close();
  // The clock's tick at the creation or the last successful write.
  uint32_t last_use() const;

 private:
  mutable std::mutex mu_;
  platform::FileHandle file_;  // guarded by mu_
  uint32_t lastUse_;           // guarded by mu_
};

class TTxtAppend {
 public:
  TTxtAppend() = default;
  ~TTxtAppend() = default;
  TTxtAppend(const TTxtAppend&) = delete;
  TTxtAppend& operator=(const TTxtAppend&) = delete;

  // Writes through the record of the name (created when missing), then
  // runs CloseIdle. 0 written, -1 not.
  int32_t Append(std::string_view file, int32_t line, std::string_view text, int32_t mode);
  // 0 when a record of that name was closed, -1 when there was none.
  int32_t Close(std::string_view file);
  // Closes the records idle for kIdleCloseSeconds or more that no writer
  // holds; the number closed.
  int32_t CloseIdle();
  // The number of open records.
  size_t size() const;

 private:
  // An append takes its copy of the record's pointer under mu_, so a use
  // count above 1 seen under mu_ means a writer holds the record.
  mutable std::mutex mu_;
  std::map<std::string, std::shared_ptr<TTxtRec>, std::less<>> records_;  // guarded by mu_
};

// The one appender of the process.
TTxtAppend& TextAppender();

// Registers "TextFileAppend(" and "TextFileClose(".
void RegisterTextAppendStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_TXT_APPEND_H_
