#include "telephony/board/dj_user_call.h"

#include <cstdio>

#include "frame/log.h"
#include "platform/clock.h"
#include "telephony/board/caller_id_frame.h"

namespace telephony {
namespace {

constexpr uint32_t kOnlinePauseMs = 20;
constexpr uint32_t kFirstRingMs = 1500;
constexpr uint32_t kFirstRingStepMs = 100;
constexpr int32_t kFskPolls = 50;
constexpr uint32_t kFskPollMs = 70;
constexpr int32_t kFskMode = 1;
constexpr uint32_t kOnHookPauseMs = 450;
constexpr uint32_t kDialTonePauseMs = 2000;
constexpr uint32_t kConnectTimeoutMs = 45000;
constexpr uint32_t kConnectPollMs = 120;
constexpr uint32_t kLinkedStopPauseMs = 150;
// A call state that also means the call failed.
constexpr int32_t kCallStateRefused = 5;
constexpr int32_t kBoardPortPhone = 0;
constexpr int32_t kBoardPortTrunk = 1;

using BoardHold = std::lock_guard<board::BoardLock>;

// The analog port's loops.
constexpr BoardLinePacing kAnalogPacing{
    .keyReadPauseMs = 0,
    .lowerCaseKeys = false,
    .readKeysBeforeClear = false,
    .onlineEveryKeyPass = true,
    .keysGrewPauseMs = 100,
    .keysIdlePauseMs = 0,
    .keysPassPauseMs = 130,
    .keysTraced = false,
    .wavPlayOffset = 90,
    .playFailsWithBoardResult = false,
    .recordRefusedAtZero = false,
    .recordPollMs = 200,
    .faxWatchesOnline = false,
};

uint8_t KindOfPortType(int32_t type) {
  if (type == kBoardPortPhone) return engine::kLineAnalogPhone;
  if (type == kBoardPortTrunk) return engine::kLineAnalogTrunk;
  return engine::kLineOther;
}

}  // namespace

TagDjUserCall::TagDjUserCall(int32_t line_no, int32_t port_no, TagDjDigitDrive* drive_of_line)
    : TagDjBaseCall(line_no, drive_of_line, kAnalogPacing), port(port_no) {
  int32_t type;
  {
    BoardHold hold(boardLock());
    type = board().PortType(port);
  }
  lineKind = KindOfPortType(type);
  lineClosed = 0;
  callState = engine::kCallNone;
  blocked = 0;
}

TagDjUserCall::~TagDjUserCall() { stopFlag.store(1, std::memory_order_relaxed); }

// --- The port's board calls. ---

int32_t TagDjUserCall::BoardKey() { return board().PortKey(port); }

void TagDjUserCall::BoardClearKeys() { board().PortClearKeys(port); }

int32_t TagDjUserCall::BoardPlay(const std::string& host, int32_t offset) {
  return board().PortPlay(port, host, offset, -1);
}

int32_t TagDjUserCall::BoardPlayId() { return board().PortPlayId(port); }

int32_t TagDjUserCall::BoardRecordId() { return board().PortRecordId(port); }

int32_t TagDjUserCall::BoardRecord(const std::string& host, int32_t position,
                                   int32_t max_bytes) {
  return board().PortRecord(port, host, position, max_bytes);
}

// --- State. ---

void TagDjUserCall::RestartLoop() {
  digitDrive->PumpBoard();
  std::lock_guard<std::recursive_mutex> media(mediaLock());
  if (loopPlaying && PlayOrConfPlayEnded() && loopPlaying) StartLoopPlay(loopFile, 0);
}

void TagDjUserCall::SleepPumping(uint32_t ms, uint32_t step_ms) {
  for (uint32_t slept = 0; slept < ms && stopFlag.load() == 0; slept += step_ms) {
    platform::GetClock().Sleep(step_ms);
    RestartLoop();
  }
}

bool TagDjUserCall::IsOnline() {
  RestartLoop();
  TagVtCall::IsOnline();  // the talk-time watchdog
  platform::GetClock().Sleep(kOnlinePauseMs);
  if (IsPhonePort()) return GetHookState() != 0;
  return callState.load() == engine::kCallConnected;
}

int32_t TagDjUserCall::GetHookState() {
  if (!IsPhonePort()) return callState.load() == engine::kCallConnected ? 1 : 0;
  int32_t h;
  {
    BoardHold hold(boardLock());
    h = board().PortIsOffHook(port);
  }
  const int32_t implied = h != 0 ? engine::kCallConnected : engine::kCallReleased;
  // A release the script's disconnect handler has taken is still on hook.
  int32_t current = callState.load();
  if (current == engine::kCallReleasedHandled) current = engine::kCallReleased;
  if (implied != current) {
    TraceLog(h != 0 ? "On" : "Off");
    ClearKeys();
    callState = implied;
  }
  return h;
}

// --- Ringing a phone port. ---

int32_t TagDjUserCall::MakeRing(std::string_view calling) {
  if (!IsPhonePort() || GetHookState() != 0) return 0;
  int32_t r;
  {
    BoardHold hold(boardLock());
    r = board().PortStartRing(port);
  }
  char text[48];
  snprintf(text, sizeof text, "DJUser_StartRing(): %d", r);
  TraceLog(text);
  if (!calling.empty()) {
    SleepPumping(kFirstRingMs, kFirstRingStepMs);
    SendCallerId(calling);
  }
  callState = engine::kCallDialing;
  return 0;
}

void TagDjUserCall::SendCallerId(std::string_view number) {
  if (number.size() > kCallerIdNumberMax) {
    frame::LogAlwaysF("lcnt=%d, the calling number of %zu characters is sent cut to %zu.",
                      lineNo, number.size(), kCallerIdNumberMax);
  }
  const std::vector<uint8_t> message = BuildCallerIdFrame(platform::GetClock().Now(), number);
  int32_t sent;
  {
    BoardHold hold(boardLock());
    sent = digitDrive->fsk().FskSend(port, message.data(), static_cast<uint16_t>(message.size()),
                                     kFskMode);
  }
  if (sent < 0) {
    TraceLog("DJFsk_SendFSK('" + std::string(number) + "') : " + std::to_string(sent));
  } else {
    for (int32_t poll = 0; poll < kFskPolls && stopFlag.load() == 0; ++poll) {
      int32_t done;
      {
        BoardHold hold(boardLock());
        done = digitDrive->fsk().FskIsSent(port, kFskMode);
      }
      if (done != 0) break;
      platform::GetClock().Sleep(kFskPollMs);
      RestartLoop();
    }
  }
  BoardHold hold(boardLock());
  digitDrive->fsk().FskEndSend(port, kFskMode);
}

// --- Calls on a trunk port. ---

int32_t TagDjUserCall::OutCall(std::string_view number) {
  if (IsPhonePort()) {
    Hangup();
    return -1;
  }
  if (!IsTrunkPort()) {
    ErrorLog("OutCall(" + std::string(number) + "): the port is neither a phone nor a trunk port.");
    return -1;
  }
  platform::Clock& clock = platform::GetClock();
  {
    BoardHold hold(boardLock());
    board().PortOnHook(port);
  }
  clock.Sleep(kOnHookPauseMs);
  {
    BoardHold hold(boardLock());
    board().PortOffHook(port);
  }
  callState = engine::kCallDialing;
  clock.Sleep(kDialTonePauseMs);
  int32_t r;
  {
    BoardHold hold(boardLock());
    r = board().PortDial(port, number);
  }
  if (r <= 0) {
    Hangup();
    return -1;
  }
  WaitConnected();
  switch (callState.load()) {
    case engine::kCallConnected:
      TraceLog("Connect OK");
      return 0;
    case engine::kCallDialing:
      Hangup();
      TraceLog("Connect Failed, TimeOut");
      return -2;
    case engine::kCallReleased:
    case engine::kCallFailed:
    case kCallStateRefused:
      TraceLog("Connect Failed");
      return -3;
    default:
      return -4;
  }
}

void TagDjUserCall::WaitConnected() {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  dialing = 1;
  while (stopFlag.load() == 0 && dialing.load() != 0 &&
         callState.load() == engine::kCallDialing) {
    RestartLoop();
    int32_t connected;
    {
      BoardHold hold(boardLock());
      connected = board().PortConnected(port);
      if (connected != 0) board().PortStopPlay(port);
    }
    if (connected != 0) {
      callState = engine::kCallConnected;
      connectTime = CalendarSeconds();
      break;
    }
    if (clock.TickCount() - start > kConnectTimeoutMs) break;
    clock.Sleep(kConnectPollMs);
  }
  dialing = 0;
}

void TagDjUserCall::Hangup() {
  StopPlay();
  callState = engine::kCallReleased;
  if (!IsTrunkPort()) return;
  {
    BoardHold hold(boardLock());
    board().PortOnHook(port);
  }
  ClearKeys();
}

// --- Links: the port's preparation before its TagConfLine links. ---

int32_t TagDjUserCall::LinkTo(int32_t line, int32_t mode) {
  LinkTrace("LinkTo", line, mode);
  if (line < 0 || line >= digitDrive->telCount) return -1;
  StopLinkedLineMedia(line, kLinkedStopPauseMs, false);
  return confLine().Link(line, mode, false);
}

int32_t TagDjUserCall::ListenTo(int32_t line, int32_t mode) {
  LinkTrace("ListenTo", line, mode);
  if (line < 0 || line == lineNo || line >= digitDrive->telCount) return -1;
  return confLine().Link(line, mode, true);
}

int32_t TagDjUserCall::UnlinkTo(int32_t line, int32_t mode) {
  LinkTrace("UnlinkTo", line, mode);
  if (line < 0 || line >= digitDrive->telCount) return -1;
  return confLine().Unlink(line);
}

}  // namespace telephony
