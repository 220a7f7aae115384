// How the file statements report a file to a script. File times are
// local, packed as the FAT file system packs them (even seconds; before
// 1980 reads as 1980-01-01 00:00:00, after 2107 as 2107-12-31 23:59:58),
// and given as "%4d%02d%02d %02d:%02d:%02d". Sizes are 32-bit: a file of
// 2 GiB or more reports kMaxReportedSize, with a log line.
//
// Thread rules: thread-safe.
#ifndef VTTEL_SERVICES_FILES_FILE_REPORT_H_
#define VTTEL_SERVICES_FILES_FILE_REPORT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace services {

// The largest size a file statement reports.
inline constexpr int32_t kMaxReportedSize = INT32_MAX;

// The size of the file name as a script sees it.
int32_t ReportedSize(int64_t size, std::string_view name);

// The time text of a modification time (seconds since the epoch).
std::string FileTimeText(int64_t seconds);

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_FILE_REPORT_H_
