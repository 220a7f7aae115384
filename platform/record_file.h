// A file of fixed-size records shared with other writers (the dBASE tables
// of the database statements): opened by script path, read and written at
// given offsets, with a whole-file write lock that excludes every other
// open of the file, in this process (another descriptor) or in another.
//
// Ownership: the object owns its descriptor and closes it when destroyed.
// Thread rules: one object is used by one thread at a time; several objects
// (and processes) may open the same file, each with its own lock.
#ifndef VTTEL_PLATFORM_RECORD_FILE_H_
#define VTTEL_PLATFORM_RECORD_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens an existing regular file at a script path for reading and
  // writing (never created, never a fifo or a device); false when it
  // cannot be opened.
  bool Open(std::string_view script_path);
  bool is_open() const { return fd_ >= 0; }
  void Close();

  // Reads up to n bytes at offset: the number read (fewer at the end of
  // the file), or -1 on an error.
  int64_t ReadAt(int64_t offset, void* into, size_t n) const;
  // Writes n bytes at offset: the number written (n unless the disk
  // refused), or -1 on an error.
  int64_t WriteAt(int64_t offset, const void* bytes, size_t n) const;

  // The size of the file now in bytes, or -1 on an error.
  int64_t Size() const;

  // Takes / gives back the write lock of the whole file. Lock waits until
  // every other holder gave it back; false when the lock cannot be had.
  bool Lock() const;
  void Unlock() const;

 private:
  int fd_ = -1;
};

// Holds a RecordFile's lock for a scope.
class RecordFileLock {
 public:
  explicit RecordFileLock(const RecordFile& file) : file_(file), held_(file.Lock()) {}
  ~RecordFileLock() {
    if (held_) file_.Unlock();
  }
  RecordFileLock(const RecordFileLock&) = delete;
  RecordFileLock& operator=(const RecordFileLock&) = delete;
  bool held() const { return held_; }

 private:
  const RecordFile& file_;
  bool held_;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_RECORD_FILE_H_
