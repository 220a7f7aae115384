#include "platform/windows_error.h"

#include <sys/stat.h>

#include <cerrno>

namespace platform {
namespace {

bool FolderOfExists(const std::string& host_path) {
  const size_t slash = host_path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0             ? std::string("/")
                                                      : host_path.substr(0, slash);
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int WindowsErrorOf(int err, const std::string& host_path) {
  switch (err) {
    case ENOENT:
      return FolderOfExists(host_path) ? kErrorFileNotFound : kErrorPathNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    case EXDEV:
      return kErrorNotSameDevice;
    case EROFS:
      return kErrorWriteProtect;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EIO:
      return kErrorIoDevice;
    case ELOOP:
      return kErrorCantResolveFilename;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace platform
