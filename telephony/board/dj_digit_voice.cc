// Voice of the E1 channel: the time slot's board calls, Play, the
// resumable loop play and stopping everything (the shared steps are
// TagDjBaseCall's).
#include <cstdio>

#include "platform/clock.h"
#include "telephony/board/dj_digit_call.h"

namespace telephony {
namespace {

constexpr uint32_t kPlayPollMs = 40;
constexpr uint32_t kPlayKeyPauseMs = 100;

using BoardHold = std::lock_guard<board::BoardLock>;
using MediaHold = std::lock_guard<std::recursive_mutex>;

}  // namespace

int32_t TagDjDigitCall::BoardPlay(const std::string& host, int32_t offset) {
  return board().ChannelPlay(channel, host, offset, -1);
}

int32_t TagDjDigitCall::BoardPlayId() { return board().ChannelPlayId(channel); }

int32_t TagDjDigitCall::BoardRecordId() { return board().ChannelRecordId(channel); }

int32_t TagDjDigitCall::BoardRecord(const std::string& host, int32_t position,
                                    int32_t max_bytes) {
  return board().ChannelRecord(channel, host, position, max_bytes);
}

void TagDjDigitCall::RestartEndedLoop() {
  MediaHold media(mediaLock());
  if (!e1LoopPlaying) return;
  if (PlayOrConfPlayEnded() && e1LoopPlaying) StartLoopPlay(std::string(e1LoopFile), 0);
}

int32_t TagDjDigitCall::Play(std::string_view file, int32_t break_on_key, int32_t on_pc) {
  if (on_pc) return PlayOnPc(file);
  if (break_on_key && !keyBuf.empty()) {
    char text[64];
    snprintf(text, sizeof text, "Play Interrupted: [%c:0x%02x] Keys=[", keyBuf[0],
             static_cast<unsigned char>(keyBuf[0]));
    TraceLog(text + keyBuf + "]");
    return 1;
  }
  StopPlay();
  int32_t r = StartPlayFile(file, 0);
  if (r < 0) return r;
  platform::Clock& clock = platform::GetClock();
  while (stopFlag.load() == 0 && IsOnline()) {
    clock.Sleep(kPlayPollMs);
    if (PlayOrConfPlayEnded()) {
      r = 1;
      break;
    }
    clock.Sleep(kPlayPollMs);
    ReadKeys();
    if (break_on_key && !keyBuf.empty()) {
      TraceLog("Keys()");
      r = 0;
      break;
    }
    clock.Sleep(kPlayKeyPauseMs);
  }
  StopPlay();
  return r;
}

int32_t TagDjDigitCall::StartLoopPlay(std::string_view file, int32_t /*reserved*/) {
  MediaHold media(mediaLock());
  const std::string name(file);  // file may be e1LoopFile itself
  StopPlay();
  return StartLoop(name, e1LoopPlaying, e1LoopFile);
}

int32_t TagDjDigitCall::ReLoopPlay() { return ResumeLoop(e1LoopPlaying, e1LoopFile); }

void TagDjDigitCall::StopPlay() {
  MediaHold media(mediaLock());
  FreeCh();
}

void TagDjDigitCall::Stop() {
  SaveLoopPos(e1LoopPlaying);
  dialing = 0;
  StopConfMedia();
}

void TagDjDigitCall::LogClearedPortLink() {
  for (const ConfMember& m : confLine().members) {
    if (m.channel == channel || digitDrive->IsE1Line(m.channel)) continue;
    char text[128];
    snprintf(text, sizeof text,
             "FreeCh(%d): the switch to line %d was cleared; the link stays listed until "
             "UnlinkTo",
             channel, m.channel);
    ErrorLog(text);
    return;
  }
}

void TagDjDigitCall::FreeCh() {
  MediaHold media(mediaLock());
  Stop();
  {
    BoardHold hold(boardLock());
    if (board().ChannelSwitchState(channel) >= 0 &&
        board().ClearLinkTrunkAndUserByTrunk(channel) != 0) {
      LogClearedPortLink();
    }
    // A play and a recording may run together: both are stopped.
    const int32_t play_id = board().ChannelPlayId(channel);
    if (play_id >= 0) {
      if (board().IsFilePlay(play_id) == 1) {
        board().StopFilePlay(channel);
      } else if (board().IsIndexPlay(play_id) == 1) {
        board().StopIndexPlay(channel);
        board().StopFilePlay(channel);
        board().FreeVoice(play_id);
      }
    }
    if (board().ChannelRecordId(channel) >= 0) board().StopChannelRecord(channel);
  }
  playing = 0;
  recording = 0;
  FinishPendingRecord();
}

}  // namespace telephony
