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

std::string Format(const char* format, int a, int b, int c, int d = 0) {
  char text[96];
  snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

}  // namespace

int32_t TagDjDigitCall::LinkTo(int32_t line, int32_t mode) {
  if (line < 0 || line >= digitDrive->telCount) return -1;
  platform::Clock& clock = platform::GetClock();
  const bool owns_group = confLine().groupId >= 0 && confLine().groupOwner < 0;
  if (!owns_group) {
    StopPlay();
    clock.Sleep(kOwnStopPauseMs);
  }
  // The other line's play or recording is stopped from this thread; its
  // media lock keeps that from racing with the other line's own thread.
  TagDjBaseCall* other = digitDrive->calls.at(line);
  if (other != nullptr && other != this && other->IsPlayingOrRecording()) {
    other->StopPlay();
    clock.Sleep(kOtherStopPauseMs);
  }
  int32_t r = confLine().Link(line, mode, false);
  if (r < 0) {
    clock.Sleep(kLinkRetryPauseMs);
    r = confLine().Link(line, mode, false);
  }
  TraceLog(Format("[%d] : LinkTo(%d, %d): %d", channel, line, mode, r));
  return r;
}

int32_t TagDjDigitCall::ListenTo(int32_t line, int32_t mode) {
  TraceLog(Format("[%d] : ListenTo(%d, %d)", channel, line, mode));
  if (line < 0 || line == channel || line >= digitDrive->telCount) return -1;
  if (digitDrive->confCount <= 0) return -2;
  return confLine().Link(line, mode, true);
}

int32_t TagDjDigitCall::UnlinkTo(int32_t line, int32_t mode) {
  TraceLog(Format("[%d] : UnlinkTo(%d, %d)", channel, line, mode));
  if (line < 0) return -1;
  return confLine().Unlink(line);
}

int32_t TagDjDigitCall::UnlinkAll() {
  TraceLog(Format("[%d] : UnlinkAll()", channel, 0, 0));
  confLine().UnlinkAll();
  return 0;
}

int32_t TagDjDigitCall::GetLinkList(std::vector<int32_t>& lines,
                                    std::vector<int32_t>& listen_only,
                                    std::vector<int32_t>& values) {
  return confLine().GetLinkList(lines, listen_only, values);
}

}  // namespace telephony
