// An open file of a script: the descriptor behind the text files, append
// files and file statements of the services layer, with the few calls they
// need (read, write, position, size). Opened through ToHostPath, so the
// name is a script path; close-on-exec; other lines and programs may open
// the same file at the same time.
//
// Owns its descriptor (closed by the destructor); movable, not copyable.
// Not thread-safe: one user at a time (callers hold their own lock).
#ifndef VTTEL_PLATFORM_FILE_HANDLE_H_
#define VTTEL_PLATFORM_FILE_HANDLE_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// How a file is opened.
struct FileOpenMode {
  bool read = false;
  bool write = false;
  bool create = false;    // a missing file is created
  bool truncate = false;  // an existing file is emptied
  bool append = false;    // every write goes to the end of the file
};

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens a script path; is_open() is false when that failed (errno set).
  static FileHandle Open(std::string_view script_path, const FileOpenMode& mode);

  bool is_open() const { return fd_ >= 0; }
  // Reads up to n bytes at the current position, going on after a signal:
  // the number read, 0 at the end of the file, -1 on an error.
  ssize_t Read(char* buffer, size_t n);
  // Writes every byte with as few writes as the system allows (one for an
  // appended record of a regular file); false on any error.
  bool WriteAll(std::string_view bytes);
  // Moves the position to offset from the start; false when it cannot.
  bool Seek(int64_t offset);
  // Whether the descriptor is a folder (which opens for reading here but
  // is no file to read).
  bool IsDirectory() const;
  // The size of the file now, or nullopt.
  std::optional<int64_t> Size() const;
  void Close();

 private:
  explicit FileHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_FILE_HANDLE_H_
