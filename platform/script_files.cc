#include "platform/script_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/windows_error.h"

namespace platform {
namespace {

constexpr size_t kCopyPiece = 1 << 16;
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kNewFolderMode = 0777;

// Copies the regular file from over to with its permissions and
// modification time; errno tells why it failed.
bool CopyHostKeepingTime(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(in);
    errno = err;
    return false;
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    errno = err;
    return false;
  }
  std::vector<char> piece(kCopyPiece);
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, piece.data(), piece.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (!WriteAll(out, std::string_view(piece.data(), static_cast<size_t>(n)))) {
      ok = false;
      break;
    }
  }
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok) ok = ::futimens(out, times) == 0;
  int err = errno;
  if (::close(out) != 0 && ok) {
    ok = false;
    err = errno;
  }
  ::close(in);
  if (!ok) {
    ::unlink(to.c_str());
    errno = err;
  }
  return ok;
}

}  // namespace

int MoveScriptFile(std::string_view from, std::string_view to) {
  const std::optional<std::string> source = ToHostPath(from);
  if (!source) return kErrorPathNotFound;
  const std::optional<std::string> target = ToHostPath(to);
  if (!target) return kErrorPathNotFound;
  if (::rename(source->c_str(), target->c_str()) == 0) return 0;
  if (errno != EXDEV) {
    const int err = errno;
    struct stat st;
    // A missing entry: the source, or else the target's folder.
    const bool source_there = ::lstat(source->c_str(), &st) == 0;
    return WindowsErrorOf(err, source_there ? *target : *source);
  }
  if (!CopyHostKeepingTime(*source, *target)) return WindowsErrorOf(errno, *target);
  if (::unlink(source->c_str()) != 0) return WindowsErrorOf(errno, *source);
  return 0;
}

int DeleteScriptFile(std::string_view path) {
  const std::optional<std::string> host = ToHostPath(path);
  if (!host) return kErrorPathNotFound;
  return ::unlink(host->c_str()) == 0 ? 0 : WindowsErrorOf(errno == EISDIR ? EACCES : errno, *host);
}

int EmptyScriptFile(std::string_view path) {
  const std::optional<std::string> host = ToHostPath(path);
  if (!host) return kErrorPathNotFound;
  const int fd =
      ::open(host->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, kNewFileMode);
  if (fd < 0) return WindowsErrorOf(errno, *host);
  ::close(fd);
  return 0;
}

bool CopyScriptFile(std::string_view from, std::string_view to) {
  const std::optional<std::string> source = ToHostPath(from);
  const std::optional<std::string> target = ToHostPath(to);
  return source && target && CopyHostKeepingTime(*source, *target);
}

bool MakeScriptDir(std::string_view path) {
  const std::optional<std::string> host = ToHostPath(path);
  return host && ::mkdir(host->c_str(), kNewFolderMode) == 0;
}

bool RemoveScriptDir(std::string_view path) {
  const std::optional<std::string> host = ToHostPath(path);
  return host && ::rmdir(host->c_str()) == 0;
}

std::string ScriptWorkDir() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return "";
  return ToScriptPath(buffer.data());
}

bool SetScriptWorkDir(std::string_view path, std::string* why) {
  const std::optional<std::string> host = ToHostPath(path);
  if (!host) {
    *why = "the path cannot be mapped to a host folder";
    return false;
  }
  if (ChangeDirectory(*host)) return true;
  char text[128];
  *why = ::strerror_r(errno, text, sizeof text);
  return false;
}

std::optional<DiskSpace> ScriptDiskSpace(std::string_view path) {
  const std::optional<std::string> host = path.empty() ? std::optional<std::string>(".")
                                                       : ToHostPath(path);
  struct statvfs vfs;
  if (!host || ::statvfs(host->c_str(), &vfs) != 0) return std::nullopt;
  DiskSpace space;
  space.total = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  space.available = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return space;
}

}  // namespace platform
