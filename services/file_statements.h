// The file and directory statements: "FileMove(", "FileCopy(",
// "FileLenTime(", "GetFileList(", "IsDirExist(", "MakeDir(", "RemoveDir(",
// "GetCurWorkDir(", "SetCurWorkDir(" and "GetDiskSpace(". Each is one call
// of the platform (platform/script_files.h, platform/file_search.h) or a
// short loop over one; none keeps state. Paths go through ToHostPath; paths
// handed back to scripts keep the Windows form, in GBK.
//
// File times are local, packed as the FAT file system packs them (even
// seconds; before 1980 reads as 1980-01-01 00:00:00), and given as
// "%4d%02d%02d %02d:%02d:%02d". Sizes are 32-bit: a file of 2 GiB or more
// reports kMaxReportedSize, with a log line.
//
// Thread rules: statements run on their line's thread; "SetCurWorkDir("
// changes the working folder of the whole process.
#ifndef VTTEL_SERVICES_FILE_STATEMENTS_H_
#define VTTEL_SERVICES_FILE_STATEMENTS_H_

#include <cstdint>
#include <string>

namespace services {

// The largest size a file statement reports.
inline constexpr int32_t kMaxReportedSize = INT32_MAX;
// "GetCurWorkDir(" gives at most this many characters.
inline constexpr size_t kMaxWorkDirChars = 1023;

// The time text of a modification time (seconds since the epoch).
std::string FileTimeText(int64_t seconds);

// Registers the ten statements.
void RegisterFileStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_FILE_STATEMENTS_H_
