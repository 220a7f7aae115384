// The time statements on a fake clock, in fixed time zones (Asia/Shanghai
// and the daylight-saving zones America/New_York and Europe/Berlin), with
// python3's datetime and zoneinfo as the reference for calendar arithmetic,
// local times and strftime texts.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "engine/line_call.h"
#include "platform/clock.h"
#include "services/text/calendar.h"
#include "services/text/line_sleep.h"
#include "tests/services/statement_harness.h"
#include "tests/test_support.h"

namespace {

using services_test::Call;
using services_test::Python;

// TZ for the life of the object, with the C library told of it.
class ScopedTz {
 public:
  explicit ScopedTz(const char* zone) : env_("TZ", std::string(zone)) { tzset(); }
  ~ScopedTz() { tzset(); }

 private:
  testing_support::ScopedEnv env_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One day at a time, as the system first computed it.
int32_t SteppedDate(int32_t date, int32_t days) {
  int y = date / 10000, m = date / 100 % 100, d = date % 100;
  int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  auto feb = [&] { len[1] = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0 ? 29 : 28; };
  feb();
  for (int32_t i = 0; i < days; ++i) {
    if (++d > len[m - 1]) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
        feb();
      }
    }
  }
  for (int32_t i = 0; i < -days; ++i) {
    if (--d < 1) {
      if (--m < 1) {
        m = 12;
        --y;
        feb();
      }
      d = len[m - 1];
    }
  }
  return y * 10000 + m * 100 + d;
}

TEST(TimeStatements, AfterDaysDateDocumentedCases) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  struct Case {
    const char* date;  // as text; "" for the integer 0
    int32_t days, result;
    const char* text;
  } const cases[] = {
      {"20040228", 1, 20040229, "20040229"}, {"20040228", 2, 20040301, "20040301"},
      {"20030228", 1, 20030301, "20030301"}, {"20000101", -1, 19991231, "19991231"},
      {"21000228", 1, 21000301, "21000301"}, {"", 0, 20140305, "20140305"},
      {"", 1, 20140306, "20140306"},         {"20041301", 1, -1, "old"},
      {"20040001", -1, -1, "old"},           {"20040228", INT32_MAX, -1, "old"},
      {"20040228", INT32_MIN, -1, "old"},    {"20040228", 0, 20040228, "20040228"},
  };
  for (const Case& c : cases) {
    Call call("AfterDaysDate(");
    if (*c.date != '\0') {
      call.Text(0, c.date);
    } else {
      call.Int(0, 0);
    }
    call.Int(1, c.days).Text(2, "old");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(call.Run(), c.result) << c.date << " " << c.days;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(call.arg(2).Bytes(), c.text) << c.date << " " << c.days;
  }
  // The date's integer field is read; a float's truncation is not used.
  Call number("AfterDaysDate(");
  number.Int(0, 19991231).Int(1, 1);
  EXPECT_EQ(number.Run(), 20000101);
}

// Over +-100,000 days from several starts, against python3's datetime.
TEST(TimeStatements, AfterDaysMatchesPythonDatetime) {
  const std::vector<int32_t> starts = {20040228, 19700101, 20000229, 21000228, 17520914,
                                       99991231, 10101};
  const std::vector<int32_t> days = {0,     1,     -1,    59,     365,     -366,   1461,
                                     -1461, 36524, 36525, -36525, 100000,  -100000, 12345,
                                     -54321, 2921000, 730000, -500};
  std::string program =
      "import datetime\n"
      "for s in " + [&] {
        std::string list = "[";
        for (int32_t s : starts) list += std::to_string(s) + ",";
        return list + "]";
      }() + ":\n"
      "  for n in " + [&] {
        std::string list = "[";
        for (int32_t n : days) list += std::to_string(n) + ",";
        return list + "]";
      }() + ":\n"
      "    d0 = datetime.date(s // 10000, s // 100 % 100, s % 100)\n"
      "    try:\n"
      "      d = d0 + datetime.timedelta(days=n); print(d.year * 10000 + d.month * 100 + d.day)\n"
      "    except OverflowError:\n"
      "      print('overflow')\n";
  const auto lines = Lines(Python(program));
  ASSERT_EQ(lines.size(), starts.size() * days.size());
  size_t i = 0;
  for (int32_t s : starts) {
    for (int32_t n : days) {
      const std::string& want = lines[i++];
      if (want == "overflow") continue;  // beyond python's year 9999
      EXPECT_EQ(services::AfterDays(s, n), std::stoi(want)) << s << " " << n;
    }
  }
}

// Days outside the month (0, or past its end) give what stepping gives.
TEST(TimeStatements, AfterDaysOfOddDaysMatchesStepping) {
  for (int32_t start : {20040100, 20040140, 20040299, 20041200, 20040230, 20040331}) {
    for (int32_t n : {1, 2, -1, -2, 10, -10, 38, -38, 39, -39, 40, -40, 400, -400}) {
      EXPECT_EQ(services::AfterDays(start, n), SteppedDate(start, n)) << start << " " << n;
    }
  }
}

TEST(TimeStatements, ClockStatementsReadTheFakeClock) {
  platform::FakeClock clock(0xFFFFFFF0u);
  platform::ScopedClock scoped(&clock);
  Call dt("Datetime(");
  EXPECT_EQ(dt.Run(), 20140305);
  EXPECT_EQ(dt.arg(0).intValue, 2014);
  EXPECT_EQ(dt.arg(1).intValue, 3);
  EXPECT_EQ(dt.arg(2).intValue, 5);
  EXPECT_EQ(dt.arg(3).Bytes(), "081500");
  EXPECT_EQ(dt.arg(4).intValue, 3);
  Call tick("GetTick(");
  EXPECT_EQ(tick.Run(), -16);
  EXPECT_EQ(tick.arg(0).intValue, -16);
}

TEST(TimeStatements, TimeAndMakeTimeMatchZoneinfo) {
  platform::FakeClock clock;  // 2014-03-05 08:15:00 local
  platform::ScopedClock scoped(&clock);
  struct Parts {
    int32_t y, mo, d, h, mi, s;
  };
  const std::vector<Parts> parts = {
      {2014, 3, 5, 8, 15, 0},  {2014, 7, 1, 12, 0, 0},  {2014, 1, 15, 23, 59, 59},
      {2014, 3, 9, 1, 59, 59},  {2014, 3, 9, 3, 0, 0},   {2014, 10, 26, 4, 0, 0},
      {1970, 1, 1, 0, 0, 0},   {2038, 1, 19, 3, 14, 7}, {2014, 3, 5, 8, 61, 0},
  };
  for (const char* zone : {"Asia/Shanghai", "America/New_York", "Europe/Berlin"}) {
    ScopedTz tz(zone);
    std::string program =
        "import datetime, zoneinfo\nz = zoneinfo.ZoneInfo('" + std::string(zone) + "')\n"
        "def t(y, mo, d, h, mi, s):\n"
        "  b = datetime.datetime(y, mo, d, tzinfo=z) + datetime.timedelta(hours=h, minutes=mi,"
        " seconds=s)\n"
        "  return int(datetime.datetime(b.year, b.month, b.day, b.hour, b.minute, b.second,"
        " tzinfo=z).timestamp())\n"
        "print(t(2014, 3, 5, 0, 0, 0))\n";
    for (const Parts& p : parts) {
      program += "print(t(" + std::to_string(p.y) + "," + std::to_string(p.mo) + "," +
                 std::to_string(p.d) + "," + std::to_string(p.h) + "," + std::to_string(p.mi) +
                 "," + std::to_string(p.s) + "))\n";
    }
    const auto lines = Lines(Python(program));
    ASSERT_EQ(lines.size(), parts.size() + 1) << zone;
    // All six 0: today's local midnight.
    Call midnight("MakeTime(");
    for (size_t i = 0; i < 6; ++i) midnight.Int(i, 0);
    EXPECT_EQ(midnight.Run(), std::stoll(lines[0])) << zone;
    for (size_t i = 0; i < parts.size(); ++i) {
      const Parts& p = parts[i];
      Call call("MakeTime(");
      call.Int(0, p.y).Int(1, p.mo).Int(2, p.d).Int(3, p.h).Int(4, p.mi).Int(5, p.s);
      const long long want = std::stoll(lines[i + 1]);
      EXPECT_EQ(call.Run(), want > INT32_MAX ? -1 : want) << zone << " case " << i;
    }
    // "Time(" is the fake clock's local time in seconds.
    Call now("Time(");
    EXPECT_EQ(now.Run(), std::stoll(lines[1])) << zone;
  }
  ScopedTz tz("Asia/Shanghai");
  Call text_year("MakeTime(");
  text_year.Text(0, "2014").Int(1, 3).Int(2, 5).Int(3, 8).Int(4, 15).Int(5, 0);
  EXPECT_EQ(text_year.Run(), 1393978500);
  Call far("MakeTime(");
  far.Int(0, 2100).Int(1, 1).Int(2, 1).Int(3, 0).Int(4, 0).Int(5, 0);
  EXPECT_EQ(far.Run(), -1);
}

TEST(TimeStatements, GetDateStrMatchesPythonStrftime) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  ScopedTz tz("Europe/Berlin");
  const std::vector<std::string> formats = {"%Y-%m-%d %T", "%a %b %d %j %H%M%S %T", "%y/%m/%d",
                                            "%A %B %p %I %%", "T%T%T"};
  const std::vector<int32_t> times = {0, 1404216000, 1414285200, -86400, 2000000000};
  std::string program =
      "import datetime, zoneinfo\nz = zoneinfo.ZoneInfo('Europe/Berlin')\n"
      "u = datetime.timezone.utc\n"
      "for f in " + [&] {
        std::string list = "[";
        for (const std::string& f : formats) list += "'" + f + "',";
        return list + "]";
      }() + ":\n"
      "  g = f.replace('%T', '%H:%M:%S', 1)\n"
      "  for t in " + [&] {
        std::string list = "[";
        for (int32_t t : times) list += std::to_string(t) + ",";
        return list + "]";
      }() + ":\n"
      "    for zone in (u, z):\n"
      "      print(datetime.datetime.fromtimestamp(t, zone).strftime(g))\n";
  const auto lines = Lines(Python(program));
  ASSERT_EQ(lines.size(), formats.size() * times.size() * 2);
  size_t i = 0;
  for (const std::string& f : formats) {
    for (int32_t t : times) {
      for (int32_t utc : {1, 0}) {
        Call call("GetDateStr(");
        call.Text(0, f).Int(1, t).Int(2, utc);
        EXPECT_EQ(call.Run(), 0);
        EXPECT_EQ(call.arg(3).Bytes(), lines[i++]) << f << " " << t << " utc " << utc;
      }
    }
  }
  // The documented case, a NULL time (now) and a format that is no string.
  Call epoch("GetDateStr(");
  epoch.Text(0, "%Y-%m-%d %T").Int(1, 0).Int(2, 1);
  EXPECT_EQ(epoch.Run(), 0);
  EXPECT_EQ(epoch.arg(3).Bytes(), "1970-01-01 00:00:00");
  Call now("GetDateStr(");
  now.Text(0, "%Y%m%d %T").Int(2, 0);
  EXPECT_EQ(now.Run(), 0);
  EXPECT_EQ(now.arg(3).Bytes(), "20140305 08:15:00");
  Call bad("GetDateStr(");
  bad.Int(0, 5).Int(1, 0).Int(2, 1).Text(3, "old");
  EXPECT_EQ(bad.Run(), -1);
  EXPECT_EQ(bad.arg(3).Bytes(), "old");
  // Longer than 510 characters: "".
  Call longer("GetDateStr(");
  longer.Text(0, std::string(300, 'x') + "%T" + std::string(300, 'y')).Int(1, 0).Int(2, 1);
  EXPECT_EQ(longer.Run(), 0);
  EXPECT_EQ(longer.arg(3).Bytes(), "");
  Call fits("GetDateStr(");
  fits.Text(0, std::string(502, 'x') + "%T").Int(1, 0).Int(2, 1);
  EXPECT_EQ(fits.Run(), 0);
  EXPECT_EQ(fits.arg(3).Bytes(), std::string(502, 'x') + "00:00:00");
}

// A call object whose online check releases the call after some checks.
class ReleasingCall : public engine::LineCallBase {
 public:
  explicit ReleasingCall(int checks_before_release) : left_(checks_before_release) {
    callState = engine::kCallConnected;
  }
  bool IsOnline() override {
    ++checks;
    if (--left_ == 0) callState = engine::kCallReleased;
    return callState == engine::kCallConnected;
  }
  int checks = 0;

 private:
  int left_;
};

TEST(TimeStatements, SleepEndsByTimeReleaseOrStop) {
  platform::FakeClock clock;
  platform::ScopedClock scoped(&clock);
  ReleasingCall never(-1);
  services::SleepSeconds(0.5, &never, nullptr);
  EXPECT_GE(clock.SleptMillis(), 500u);
  EXPECT_LE(clock.SleptMillis(), 502u);
  EXPECT_EQ(never.checks, 26);  // the first pass and every 20th

  // A wait of 0 lasts until the call is released: 5 checks, 81 passes.
  platform::FakeClock clock2;
  platform::ScopedClock scoped2(&clock2);
  ReleasingCall released(5);
  services::SleepSeconds(0, &released, nullptr);
  EXPECT_EQ(released.checks, 5);
  EXPECT_EQ(clock2.SleptMillis(), 81u);

  // A negative wait likewise; a raised stop flag ends it before any pass.
  ReleasingCall stopped(-1);
  stopped.stopFlag = 1;
  services::SleepSeconds(-3, &stopped, nullptr);
  EXPECT_EQ(stopped.checks, 0);
  std::atomic<uint8_t> script_stopped{1};
  services::SleepSeconds(0, nullptr, &script_stopped);
  EXPECT_EQ(clock2.SleptMillis(), 81u);

  // The wait in milliseconds is truncated: 0.0019 s is 1 ms.
  platform::FakeClock clock3;
  platform::ScopedClock scoped3(&clock3);
  services::SleepSeconds(0.0019, nullptr, nullptr);
  EXPECT_EQ(clock3.SleptMillis(), 2u);
}

}  // namespace
