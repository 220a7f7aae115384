// Voice of the E1 channel: plays (also inside the line's conference
// group), the resumable loop play, recordings and stopping them all.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/board/dj_digit_call.h"
#include "telephony/voice/pc_sound.h"
#include "telephony/voice/recorded_file.h"
#include "telephony/voice/voice_path.h"

namespace telephony {
namespace {

// A name holding ".WAV" (exactly so, HoldsUpperWav) starts its board play
// this many bytes into the file, past the header.
constexpr int32_t kWavPlayOffset = 200;
constexpr uint32_t kPlayPollMs = 40;
constexpr uint32_t kPlayKeyPauseMs = 100;
constexpr uint32_t kRecordPollMs = 220;
constexpr uint32_t kRecordEndWaitMs = 900;

using BoardHold = std::lock_guard<board::BoardLock>;
using MediaHold = std::lock_guard<std::recursive_mutex>;

std::string HostPathOrEmpty(std::string_view file) {
  return platform::ToHostPath(file).value_or(std::string());
}

int32_t RecordLimit(int32_t max_seconds) {
  int64_t bytes = static_cast<int64_t>(max_seconds) * kRecordBytesPerSecond;
  return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

bool TagDjDigitCall::InConfGroup() const { return confLine().groupId >= 0; }

int32_t TagDjDigitCall::StartPlayFile(std::string_view file, int32_t position) {
  MediaHold media(mediaLock());
  const std::string name = platform::UpperGbk(file);
  if (!InConfGroup()) {
    const int32_t offset =
        position + (HoldsUpperWav(file) ? kWavPlayOffset : 0);
    const std::string host = HostPathOrEmpty(name);
    int32_t r = -1;
    if (!host.empty()) {
      BoardHold hold(boardLock());
      r = board().ChannelPlay(channel, host, offset, -1);
    }
    if (r < 0) {
      ErrorLog("Play '" + name + "' Err: " + std::to_string(r));
      return r;
    }
  } else {
    const int32_t group = confLine().groupId;
    confPlayId = digitDrive->ConfPlay(group, HostPathOrEmpty(file));
    if (confPlayId < 0) {
      TraceLog("ConfPlay(" + std::to_string(group) + ", " + std::string(file) +
               ") Error : " + std::to_string(confPlayId));
      confPlayId = -1;
      return -1;
    }
  }
  TraceLog(name);
  playing = 1;
  return 0;
}

bool TagDjDigitCall::IsPlayEnded() {
  MediaHold media(mediaLock());
  if (!playing) return true;
  int32_t id;
  {
    BoardHold hold(boardLock());
    id = board().ChannelPlayId(channel);
    if (id >= 0) return board().IsVoiceEnded(id) != 0;
  }
  ErrorLog("VoiceID<0: " + std::to_string(id));
  // The hang-up polls the line, whose pump looks at the loop play again:
  // end it first so that this does not come back here.
  e1LoopPlaying = 0;
  Hangup();
  return true;
}

bool TagDjDigitCall::IsRecordEnded() {
  MediaHold media(mediaLock());
  if (!recording) return true;
  BoardHold hold(boardLock());
  return board().IsVoiceEnded(board().ChannelRecordId(channel)) != 0;
}

void TagDjDigitCall::RestartEndedLoop() {
  MediaHold media(mediaLock());
  if (!e1LoopPlaying) return;
  const bool ended = confPlayId >= 0 ? digitDrive->IsVoiceEnded(confPlayId) != 0 : IsPlayEnded();
  if (ended && e1LoopPlaying) StartLoopPlay(std::string(e1LoopFile), 0);
}

int32_t TagDjDigitCall::Play(std::string_view file, int32_t break_on_key, int32_t on_pc) {
  if (on_pc) {
    PlayWavOnPc(file);
    return -1;
  }
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
    bool ended;
    {
      MediaHold media(mediaLock());
      ended = confPlayId >= 0 ? digitDrive->IsVoiceEnded(confPlayId) != 0 : IsPlayEnded();
    }
    if (ended) {
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
  const bool in_group = InConfGroup();
  int32_t r = StartPlayFile(name, 0);
  if (r < 0) {
    if (!in_group) TraceLog("StartPlayFile(" + name + ") Error : " + std::to_string(r));
    return -1;
  }
  e1LoopPlaying = 1;
  e1LoopFile = name;
  loopStartTick = platform::GetClock().TickCount();
  loopPos = 0;
  return 0;
}

int32_t TagDjDigitCall::ReLoopPlay() {
  MediaHold media(mediaLock());
  if (e1LoopPlaying) return -1;
  if (e1LoopFile.empty()) return -2;
  if (InConfGroup()) return -3;
  if (StartPlayFile(e1LoopFile, loopPos) < 0) return -3;
  loopStartTick = platform::GetClock().TickCount();
  e1LoopPlaying = 1;
  return 0;
}

void TagDjDigitCall::StopPlay() {
  MediaHold media(mediaLock());
  FreeCh();
}

void TagDjDigitCall::Stop() {
  if (e1LoopPlaying) {
    loopPos += static_cast<int32_t>(kVoiceBytesPerMs *
                                    (platform::GetClock().TickCount() - loopStartTick));
    e1LoopPlaying = 0;
  }
  dialing = 0;
  if (confRecordId >= 0) {
    digitDrive->ConfStopRecord(confRecordId);
    confRecordId = -1;
  }
  if (confPlayId >= 0) {
    digitDrive->ConfStopPlay(confPlayId);
    confPlayId = -1;
  }
}

void TagDjDigitCall::FreeCh() {
  MediaHold media(mediaLock());
  Stop();
  {
    BoardHold hold(boardLock());
    if (board().ChannelSwitchState(channel) >= 0) board().ClearLinkTrunkAndUserByTrunk(channel);
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
  // Only now is the recording's file complete.
  if (recordPending && !recordFile.empty()) ConvertRecordedFile(recordFile);
  recordPending = 0;
}

int32_t TagDjDigitCall::Record(std::string_view file, int32_t max_seconds,
                               int32_t stop_on_hash) {
  int32_t r = 0;
  {
    MediaHold media(mediaLock());
    const std::string host = HostPathOrEmpty(file);
    if (!host.empty()) {
      BoardHold hold(boardLock());
      r = board().ChannelRecord(channel, host, recordPos, RecordLimit(max_seconds));
    }
    if (r == 0) return -1;
    recording = 1;
  }
  platform::Clock& clock = platform::GetClock();
  while (stopFlag.load() == 0) {
    if (!IsOnline()) {
      r = -1;
      break;
    }
    ReadKeys();
    if (stop_on_hash && HasKey('#')) {
      IsOnline();
      StopPlay();
      WaitRecordEnd();
      r = 0;
      break;
    }
    if (IsRecordEnded()) {
      r = 1;
      break;
    }
    clock.Sleep(kRecordPollMs);
  }
  StopPlay();
  ConvertRecordedFile(file);
  return r;
}

int32_t TagDjDigitCall::StartRecord(std::string_view file, int32_t max_seconds) {
  MediaHold media(mediaLock());
  recordFile.clear();
  const std::string host = HostPathOrEmpty(file);
  if (!InConfGroup()) {
    int32_t r = 0;
    if (!host.empty()) {
      BoardHold hold(boardLock());
      r = board().ChannelRecord(channel, host, recordPos, RecordLimit(max_seconds));
    }
    if (r == 0) {
      TraceLog("Record(" + std::string(file) + ") Error : " + std::to_string(r));
      return -1;
    }
  } else {
    const int32_t group = confLine().groupId;
    confRecordId = digitDrive->ConfRecord(group, host, RecordLimit(max_seconds), recordPos);
    if (confRecordId < 0) {
      TraceLog("ConfRecord(" + std::to_string(group) + ", " + std::string(file) +
               ") Error : " + std::to_string(confRecordId));
      confRecordId = -1;
      return -1;
    }
  }
  recording = 1;
  recordPending = 1;
  recordFile.assign(file);
  return 0;
}

bool TagDjDigitCall::WaitRecordEnd() {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  for (;;) {
    clock.Sleep(100);
    IsOnline();
    if (IsRecordEnded()) return true;
    if (clock.TickCount() - start > kRecordEndWaitMs) return false;
    clock.Sleep(80);
  }
}

}  // namespace telephony
