#include "services/files/file_report.h"

#include <time.h>

#include <cstdio>

#include "frame/log.h"

namespace services {
namespace {

// The FAT file system's dates run from 1980 to 2107.
constexpr int kFirstFatYear = 1980;
constexpr int kLastFatYear = 2107;

}  // namespace

// 2 GiB and more cannot be held, so the largest 32-bit size stands for
// them.
int32_t ReportedSize(int64_t size, std::string_view name) {
  if (size <= kMaxReportedSize) return static_cast<int32_t>(size);
  frame::LogAlwaysF("File size of %.*s is %lld bytes, reported as %d", static_cast<int>(name.size()),
                    name.data(), static_cast<long long>(size), kMaxReportedSize);
  return kMaxReportedSize;
}

std::string FileTimeText(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  char text[64];  // room for any int fields, though they are in range
  if (localtime_r(&t, &local) == nullptr || local.tm_year + 1900 < kFirstFatYear) {
    std::snprintf(text, sizeof text, "%4d0101 00:00:00", kFirstFatYear);
    return text;
  }
  if (local.tm_year + 1900 > kLastFatYear) {
    std::snprintf(text, sizeof text, "%4d1231 23:59:58", kLastFatYear);
    return text;
  }
  std::snprintf(text, sizeof text, "%4d%02d%02d %02d:%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec / 2 * 2);
  return text;
}

}  // namespace services
