#include "services/time_statements.h"

#include <locale.h>
#include <time.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/arguments.h"
#include "engine/line_call.h"
#include "engine/line_sleep.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "engine/statement_args.h"

namespace services {

using engine::BuildStatement;
using engine::TruncateDouble;
using engine::StatementBuild;
using engine::TagOper;
using engine::TagVar;

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

std::string DateText(int32_t yyyymmdd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d%02d%02d", yyyymmdd / 10000, yyyymmdd / 100 % 100,
                yyyymmdd % 100);
  return buf;
}

// The C locale, for strftime_l.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

int32_t TodayDate() {
  const platform::WallTime now = platform::GetClock().Now();
  return now.year * 10000 + now.month * 100 + now.day;
}

// "Datetime(" (year, month, day, time, weekday variables).
class TagDatetime : public TagOper {
 public:
  explicit TagDatetime(const StatementBuild& b)
      : year_(Arg(b, 0)), month_(Arg(b, 1)), day_(Arg(b, 2)), time_(Arg(b, 3)),
        weekday_(Arg(b, 4)) {}
  int32_t Execute() override {
    const platform::WallTime now = platform::GetClock().Now();
    year_->AssignInt(now.year);
    month_->AssignInt(now.month);
    day_->AssignInt(now.day);
    char hms[16];
    std::snprintf(hms, sizeof hms, "%02d%02d%02d", now.hour, now.minute, now.second);
    time_->AssignString(hms);
    weekday_->AssignInt(now.weekday);
    return now.year * 10000 + now.month * 100 + now.day;
  }

 private:
  TagVar *year_, *month_, *day_, *time_, *weekday_;
};

// "GetTick(" (variable).
class TagGetTick : public TagOper {
 public:
  explicit TagGetTick(const StatementBuild& b) : var_(Arg(b, 0)) {}
  int32_t Execute() override {
    const int32_t tick = static_cast<int32_t>(platform::GetClock().TickCount());
    var_->AssignInt(tick);
    return tick;
  }

 private:
  TagVar* var_;
};

// "AfterDaysDate(" (start date, days, destination): the start date is a
// string read by atol or another value's integer field; days is an integer.
class TagAfterDaysDate : public TagOper {
 public:
  explicit TagAfterDaysDate(const StatementBuild& b)
      : date_(Arg(b, 0)), days_(Arg(b, 1)), dest_(Arg(b, 2)) {}
  int32_t Execute() override {
    int32_t start = date_->kind == engine::kVarString ? platform::AtoL(engine::ArgText(*date_))
                                                      : engine::ArgStoredInt(*date_);
    if (start <= 0) start = TodayDate();
    const int32_t result = AfterDays(start, engine::ArgStoredInt(*days_));
    if (result < 0) return -1;
    dest_->AssignString(DateText(result));
    return result;
  }

 private:
  TagVar* date_;
  TagVar* days_;
  TagVar* dest_;
};

// "Time(": seconds since 1970 now.
class TagTime : public TagOper {
 public:
  explicit TagTime(const StatementBuild&) {}
  int32_t Execute() override { return static_cast<int32_t>(NowSeconds()); }
};

// "GetDateStr(" (format, time, UTC flag, destination).
class TagGetDateStr : public TagOper {
 public:
  explicit TagGetDateStr(const StatementBuild& b)
      : format_(Arg(b, 0)), time_(Arg(b, 1)), utc_(Arg(b, 2)), dest_(Arg(b, 3)) {}
  int32_t Execute() override {
    if (format_->kind != engine::kVarString) return -1;
    const int64_t seconds =
        time_->kind == engine::kVarNull ? NowSeconds() : static_cast<int64_t>(time_->GetInt());
    dest_->AssignString(FormatDate(engine::ArgText(*format_), seconds, utc_->GetInt() != 0));
    return 0;
  }

 private:
  TagVar *format_, *time_, *utc_, *dest_;
};

// "MakeTime(" (year, month, day, hour, minute, second).
class TagMakeTime : public TagOper {
 public:
  explicit TagMakeTime(const StatementBuild& b) {
    for (size_t i = 0; i < 6; ++i) parts_[i] = Arg(b, i);
  }
  int32_t Execute() override {
    return MakeLocalTime(parts_[0]->GetInt(), parts_[1]->GetInt(), parts_[2]->GetInt(),
                         parts_[3]->GetInt(), parts_[4]->GetInt(), parts_[5]->GetInt());
  }

 private:
  TagVar* parts_[6];
};

// "Sleep(" (seconds): waits on the acting script's call object.
class TagSleep : public TagOper {
 public:
  explicit TagSleep(const StatementBuild& b) : seconds_(Arg(b, 0)), script_(b.script) {}
  int32_t Execute() override {
    engine::TagTelBasic* context = script_ != nullptr ? script_->GetRunContext() : nullptr;
    SleepSeconds(seconds_->GetFloat(), context != nullptr ? context->call : nullptr,
                 context != nullptr ? &context->stopped : nullptr);
    return 0;
  }

 private:
  TagVar* seconds_;
  engine::TagTelBasic* script_;
};

}  // namespace

int FormatTimeStamp(char* buf) {
  const platform::WallTime t = platform::GetClock().Now();
  const int n = std::snprintf(buf, 22, "%d%02d%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                              t.hour, t.minute, t.second, t.millis);
  return n < 22 ? n : 21;
}

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

void SleepSeconds(double seconds, engine::LineCallBase* call,
                  const std::atomic<uint8_t>* script_stopped) {
  const double ms = std::trunc(seconds * 1000.0);
  // Waits beyond the 32-bit tick are held at its limit.
  const uint32_t wait =
      !(ms > 0) ? 0 : ms >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
  engine::SleepOnLine(wait, call, script_stopped);
}

void RegisterTimeStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("Datetime(", &BuildStatement<TagDatetime>);
  r.Register("GetTick(", &BuildStatement<TagGetTick>);
  r.Register("AfterDaysDate(", &BuildStatement<TagAfterDaysDate>);
  r.Register("Time(", &BuildStatement<TagTime>);
  r.Register("GetDateStr(", &BuildStatement<TagGetDateStr>);
  r.Register("MakeTime(", &BuildStatement<TagMakeTime>);
  r.Register("Sleep(", &BuildStatement<TagSleep>);
}

}  // namespace services
