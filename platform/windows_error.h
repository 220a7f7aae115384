// The Windows error numbers that the file statements hand to scripts, as
// the system's file calls reported them, mapped from errno.
//
// Thread-safe (no state).
#ifndef VTTEL_PLATFORM_WINDOWS_ERROR_H_
#define VTTEL_PLATFORM_WINDOWS_ERROR_H_

#include <string>

namespace platform {

inline constexpr int kErrorFileNotFound = 2;
inline constexpr int kErrorPathNotFound = 3;
inline constexpr int kErrorTooManyOpenFiles = 4;
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorNotSameDevice = 17;
inline constexpr int kErrorWriteProtect = 19;
inline constexpr int kErrorGenFailure = 31;
inline constexpr int kErrorSharingViolation = 32;
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorDiskFull = 112;
inline constexpr int kErrorDirNotEmpty = 145;
inline constexpr int kErrorAlreadyExists = 183;
inline constexpr int kErrorFilenameTooLong = 206;
inline constexpr int kErrorIoDevice = 1117;
inline constexpr int kErrorCantResolveFilename = 1921;

// The Windows error of a failed call on host_path with errno err. A
// missing entry is "file not found" when its folder exists and "path not
// found" when the folder does not (as a missing folder was reported).
int WindowsErrorOf(int err, const std::string& host_path);

}  // namespace platform

#endif  // VTTEL_PLATFORM_WINDOWS_ERROR_H_
