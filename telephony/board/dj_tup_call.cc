#include "telephony/board/dj_tup_call.h"

#include <cstdio>

#include "platform/clock.h"
#include "telephony/board/channel_wait.h"

namespace telephony {
namespace {

constexpr uint32_t kWaitRingPauseMs = 180;
constexpr uint32_t kUnblockTimeoutMs = 40000;
constexpr uint32_t kUnblockPauseMs = 120;
constexpr int32_t kMessageCharge = 4;
constexpr int32_t kMessageAnswer = 6;
// binding.h addresses an E1 channel as member type 0.
constexpr int32_t kChannelTypeE1 = 0;

using BoardHold = std::lock_guard<board::BoardLock>;

bool IsFailedProgress(uint8_t progress) {
  return progress == 3 || progress == 4 || progress == 8;
}

}  // namespace

TagDjTupCall::TagDjTupCall(int32_t ch, TagDjDigitDrive* drive_of_line)
    : TagDjDigitCall(ch, drive_of_line) {}

TagDjTupCall::~TagDjTupCall() = default;

void TagDjTupCall::Pump() {
  {
    BoardHold hold(boardLock());
    digitDrive->tup().TupPump();
  }
  TagDjDigitCall::Pump();
}

void TagDjTupCall::ReadState() {
  uint8_t state;
  {
    BoardHold hold(boardLock());
    state = digitDrive->tup().TupCircuitState(Port(), Slot());
  }
  if (state != tupState) {
    char text[64];
    snprintf(text, sizeof text, "[%d:%d], chState=%d, 0x%x", e1Port, timeSlot, state, state);
    TraceLog(text);
  }
  tupState = state;
}

bool TagDjTupCall::IsOnline() {
  if (stopFlag.load() != 0) return false;
  TagVtCall::IsOnline();  // the talk-time watchdog
  Pump();
  ReadState();
  switch (tupState) {
    case kTupIdle:
      blocked = 0;
      return false;
    case kTupFarReleased:
      FreeCh();
      {
        BoardHold hold(boardLock());
        digitDrive->tup().TupRelease(Port(), Slot(), kReleaseAcknowledge);
      }
      callState = engine::kCallReleased;
      return false;
    case kTupBlocked:
      blocked = 1;
      return false;
    case kTupOutConnected:
    case kTupOffered:
    case kTupConnected:
      return true;
    default:
      return callState.load() == engine::kCallConnected;
  }
}

int32_t TagDjTupCall::WaitRing(int32_t rings) {
  ClearKeys();
  if (rings <= 0) return -1;
  callingNo.clear();
  calledNo.clear();
  // Idle lines spend their time here: asleep until their circuit changes
  // where the board tells, else all polling at the same instants.
  ChannelWait wait(*digitDrive, kChannelTypeE1, channel, kWaitRingPauseMs);
  for (;;) {
    wait.BeforeLook();
    if (stopFlag.load() != 0) break;
    if (IsOnline() && tupState == kTupOffered) {
      incomingPending = 1;
      SetCharge(chargeFlag);
      Answer(chargeFlag);
      MarkConnected();
      break;
    }
    wait.Pause();
  }
  ClearKeys();
  return 0;
}

int32_t TagDjTupCall::IsRings(int32_t rings) {
  if (rings <= 0 || !IsOnline() || tupState != kTupOffered) return 0;
  SetCharge(chargeFlag);
  Answer(chargeFlag);
  ClearKeys();
  MarkConnected();
  return 1;
}

void TagDjTupCall::ReadNumbers() {
  digitDrive->tup().TupCalledNumber(Port(), Slot(), calledNo);
  digitDrive->tup().TupCallingNumber(Port(), Slot(), callingNo);
  if (calledNo.size() > board::kTupNumberMax) calledNo.resize(board::kTupNumberMax);
  if (callingNo.size() > board::kTupNumberMax) callingNo.resize(board::kTupNumberMax);
}

int32_t TagDjTupCall::IsRinging(std::string& calling, std::string& called) {
  if (!IsOnline() || tupState != kTupOffered) {
    incomingPending = 0;
    return 0;
  }
  {
    BoardHold hold(boardLock());
    ReadNumbers();
  }
  calling = callingNo;
  called = calledNo;
  incomingPending = 1;
  return 1;
}

int32_t TagDjTupCall::SetCharge(int32_t flag) {
  chargeFlag = static_cast<uint8_t>(flag != 0);
  if (incomingPending) {
    BoardHold hold(boardLock());
    digitDrive->tup().TupSendMessage(Port(), Slot(), kMessageCharge, flag ? 37 : 38);
    incomingPending = 0;
  }
  if (dialOnMode != 0) MarkConnected();
  return flag;
}

int32_t TagDjTupCall::Answer(int32_t flag) {
  {
    BoardHold hold(boardLock());
    ReadNumbers();
    digitDrive->tup().TupSendMessage(Port(), Slot(), kMessageAnswer, flag ? 1 : 2);
  }
  MarkConnected();
  return 0;
}

void TagDjTupCall::Hangup() {
  IsOnline();
  IsOnline();
  {
    BoardHold hold(boardLock());
    digitDrive->tup().TupRelease(Port(), Slot(), outgoing ? kReleaseOutgoing : kReleaseAnswered);
  }
  StopPlay();
  outgoing = 0;
  const int32_t state = callState.load();
  if (state != engine::kCallReleased && state != engine::kCallDialFailedHandled &&
      state != engine::kCallNone && state != engine::kCallReleasedHandled) {
    IsOnline();
    IsOnline();
    callState = engine::kCallReleased;
  }
}

int32_t TagDjTupCall::Dial(std::string_view number) {
  callState = engine::kCallDialing;
  outgoing = 1;
  if (!WaitUnblocked()) {
    ErrorLog("WaitUnblocked() err, timeout");
    Hangup();
    return -1;
  }
  ClearKeys();
  callState = engine::kCallDialing;
  const std::string calling = callerId.substr(0, kCalloutCallingMax);
  uint8_t placed;
  {
    BoardHold hold(boardLock());
    placed = digitDrive->tup().TupCallout(Port(), Slot(), number, calling);
  }
  if (placed > 0) return 0;
  Hangup();
  ErrorLog("DJNo7_Callout('" + calling + "' -> '" + std::string(number) +
           "') fail: " + std::to_string(placed) + "\n");
  return -1;
}

bool TagDjTupCall::WaitUnblocked() {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  while (stopFlag.load() == 0) {
    IsOnline();
    if (tupState == kTupIdle) return true;
    if (clock.TickCount() - start > kUnblockTimeoutMs) return false;
    clock.Sleep(kUnblockPauseMs);
  }
  return false;
}

int32_t TagDjTupCall::CheckDial() {
  const int32_t state = callState.load();
  if (state == engine::kCallConnected) return 1;
  if (state != engine::kCallDialing) return -3;
  Pump();
  ReadState();
  if (tupState == kTupConnected || tupState == kTupOutConnected) {
    MarkConnected();
    return 1;
  }
  uint8_t progress;
  {
    BoardHold hold(boardLock());
    progress = digitDrive->tup().TupProgress(Port(), Slot());
  }
  if (IsFailedProgress(progress)) {
    callState = engine::kCallFailed;
    TraceLog("Connect Failed");
    return -3;
  }
  return 0;
}

}  // namespace telephony
