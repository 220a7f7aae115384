#include "services/text/calendar.h"

#include <locale.h>
#include <time.h>

#include <limits>

#include "platform/clock.h"

namespace services {
namespace {

// "GetDateStr(" writes at most this many characters.
constexpr size_t kMaxDateText = 510;
// The latest year whose yyyymmdd fits a signed 32-bit integer.
constexpr int64_t kMaxDateYear = 214747;

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int64_t MonthLength(int64_t y, int64_t m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (day may be 0: the
// last day of the month before).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int64_t* m, int64_t* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yoe + era * 400 + (*m <= 2);
}

int32_t PackDate(int64_t y, int64_t m, int64_t d) {
  if (y < 0 || y > kMaxDateYear) return -1;
  return static_cast<int32_t>(y * 10000 + m * 100 + d);
}

int32_t PackDays(int64_t days_since_1970) {
  int64_t y, m, d;
  CivilFromDays(days_since_1970, &y, &m, &d);
  return PackDate(y, m, d);
}

// The C locale, for strftime_l.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

int32_t AfterDays(int32_t yyyymmdd, int32_t days) {
  const int64_t y = yyyymmdd / 10000;
  const int64_t m = yyyymmdd / 100 % 100;
  const int64_t d = yyyymmdd % 100;
  if (m < 1 || m > 12) return -1;
  if (days == 0) return yyyymmdd;
  const int64_t last = MonthLength(y, m);
  if (days > 0) {
    // Past the month's end, the first step lands on the next month's first.
    if (d > last) return PackDays(DaysFromCivil(y, m, last) + days);
    return PackDays(DaysFromCivil(y, m, d) + days);
  }
  const int64_t back = -static_cast<int64_t>(days);
  if (d > last) {
    // Stepping back from a day past the month's end walks through the
    // missing days of the same month first.
    if (d - back >= 1) return PackDate(y, m, d - back);
    return PackDays(DaysFromCivil(y, m, 1) - (back - (d - 1)));
  }
  // Day 0: the first step back lands on the previous month's last day.
  if (d == 0) return PackDays(DaysFromCivil(y, m, 0) - (back - 1));
  return PackDays(DaysFromCivil(y, m, d) - back);
}

int64_t NowSeconds() { return platform::NowEpochSeconds(); }

int32_t MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second) {
  if (year <= 0 || month <= 0 || day <= 0) {
    const platform::WallTime now = platform::GetClock().Now();
    if (year <= 0) year = now.year;
    if (month <= 0) month = now.month;
    if (day <= 0) day = now.day;
  }
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  const time_t t = platform::MakeLocalTime(&tm);
  if (t == static_cast<time_t>(-1) || t > std::numeric_limits<int32_t>::max() ||
      t < std::numeric_limits<int32_t>::min()) {
    return -1;
  }
  return static_cast<int32_t>(t);
}

std::string FormatDate(std::string format, int64_t seconds, bool utc) {
  const size_t t_at = format.find("%T");
  if (t_at != std::string::npos) format.replace(t_at, 2, "%H:%M:%S");
  const time_t t = static_cast<time_t>(seconds);
  struct tm tm = {};
  if ((utc ? gmtime_r(&t, &tm) : localtime_r(&t, &tm)) == nullptr) return "";
  char buf[kMaxDateText + 1];
  const size_t n = strftime_l(buf, sizeof buf, format.c_str(), &tm, CLocale());
  return std::string(buf, n);
}

}  // namespace services
