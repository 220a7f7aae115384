#include "platform/script_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/windows_error.h"

namespace platform {
namespace {

constexpr size_t kCopyPiece = 1 << 16;
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kNewFolderMode = 0777;
// The permission bits a copy takes over.
constexpr mode_t kModeBits = 0777;
// A copy refused because its source and destination are one file.
constexpr int kSameFile = -1;
// The temporary file of a copy, in the folder of the file it replaces.
constexpr const char* kCopyTempName = ".vttel-copy-XXXXXX";

// The file a copy replaces: the destination with its links resolved, so
// that a link keeps leading to the copied bytes; the destination as
// written when nothing is there yet.
std::string ReplacedFile(const std::string& to) {
  char* real = ::realpath(to.c_str(), nullptr);
  if (real == nullptr) return to;
  std::string resolved(real);
  ::free(real);
  return resolved;
}

// 0 when target may be replaced: nothing is there, or a regular file this
// process may write (its permissions then go into *mode); else an errno.
int CheckReplaceable(const std::string& target, mode_t* mode) {
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
  *mode = st.st_mode & kModeBits;
  return 0;
}

// Every byte from in to out: 0, or the errno of the failed read or write.
int CopyBytes(int in, int out) {
  std::vector<char> piece(kCopyPiece);
  for (;;) {
    const ssize_t n = ::read(in, piece.data(), piece.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (!WriteAll(out, std::string_view(piece.data(), static_cast<size_t>(n)))) {
      return errno != 0 ? errno : EIO;
    }
  }
}

// Writes the open source (st its status) into a temporary file beside
// target and renames it over target, so that target is either untouched
// or the whole copy: 0, or an errno (the temporary file is removed).
int CopyIntoPlace(int in, const struct stat& st, const std::string& target) {
  mode_t mode = st.st_mode & kModeBits;
  if (const int err = CheckReplaceable(target, &mode); err != 0) return err;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string temp = folder + kCopyTempName;
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) return errno;
  const timespec times[2] = {st.st_atim, st.st_mtim};
  int err = CopyBytes(in, out);
  if (err == 0 && (::fchmod(out, mode) != 0 || ::futimens(out, times) != 0)) err = errno;
  if (::close(out) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) ::unlink(temp.c_str());
  return err;
}

// Copies the regular file from over to with its permissions and
// modification time: 0, kSameFile (from and to are one file: the same
// path, a link or another name of it), or the errno of the failure.
int CopyHostKeepingTime(const std::string& from, const std::string& to) {
  if (SameHostFile(from, to)) return kSameFile;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return errno;
  struct stat st;
  int err = 0;
  if (::fstat(in, &st) != 0) {
    err = errno;
  } else if (!S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  } else {
    err = CopyIntoPlace(in, st, ReplacedFile(to));
  }
  ::close(in);
  return err;
}

std::string ErrnoText(int err) {
  char text[128];
  return ::strerror_r(err, text, sizeof text);
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
  if (const int err = CopyHostKeepingTime(*source, *target); err != 0) {
    return WindowsErrorOf(err == kSameFile ? EINVAL : err, *target);
  }
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

bool CopyScriptFile(std::string_view from, std::string_view to, std::string* why) {
  const std::optional<std::string> source = ToHostPath(from);
  const std::optional<std::string> target = ToHostPath(to);
  if (!source || !target) {
    *why = "the path cannot be mapped to a host file";
    return false;
  }
  const int err = CopyHostKeepingTime(*source, *target);
  if (err == kSameFile) *why = "the destination is the source file itself";
  if (err > 0) *why = ErrnoText(err);
  return err == 0;
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
  *why = ErrnoText(errno);
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
