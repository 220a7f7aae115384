// Voice of the analog port: Play, the resumable loop play and stopping
// everything (the shared steps are TagDjBaseCall's).
#include "platform/clock.h"
#include "telephony/board/dj_user_call.h"

namespace telephony {
namespace {

constexpr uint32_t kPlayPollMs = 220;

using MediaHold = std::lock_guard<std::recursive_mutex>;

}  // namespace

int32_t TagDjUserCall::Play(std::string_view file, int32_t break_on_key, int32_t on_pc) {
  if (on_pc) return PlayOnPc(file);
  if (break_on_key && !keyBuf.empty()) return 1;
  StopPlay();
  int32_t r = StartPlayFile(file, 0);
  if (r < 0) return r;
  while (stopFlag.load() == 0 && GetHookState() != 0) {
    IsOnline();
    if (PlayOrConfPlayEnded()) {
      r = 1;
      break;
    }
    ReadKeys();
    if (break_on_key && !keyBuf.empty()) {
      r = 0;
      break;
    }
    platform::GetClock().Sleep(kPlayPollMs);
  }
  StopPlay();
  TraceLog("EndPlay.");
  return r;
}

int32_t TagDjUserCall::StartLoopPlay(std::string_view file, int32_t /*reserved*/) {
  return StartLoop(file, loopPlaying, loopFile);
}

int32_t TagDjUserCall::ReLoopPlay() { return ResumeLoop(loopPlaying, loopFile); }

void TagDjUserCall::StopPlay() {
  MediaHold media(mediaLock());
  SaveLoopPos(loopPlaying);
  {
    std::lock_guard<board::BoardLock> hold(boardLock());
    if (IsPhonePort()) board().PortStopRing(port);
    if (playing) board().PortStopPlay(port);
    if (recording) board().PortStopRecord(port);
  }
  StopConfMedia();
  FinishPendingRecord();
  playing = 0;
  recording = 0;
  loopPlaying = 0;
}

}  // namespace telephony
