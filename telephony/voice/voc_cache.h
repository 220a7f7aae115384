// TagMemVocs: voice files that scripts load into memory ("LoadVocFile(")
// so that their prompts play from memory instead of from disk.
//
// There is one process-wide cache, GlobalVocCache(), and one per main
// script, kept in the line settings that the telephony layer stores in the
// script. Files are keyed by the path text (byte for byte, case-sensitive)
// and kept byte for byte, header included.
//
// Ownership: Find hands out a shared, immutable MemStruct. It stays valid
// for as long as the caller holds it, so a line that is playing a file is
// not hurt when another line unloads it or clears the cache; the memory
// goes with the last holder.
//
// Thread-safe. The lock is never held while a file is read, so Find (called
// at every play) never waits for the disk.
#ifndef VTTEL_TELEPHONY_VOICE_VOC_CACHE_H_
#define VTTEL_TELEPHONY_VOICE_VOC_CACHE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace telephony {

// LoadVocFile's results besides the size loaded.
inline constexpr int32_t kVocNoPath = -1;
inline constexpr int32_t kVocNotLoaded = -2;  // already loaded, or unreadable
// A voice file is read in chunks of this size.
inline constexpr size_t kVocReadChunk = 2048;
// The largest voice file loaded (its size must fit the 32-bit result).
inline constexpr int64_t kMaxVocFileBytes = INT32_MAX;
// The path of "UnloadVocFile(" that unloads every file.
inline constexpr std::string_view kUnloadAllPath = "*";

// One voice file in memory. Immutable once handed out.
struct MemStruct {
  std::string data;  // the whole file, byte for byte
  int32_t size = 0;  // bytes in data
  int32_t flag = 0;  // always 0
};

class TagMemVocs {
 public:
  TagMemVocs() = default;
  ~TagMemVocs() = default;  // frees what no one holds any more
  TagMemVocs(const TagMemVocs&) = delete;
  TagMemVocs& operator=(const TagMemVocs&) = delete;

  // Loads a voice file; returns its size, kVocNoPath for a null or empty
  // path, kVocNotLoaded when the path is loaded already (the first copy
  // stays), or the file is missing, unreadable, a directory or empty. A
  // file that cannot be opened is logged (" LoadVocFile() error : " and the
  // path). flag is accepted and not used (0).
  int32_t LoadVocFile(std::string_view path, int32_t flag = 0);

  // The loaded file at a path, or null.
  std::shared_ptr<const MemStruct> Find(std::string_view path);

  // Frees one file if loaded (true when it was); kUnloadAllPath frees
  // every file. Holders of a freed file keep it until they drop it.
  bool UnloadVocFile(std::string_view path);

  // Frees every loaded file.
  void Clear();

  // Files loaded (tests, diagnostics).
  size_t Count();

 private:
  using FileMap = std::map<std::string, std::shared_ptr<const MemStruct>, std::less<>>;

  bool IsLoaded(std::string_view path);

  std::mutex mu_;
  FileMap files_;  // guarded by mu_
};

// The process-wide voice cache.
TagMemVocs& GlobalVocCache();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOC_CACHE_H_
