#include "telephony/board/dj_digit_call.h"

#include <cstdio>

#include "platform/clock.h"

namespace telephony {
namespace {

// An outgoing call that has not connected after this long is given up.
constexpr uint32_t kConnectTimeoutMs = 45000;
constexpr uint32_t kCheckDialPauseMs = 220;

// The E1 channel's loops (Play keeps its own pauses).
constexpr BoardLinePacing kE1Pacing{
    .keyReadPauseMs = 50,
    .lowerCaseKeys = true,
    .readKeysBeforeClear = true,
    .onlineEveryKeyPass = false,
    .keysGrewPauseMs = 0,
    .keysIdlePauseMs = 65,
    .keysPassPauseMs = 0,
    .keysTraced = true,
    .wavPlayOffset = 200,
    .playFailsWithBoardResult = true,
    .recordRefusedAtZero = true,
    .recordPollMs = 220,
    .faxWatchesOnline = true,
};

}  // namespace

TagDjDigitCall::TagDjDigitCall(int32_t ch, TagDjDigitDrive* drive_of_line)
    : TagDjBaseCall(ch, drive_of_line, kE1Pacing),
      channel(ch),
      e1Port(ch / kChannelsPerTrunk),
      timeSlot(ch % kChannelsPerTrunk) {
  lineKind = engine::kLineE1;
}

TagDjDigitCall::~TagDjDigitCall() = default;

bool TagDjDigitCall::IsOnline() { return false; }

bool TagDjDigitCall::WaitUnblocked() { return true; }

void TagDjDigitCall::Pump() {
  digitDrive->PumpBoard();
  RestartEndedLoop();
}

void TagDjDigitCall::MarkConnected() {
  callState.store(engine::kCallConnected, std::memory_order_relaxed);
  connectTime.store(CalendarSeconds(), std::memory_order_relaxed);
}

int32_t TagDjDigitCall::OutCall(std::string_view number) {
  int32_t r = Dial(number);
  char text[160];
  snprintf(text, sizeof text, "Dial(%.*s) : %d, conn=%d", static_cast<int>(number.size()),
           number.data(), r, callState.load());
  TraceLog(text);
  if (r < 0) return r;
  dialing = 1;
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  while (stopFlag.load() == 0 && dialing.load() != 0 &&
         callState.load() == engine::kCallDialing) {
    r = CheckDial();
    if (r != 0) {
      snprintf(text, sizeof text, "CheckDial() : %d, conn=%d", r, callState.load());
      TraceLog(text);
      break;
    }
    if (clock.TickCount() - start > kConnectTimeoutMs) {
      TraceLog("Connect TimeOut");
      Hangup();
      r = -2;
      break;
    }
    clock.Sleep(kCheckDialPauseMs);
  }
  dialing = 0;
  if (callState.load() == engine::kCallConnected) {
    TraceLog("Connect OK");
    return 0;
  }
  return r;
}

int32_t TagDjDigitCall::GetCallerId(std::string& number) {
  number = callingNo;
  return static_cast<int32_t>(number.size());
}

int32_t TagDjDigitCall::GetCalleeId(std::string& number) {
  number = calledNo;
  return static_cast<int32_t>(number.size());
}

}  // namespace telephony
