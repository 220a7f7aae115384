#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_read.h"
#include "platform/host_path.h"

namespace platform {
namespace {

constexpr const char* kTempSuffix = ".tmp";

bool IsEmptyRegular(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

FileBytes ReadScriptFile(std::string_view script_path, int64_t max_bytes, size_t chunk,
                         EmptyFile empty) {
  FileBytes read;
  const int fd = OpenHostFd(script_path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return read;
  read.opened = true;
  if (empty == EmptyFile::kGivesEmpty && IsEmptyRegular(fd)) {
    read.bytes.emplace();
  } else {
    read.bytes = ReadRegularFile(fd, max_bytes, chunk);
  }
  ::close(fd);
  return read;
}

bool ReplaceHostFile(const std::string& host_path, std::string_view bytes) {
  const std::string temp = host_path + kTempSuffix;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  ok = (::close(fd) == 0) && ok;
  if (!ok || !RenameHostFile(temp, host_path)) {
    RemoveHostFile(temp);
    return false;
  }
  return true;
}

FILE* OpenScriptFileForUpdate(std::string_view script_path, bool keep) {
  const int fd = OpenHostFd(script_path, O_RDWR | O_CREAT | (keep ? 0 : O_TRUNC));
  if (fd < 0) return nullptr;
  FILE* file = ::fdopen(fd, "r+b");
  if (file == nullptr) ::close(fd);
  return file;
}

bool RemoveScriptFile(std::string_view script_path) {
  const std::optional<std::string> host = ToHostPath(script_path);
  return host && RemoveHostFile(*host);
}

bool RemoveHostFile(const std::string& host_path) { return ::unlink(host_path.c_str()) == 0; }

bool RenameHostFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyHostFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    ec);
}

bool SameHostFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool SameScriptFile(std::string_view a, std::string_view b) {
  const std::optional<std::string> host_a = ToHostPath(a);
  const std::optional<std::string> host_b = ToHostPath(b);
  return host_a && host_b && SameHostFile(*host_a, *host_b);
}

bool HostFileExists(const std::string& host_path) {
  std::error_code ec;
  return std::filesystem::exists(host_path, ec);
}

std::optional<uint64_t> HostFileSize(const std::string& host_path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(host_path, ec);
  if (ec) return std::nullopt;
  return static_cast<uint64_t>(size);
}

bool ChangeDirectory(const std::string& host_folder) { return ::chdir(host_folder.c_str()) == 0; }

std::optional<int64_t> ScriptFileModified(std::string_view script_path) {
  const std::optional<std::string> host = ToHostPath(script_path);
  struct stat st;
  if (!host || ::stat(host->c_str(), &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_mtim.tv_sec);
}

std::optional<int64_t> ScriptFileModifiedNanos(std::string_view script_path) {
  constexpr int64_t kNanosPerSecond = 1000000000;
  const std::optional<std::string> host = ToHostPath(script_path);
  struct stat st;
  if (!host || ::stat(host->c_str(), &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * kNanosPerSecond + st.st_mtim.tv_nsec;
}

bool ScriptFileExists(std::string_view script_path) {
  return ScriptFileModified(script_path).has_value();
}

}  // namespace platform
