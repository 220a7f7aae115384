#include "services/text/time_statements.h"

#include <cstdio>
#include <string>

#include "engine/arguments.h"
#include "engine/line_call.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/number_text.h"
#include "services/text/calendar.h"
#include "services/text/line_sleep.h"

namespace services {

using engine::BuildStatement;
using engine::TruncateDouble;
using engine::StatementBuild;
using engine::TagOper;
using engine::TagVar;

namespace {

std::string DateText(int32_t yyyymmdd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d%02d%02d", yyyymmdd / 10000, yyyymmdd / 100 % 100,
                yyyymmdd % 100);
  return buf;
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
