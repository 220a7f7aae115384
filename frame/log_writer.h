// TagWriteLog: the main log file with per-thread buffers.
//
// Every thread that logs gets a ring of 40 records of its own; a line is
// formatted into the calling thread's ring without the log's lock and the
// rings are written out together by Flush (the display pass, a thread whose
// ring is full, every write in immediate mode, and the destruction). Within
// one flush the lines come grouped by thread in ascending thread-id order,
// each thread's lines in the order it wrote them.
//
// A line reads "YYYY-MM-DD hh:mm:ss.mmm 0x<tid> [<text>]", the text cut to
// 127 bytes. Single-file mode keeps one file (moved to "<name>.bak" at start
// when larger than the limit, written again from its start when it passes
// the limit); dated mode names each file after its start time
// ("msg_log20140305_081500.txt") and opens a new one when it passes the limit.
//
// Thread-safe: Write from any thread, Flush from any thread. The object must
// outlive every call; the front ends in log.h guard the process-wide one.
#ifndef VTTEL_FRAME_LOG_WRITER_H_
#define VTTEL_FRAME_LOG_WRITER_H_

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace frame {

inline constexpr int kLogRecordsPerThread = 40;
inline constexpr size_t kLogPrefixBytes = 45;
inline constexpr size_t kLogTextBytes = 128;  // 127 characters and a zero byte

class TagWriteLog {
 public:
  // file_name is a script-visible path; size_limit 0 means no limit.
  TagWriteLog(std::string_view file_name, uint32_t size_limit, bool immediate,
              bool single_file);
  ~TagWriteLog();
  TagWriteLog(const TagWriteLog&) = delete;
  TagWriteLog& operator=(const TagWriteLog&) = delete;

  // Buffers one line for the calling thread (flushing first when its ring
  // is full); in immediate mode writes it out at once.
  void Write(std::string_view text);

  // Writes every buffered line; returns their number, or -1 without a file
  // (the lines then stay buffered).
  int Flush();

  bool has_file() const;
  // The host path of the file in use (empty without a file).
  std::string current_path() const;

 private:
  struct ThreadLogRec;

  ThreadLogRec* ThreadBuffer();
  void Open();
  int FlushLocked();
  std::string HostName(const std::string& script_name) const;

  const uint32_t size_limit_;
  const bool immediate_;
  const bool single_file_;
  std::string base_name_;   // script-visible, GBK
  std::string extension_;   // ".txt" in dated mode, else empty
  const uint64_t instance_id_;

  mutable std::mutex mu_;
  FILE* file_ = nullptr;                                      // guarded by mu_
  std::string path_;                                          // guarded by mu_
  bool said_no_file_ = false;                                 // guarded by mu_
  std::map<uint32_t, std::unique_ptr<ThreadLogRec>> threads_;  // guarded by mu_
};

}  // namespace frame

#endif  // VTTEL_FRAME_LOG_WRITER_H_
