// The time texts of the logs: the back ends' stamp with its zero padding,
// cut to the room given, and taken from the clock the process uses.
#include "frame/log_format.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/clock.h"

namespace frame {
namespace {

TEST(LogFormat, StampPadsEachFieldAndIsCutToTheRoomGiven) {
  struct Case {
    platform::WallTime t;
    size_t size;
    const char* stamp;
  };
  const Case cases[] = {
      {{2014, 3, 5, 8, 15, 0, 123}, 32, "20140305 08:15:00.123"},
      {{2001, 1, 2, 3, 4, 5, 6}, 32, "20010102 03:04:05.006"},
      {{1999, 12, 31, 23, 59, 59, 999}, 22, "19991231 23:59:59.999"},
      {{2014, 3, 5, 8, 15, 0, 123}, 9, "20140305"},
      {{2014, 3, 5, 8, 15, 0, 123}, 1, ""},
  };
  for (const Case& c : cases) {
    char out[32];
    const size_t n = FormatLogStamp(c.t, out, c.size);
    EXPECT_STREQ(out, c.stamp) << c.size;
    EXPECT_EQ(n, std::string(c.stamp).size());
  }
}

TEST(LogFormat, StampOfTheClockTime) {
  platform::FakeClock clock;  // 2014-03-05 08:15:00.123 local
  platform::ScopedClock scoped(&clock);
  char stamp[22];
  EXPECT_EQ(FormatLogStamp(platform::GetClock().Now(), stamp, sizeof stamp), 21u);
  EXPECT_STREQ(stamp, "20140305 08:15:00.123");
}

}  // namespace
}  // namespace frame
