// TagMemVts: the process-wide cache of script files, and the scrambled form
// of a script file.
//
// The loader reads every script and include file through ScriptCache().Get,
// so a file that hundreds of lines run is read from disk once per loading
// pass. Entries are keyed by the path text (byte for byte, case-sensitive)
// and by the form asked for: the raw bytes (keep_raw, used by the editor
// side) and the readable text (a scrambled file turned back into text) are
// two entries of one path.
//
// Ownership: Get hands out a shared, immutable FileBuffNode. It stays valid
// for as long as the caller holds it, even when Clear or a changed file
// drops it from the cache meanwhile; the cache never changes a node once
// it is handed out.
//
// Freshness: a node read without the time check lives until Clear (every
// start and reload of the lines); with the time check (child scripts) the
// file's time stamp is compared at every Get and a changed file is read
// again. A file deleted from disk is still served without the time check.
//
// Thread-safe. Concurrent Gets of one path and form wait for each other, so
// the disk is read once; Gets of other paths are not held up by that read.
//
// Scrambled form (written by tools that protect script text): byte 0 is 1,
// bytes 1-4 a 32-bit value (little-endian), then the text with every byte
// combined by exclusive-or with the key: the low byte of the value divided
// by kScrambleDivisor. A file whose first byte is not 1 is plain text.
#ifndef VTTEL_ENGINE_SCRIPT_CACHE_H_
#define VTTEL_ENGINE_SCRIPT_CACHE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace engine {

// The scrambled form: its marker byte, the header length, and the constant
// that turns the header's value into the key.
inline constexpr uint8_t kScrambledMark = 1;
inline constexpr size_t kScrambleHeaderBytes = 5;
inline constexpr uint32_t kScrambleDivisor = 0x2F1Bu;
// The largest script file read (its size must fit the 32-bit size field).
inline constexpr int64_t kMaxScriptFileBytes = INT32_MAX - 1;
// The stamp of a node read without the time check.
inline constexpr uint32_t kUncheckedStamp = 1;

// One cached script file. Immutable once handed out.
struct FileBuffNode {
  uint32_t timeStamp = 0;  // FileTimeStamp at reading, or kUncheckedStamp
  std::string data;        // the text (or raw bytes); data.c_str() ends in NUL
  int32_t size = 0;        // the file's size in bytes (header included)
  uint8_t scrambled = 0;   // 1: data was turned back from the scrambled form
};

// Replaces every byte of buffer[0, length) by its exclusive-or with key.
void XorBytes(char* buffer, size_t length, uint8_t key);

// The key of the scrambled form for a header value.
uint8_t ScrambleKey(uint32_t value);

// The scrambled form of a text under a header value (the writer's side;
// tools and tests make such files with it).
std::string ScrambleScript(std::string_view text, uint32_t value);

// (DOS date << 16) | DOS time of the last write of a script path, local
// time, seconds in steps of 2; 0 when the file does not exist. Dates before
// 1980 count as 1980-01-01 00:00:00, after 2107 as the last day of 2107, so
// an existing file never stamps 0.
uint32_t FileTimeStamp(std::string_view path);

class TagMemVts {
 public:
  TagMemVts() = default;
  TagMemVts(const TagMemVts&) = delete;
  TagMemVts& operator=(const TagMemVts&) = delete;

  // The file at a script path, or null for an empty path, a missing,
  // unreadable or empty file, a directory, or (unless keep_raw) a file that
  // starts with the scrambled mark but is shorter than its header.
  // keep_raw: the bytes unchanged (the loader passes "not run mode");
  // check_time: re-read when the file's time stamp changed (child scripts).
  std::shared_ptr<const FileBuffNode> Get(std::string_view path, bool keep_raw,
                                          bool check_time);

  // Drops every entry so that the next loading pass reads the files anew.
  // Nodes handed out stay valid with their holders.
  void Clear();

  // Entries that hold a file, and files read from disk so far (tests,
  // diagnostics).
  size_t Count();
  uint64_t DiskReads() const { return disk_reads_.load(std::memory_order_relaxed); }

 private:
  // One path in one form. Its lock is held while the file is read, so the
  // other Gets of this path wait and then find it.
  struct Slot {
    std::mutex mu;
    std::shared_ptr<const FileBuffNode> node;  // guarded by mu
  };
  using SlotMap = std::map<std::string, std::shared_ptr<Slot>, std::less<>>;

  std::shared_ptr<Slot> FindOrAddSlot(std::string_view path, bool keep_raw);
  std::shared_ptr<const FileBuffNode> ReadNode(std::string_view path, uint32_t stamp,
                                               bool keep_raw);

  std::mutex mu_;
  SlotMap slots_[2];  // guarded by mu_; [0] text form, [1] raw form
  std::atomic<uint64_t> disk_reads_{0};
};

// The process-wide script cache.
TagMemVts& ScriptCache();

}  // namespace engine

#endif  // VTTEL_ENGINE_SCRIPT_CACHE_H_
