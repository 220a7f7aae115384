#include "frame/log_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "frame/log_format.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/thread_id.h"

namespace frame {

// One thread's ring of records. The owning thread fills the record at
// tail and then advances tail; Flush, under the log's lock, writes the
// records from head to tail and then advances head. Both counters only
// grow; tail - head is the number of lines waiting.
struct TagWriteLog::ThreadLogRec {
  struct Record {
    char prefix[kLogPrefixBytes];
    char text[kLogTextBytes];
  };
  Record records[kLogRecordsPerThread];
  std::atomic<uint32_t> head{0};
  std::atomic<uint32_t> tail{0};
};

namespace {

std::atomic<uint64_t> next_instance_id{1};

// The calling thread's ring in the most recently used log.
struct ThreadCache {
  uint64_t instance = 0;
  void* rec = nullptr;
};
thread_local ThreadCache thread_cache;

// Splits a dated-mode name at the last '.' after the last '\' or '/'.
void SplitName(const std::string& name, std::string* base, std::string* ext) {
  for (size_t i = name.size(); i > 0; --i) {
    char c = name[i - 1];
    if (c == '\\' || c == '/') break;
    if (c == '.') {
      *base = name.substr(0, i - 1);
      *ext = name.substr(i - 1);
      return;
    }
  }
  *base = name;
  ext->clear();
}

std::string DatedStamp() {
  platform::WallTime t = platform::GetClock().Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return stamp;
}

void MoveToBackup(const std::string& path) {
  const std::string bak = path + ".bak";
  if (platform::RenameHostFile(path, bak)) return;
  platform::CopyHostFile(path, bak);
}

bool Exists(const std::string& path) {
  return platform::HostFileExists(path);
}

}  // namespace

TagWriteLog::TagWriteLog(std::string_view file_name, uint32_t size_limit, bool immediate,
                         bool single_file)
    : size_limit_(size_limit),
      immediate_(immediate),
      single_file_(single_file),
      instance_id_(next_instance_id.fetch_add(1)) {
  if (single_file_) {
    base_name_ = std::string(file_name);
  } else {
    SplitName(std::string(file_name), &base_name_, &extension_);
  }
  std::lock_guard<std::mutex> lock(mu_);
  Open();
  if (file_ != nullptr) {
    std::fputs("\nSystem Start...\n", file_);
    std::fflush(file_);
  }
}

TagWriteLog::~TagWriteLog() {
  std::lock_guard<std::mutex> lock(mu_);
  FlushLocked();
  if (file_ != nullptr) {
    std::fputs("System Closed.\n", file_);
    std::fclose(file_);
    file_ = nullptr;
  }
  if (thread_cache.instance == instance_id_) thread_cache = ThreadCache{};
}

std::string TagWriteLog::HostName(const std::string& script_name) const {
  return platform::ToHostPath(script_name).value_or(std::string());
}

// REQUIRES: mu_ held.
void TagWriteLog::Open() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  std::string host;
  if (single_file_) {
    host = HostName(base_name_);
  } else {
    // A dated name already used within this second by a file that is full
    // gets a counter, so that a rotation never empties the file just written.
    const std::string stamped = base_name_ + DatedStamp();
    host = HostName(stamped + extension_);
    for (int n = 1; n < 1000 && !host.empty() && size_limit_ != 0 && Exists(host); ++n) {
      const std::optional<uint64_t> size = platform::HostFileSize(host);
      if (size && *size <= size_limit_) break;
      host = HostName(stamped + "_" + std::to_string(n) + extension_);
    }
  }
  long position = 0;
  if (!host.empty()) {
    file_ = std::fopen(host.c_str(), "r+b");
    if (file_ != nullptr && std::fseek(file_, 0, SEEK_END) == 0) position = std::ftell(file_);
  }
  // A file over the limit starts anew (single-file mode keeps it as ".bak");
  // a missing file is created, also when there is no limit.
  const bool too_large =
      file_ != nullptr && size_limit_ != 0 && static_cast<unsigned long>(position) > size_limit_;
  if (too_large) {
    std::fclose(file_);
    file_ = nullptr;
    if (single_file_) MoveToBackup(host);
  }
  if (!host.empty() && file_ == nullptr) file_ = std::fopen(host.c_str(), "w+b");
  path_ = file_ != nullptr ? host : std::string();
  if (file_ == nullptr && !said_no_file_) {
    said_no_file_ = true;
    std::string shown = platform::GbkToUtf8(single_file_ ? base_name_ : base_name_ + extension_);
    std::fprintf(stderr, "vttel: cannot open the log file \"%s\" (%s); going on without a log\n",
                 shown.c_str(), host.empty() ? "no such drive" : std::strerror(errno));
  }
}

TagWriteLog::ThreadLogRec* TagWriteLog::ThreadBuffer() {
  if (thread_cache.instance == instance_id_) return static_cast<ThreadLogRec*>(thread_cache.rec);
  std::lock_guard<std::mutex> lock(mu_);
  std::unique_ptr<ThreadLogRec>& rec = threads_[platform::CurrentThreadId()];
  if (!rec) rec = std::make_unique<ThreadLogRec>();
  thread_cache = ThreadCache{instance_id_, rec.get()};
  return rec.get();
}

void TagWriteLog::Write(std::string_view text) {
  ThreadLogRec* rec = ThreadBuffer();
  uint32_t tail = rec->tail.load(std::memory_order_relaxed);
  if (tail - rec->head.load(std::memory_order_acquire) >= kLogRecordsPerThread) {
    Flush();
    std::lock_guard<std::mutex> lock(mu_);
    uint32_t head = rec->head.load(std::memory_order_relaxed);
    // Without a file nothing was written out: the oldest line is dropped.
    if (tail - head >= kLogRecordsPerThread) rec->head.store(head + 1, std::memory_order_release);
  }
  ThreadLogRec::Record& r = rec->records[tail % kLogRecordsPerThread];
  FormatLogPrefix(platform::GetClock().Now(), platform::CurrentThreadId(), r.prefix,
                  sizeof r.prefix);
  size_t n = text.size() < kLogTextBytes - 1 ? text.size() : kLogTextBytes - 1;
  std::memcpy(r.text, text.data(), n);
  r.text[n] = '\0';
  rec->tail.store(tail + 1, std::memory_order_release);
  if (immediate_) Flush();
}

int TagWriteLog::Flush() {
  std::lock_guard<std::mutex> lock(mu_);
  return FlushLocked();
}

// REQUIRES: mu_ held.
int TagWriteLog::FlushLocked() {
  if (file_ == nullptr) return -1;
  int written = 0;
  for (auto& [tid, rec] : threads_) {
    uint32_t head = rec->head.load(std::memory_order_relaxed);
    const uint32_t tail = rec->tail.load(std::memory_order_acquire);
    for (; head != tail; ++head) {
      const ThreadLogRec::Record& r = rec->records[head % kLogRecordsPerThread];
      std::fputs(r.prefix, file_);
      std::fputs(r.text, file_);
      std::fputs("]\n", file_);
      ++written;
    }
    rec->head.store(tail, std::memory_order_release);
  }
  if (written == 0) return 0;
  std::fflush(file_);
  long position = std::ftell(file_);
  if (size_limit_ != 0 && position > 0 && static_cast<unsigned long>(position) > size_limit_) {
    if (single_file_) {
      std::fseek(file_, 0, SEEK_SET);
    } else {
      Open();
    }
  }
  return written;
}

bool TagWriteLog::has_file() const {
  std::lock_guard<std::mutex> lock(mu_);
  return file_ != nullptr;
}

std::string TagWriteLog::current_path() const {
  std::lock_guard<std::mutex> lock(mu_);
  return path_;
}

}  // namespace frame
