// Links of the E1 channel: the preparation that a link of a time slot
// needs before its TagConfLine makes it.
#include <cstdio>

#include "platform/clock.h"
#include "telephony/board/dj_digit_call.h"

namespace telephony {
namespace {

constexpr uint32_t kOwnStopPauseMs = 50;
constexpr uint32_t kOtherStopPauseMs = 360;
constexpr uint32_t kLinkRetryPauseMs = 200;

}  // namespace

int32_t TagDjDigitCall::LinkTo(int32_t line, int32_t mode) {
  if (line < 0 || line >= digitDrive->telCount) return -1;
  platform::Clock& clock = platform::GetClock();
  const bool owns_group = confLine().groupId >= 0 && confLine().groupOwner < 0;
  if (!owns_group) {
    StopPlay();
    clock.Sleep(kOwnStopPauseMs);
  }
  StopLinkedLineMedia(line, kOtherStopPauseMs, true);
  int32_t r = confLine().Link(line, mode, false);
  if (r < 0) {
    clock.Sleep(kLinkRetryPauseMs);
    r = confLine().Link(line, mode, false);
  }
  char text[96];
  snprintf(text, sizeof text, "[%d] : LinkTo(%d, %d): %d", channel, line, mode, r);
  TraceLog(text);
  return r;
}

int32_t TagDjDigitCall::ListenTo(int32_t line, int32_t mode) {
  LinkTrace("ListenTo", line, mode);
  if (line < 0 || line == channel || line >= digitDrive->telCount) return -1;
  if (digitDrive->confCount <= 0) return -2;
  return confLine().Link(line, mode, true);
}

int32_t TagDjDigitCall::UnlinkTo(int32_t line, int32_t mode) {
  LinkTrace("UnlinkTo", line, mode);
  if (line < 0) return -1;
  return confLine().Unlink(line);
}

}  // namespace telephony
