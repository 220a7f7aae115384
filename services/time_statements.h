// The time statements: "Datetime(", "GetTick(", "AfterDaysDate(", "Time(",
// "GetDateStr(", "MakeTime(" and "Sleep(", and the time stamp of the
// database back ends' logs. Everything reads the time through
// platform::GetClock() (tests install a FakeClock) and converts with the
// C library's locale-free localtime_r, gmtime_r, mktime and strftime_l in
// the C locale, in the time zone the process has (TZ).
//
// Thread rules: statements run on their line's thread; FormatTimeStamp and
// the date routines are thread-safe.
#ifndef VTTEL_SERVICES_TIME_STATEMENTS_H_
#define VTTEL_SERVICES_TIME_STATEMENTS_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace engine {
class LineCallBase;
}

namespace services {

// Registers the seven time statements.
void RegisterTimeStatements();

// Writes the local time now as "%d%02d%02d %02d:%02d:%02d.%03d" into buf
// (at least 22 bytes) and returns the number of characters written.
int FormatTimeStamp(char* buf);

// "AfterDaysDate(" on a date given as yyyymmdd: the date days after it
// (before it for negative days) as yyyymmdd, the same date that stepping
// one day at a time gives. -1 at once when the month is not 1..12 or the
// result's year lies outside 0..214747 (yyyymmdd must fit 32 bits).
int32_t AfterDays(int32_t yyyymmdd, int32_t days);

// The seconds since 1970 of the clock's local time now (mktime of it).
int64_t NowSeconds();

// "MakeTime(": mktime of the local time with the daylight-saving state left
// to the library; a year, month or day of 0 or less takes today's; -1 when
// the time cannot be represented in 32 bits.
int32_t MakeLocalTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second);

// "GetDateStr(": the first "%T" becomes "%H:%M:%S", then strftime in the C
// locale of the time split in UTC (utc) or local time; at most 510
// characters ("" when the expansion is longer).
std::string FormatDate(std::string format, int64_t seconds, bool utc);

// "Sleep(": waits seconds (truncated to milliseconds) on the line
// (engine::SleepOnLine); ends early when stop is raised (either flag may be
// null) or the call object goes from connected to released. A wait of 0 or
// less never ends by time.
void SleepSeconds(double seconds, engine::LineCallBase* call,
                  const std::atomic<uint8_t>* script_stopped);

}  // namespace services

#endif  // VTTEL_SERVICES_TIME_STATEMENTS_H_
