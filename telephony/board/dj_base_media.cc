// Voice and keys of a board line on its own board resource: what the E1
// channel and the analog port do alike, with the line kind's board calls
// and pauses.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "frame/monitor.h"
#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/board/dj_base_call.h"
#include "telephony/board/key_scan.h"
#include "telephony/voice/pc_sound.h"
#include "telephony/voice/recorded_file.h"
#include "telephony/voice/scratch_voice.h"
#include "telephony/voice/voice_path.h"

namespace telephony {
namespace {

constexpr uint32_t kRecordEndFirstMs = 100;
constexpr uint32_t kRecordEndStepMs = 80;
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

// --- Keys. ---

void TagDjBaseCall::ReadKeys() {
  IsOnline();
  bool got = false;
  for (;;) {
    int32_t key;
    {
      BoardHold hold(boardLock());
      key = BoardKey();
    }
    if (!IsDtmfKey(key, pacing_.lowerCaseKeys)) break;
    if (keyBuf.size() < kKeyBufMax) keyBuf.push_back(platform::AsciiUpper(static_cast<char>(key)));
    got = true;
    if (pacing_.keyReadPauseMs > 0) platform::GetClock().Sleep(pacing_.keyReadPauseMs);
  }
  if (got) frame::DispKeys(lineNo, keyBuf);
}

bool TagDjBaseCall::HasKey(char key) const { return keyBuf.find(key) != std::string::npos; }

void TagDjBaseCall::ClearKeys() {
  if (pacing_.readKeysBeforeClear) ReadKeys();
  keyBuf.clear();
  {
    BoardHold hold(boardLock());
    BoardClearKeys();
  }
  frame::DispKeys(lineNo, keyBuf);
}

int32_t TagDjBaseCall::KeysLen() {
  ReadKeys();
  return static_cast<int32_t>(keyBuf.size());
}

int32_t TagDjBaseCall::GetKeys(std::string& buffer, int32_t max_keys, int32_t total_seconds,
                               std::string_view end_keys) {
  const char end_key = end_keys.empty() ? 0 : end_keys[0];
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t last_key = start;
  size_t seen = keyBuf.size();
  int32_t result = -1;
  std::string keys;
  while (stopFlag.load() == 0) {
    ReadKeys();
    KeyScan scan = ScanKeys(keyBuf, max_keys, end_key, keys);
    if (scan.ended) {
      keyBuf.erase(0, scan.consumed);
      buffer = keys;
      result = static_cast<int32_t>(keys.size());
      break;
    }
    if (pacing_.onlineEveryKeyPass) IsOnline();
    if (!LineHeld()) {
      buffer = keys;
      result = -1;
      break;
    }
    const uint32_t now = clock.TickCount();
    const bool key_gap_over = keyTime > 0 && now - last_key > static_cast<uint32_t>(keyTime) * 1000;
    const bool total_over =
        total_seconds > 0 && now - start > static_cast<uint32_t>(total_seconds) * 1000;
    if (key_gap_over || total_over) {
      buffer = keyBuf;
      ClearKeys();
      if (pacing_.keysTraced) TraceLog("GetKeys() timeout");
      return -1;
    }
    if (keyBuf.size() > seen) {
      if (pacing_.keysGrewPauseMs > 0) clock.Sleep(pacing_.keysGrewPauseMs);
      last_key = clock.TickCount();
    } else if (pacing_.keysIdlePauseMs > 0) {
      clock.Sleep(pacing_.keysIdlePauseMs);
    }
    if (pacing_.keysPassPauseMs > 0) clock.Sleep(pacing_.keysPassPauseMs);
    seen = keyBuf.size();
  }
  if (pacing_.keysTraced) {
    TraceLog("GetKeys('" + buffer + "'), len=" + std::to_string(result) + ".");
  }
  return result;
}

// --- Voice. ---

bool TagDjBaseCall::InConfGroup() const { return confLine().groupId >= 0; }

int32_t TagDjBaseCall::StartPlayFile(std::string_view file, int32_t position) {
  MediaHold media(mediaLock());
  const std::string name = platform::UpperGbk(file);
  if (!InConfGroup()) {
    const int32_t offset = position + (HoldsUpperWav(file) ? pacing_.wavPlayOffset : 0);
    const std::string host = scratchHost_.empty() ? HostPathOrEmpty(name) : scratchHost_;
    int32_t r = -1;
    if (!host.empty()) {
      BoardHold hold(boardLock());
      r = BoardPlay(host, offset);
    }
    if (r < 0) {
      ErrorLog("Play '" + name + "' Err: " + std::to_string(r));
      return pacing_.playFailsWithBoardResult ? r : -1;
    }
  } else {
    const int32_t group = confLine().groupId;
    confPlayId =
        digitDrive->ConfPlay(group, scratchHost_.empty() ? HostPathOrEmpty(file) : scratchHost_);
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

bool TagDjBaseCall::IsPlayEnded() {
  MediaHold media(mediaLock());
  if (!playing) return true;
  int32_t id;
  {
    BoardHold hold(boardLock());
    id = BoardPlayId();
    if (id >= 0) return board().IsVoiceEnded(id) != 0;
  }
  ErrorLog("VoiceID<0: " + std::to_string(id));
  // The hang-up polls the line, whose pump looks at the loop play again:
  // end it first so that this does not come back here.
  ForgetLoop();
  Hangup();
  return true;
}

bool TagDjBaseCall::IsRecordEnded() {
  MediaHold media(mediaLock());
  if (!recording) return true;
  BoardHold hold(boardLock());
  return board().IsVoiceEnded(BoardRecordId()) != 0;
}

bool TagDjBaseCall::PlayOrConfPlayEnded() {
  MediaHold media(mediaLock());
  return confPlayId >= 0 ? digitDrive->IsVoiceEnded(confPlayId) != 0 : IsPlayEnded();
}

int32_t TagDjBaseCall::PlayScratchVoice(const ScratchVoice& voice, int32_t break_on_key) {
  scratchHost_ = voice.host();
  const int32_t r = Play(voice.scriptPath(), break_on_key, 0);
  scratchHost_.clear();
  return r;
}

int32_t TagDjBaseCall::PlayOnPc(std::string_view file) {
  PlayWavOnPc(file);
  return -1;
}

void TagDjBaseCall::SaveLoopPos(uint8_t& flag) {
  if (!flag) return;
  loopPos += static_cast<int32_t>(kVoiceBytesPerMs *
                                  (platform::GetClock().TickCount() - loopStartTick));
  flag = 0;
}

int32_t TagDjBaseCall::StartLoop(std::string_view file, uint8_t& flag, std::string& loop_file) {
  MediaHold media(mediaLock());
  const std::string name(file);  // file may be loop_file itself
  const bool in_group = InConfGroup();
  int32_t r = StartPlayFile(name, 0);
  if (r < 0) {
    if (!in_group) TraceLog("StartPlayFile(" + name + ") Error : " + std::to_string(r));
    return -1;
  }
  flag = 1;
  loop_file = name;
  loopStartTick = platform::GetClock().TickCount();
  loopPos = 0;
  return 0;
}

int32_t TagDjBaseCall::ResumeLoop(uint8_t& flag, const std::string& loop_file) {
  MediaHold media(mediaLock());
  if (flag) return -1;
  if (loop_file.empty()) return -2;
  if (InConfGroup()) return -3;
  if (StartPlayFile(loop_file, loopPos) < 0) return -3;
  loopStartTick = platform::GetClock().TickCount();
  flag = 1;
  return 0;
}

void TagDjBaseCall::StopConfMedia() {
  MediaHold media(mediaLock());
  if (confRecordId >= 0) {
    digitDrive->ConfStopRecord(confRecordId);
    confRecordId = -1;
  }
  if (confPlayId >= 0) {
    digitDrive->ConfStopPlay(confPlayId);
    confPlayId = -1;
  }
}

void TagDjBaseCall::FinishPendingRecord() {
  MediaHold media(mediaLock());
  // Only now is the recording's file complete.
  if (recordPending && !recordFile.empty()) ConvertRecordedFile(recordFile);
  recordPending = 0;
}

bool TagDjBaseCall::RecordRefused(int32_t result) const {
  return pacing_.recordRefusedAtZero ? result == 0 : result < 0;
}

int32_t TagDjBaseCall::Record(std::string_view file, int32_t max_seconds, int32_t stop_on_hash) {
  int32_t r = 0;
  {
    MediaHold media(mediaLock());
    const std::string host = HostPathOrEmpty(file);
    bool refused = host.empty();
    if (!refused) {
      BoardHold hold(boardLock());
      refused = RecordRefused(BoardRecord(host, recordPos, RecordLimit(max_seconds)));
    }
    if (refused) return -1;
    recording = 1;
  }
  platform::Clock& clock = platform::GetClock();
  while (stopFlag.load() == 0) {
    if (!LineHeld()) {
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
    clock.Sleep(pacing_.recordPollMs);
  }
  StopPlay();
  ConvertRecordedFile(file);
  return r;
}

int32_t TagDjBaseCall::StartRecord(std::string_view file, int32_t max_seconds) {
  MediaHold media(mediaLock());
  recordFile.clear();
  const std::string host = HostPathOrEmpty(file);
  if (!InConfGroup()) {
    int32_t r = pacing_.recordRefusedAtZero ? 0 : -1;
    if (!host.empty()) {
      BoardHold hold(boardLock());
      r = BoardRecord(host, recordPos, RecordLimit(max_seconds));
    }
    if (host.empty() || RecordRefused(r)) {
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

bool TagDjBaseCall::WaitRecordEnd() {
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  for (;;) {
    clock.Sleep(kRecordEndFirstMs);
    IsOnline();
    if (IsRecordEnded()) return true;
    if (clock.TickCount() - start > kRecordEndWaitMs) return false;
    clock.Sleep(kRecordEndStepMs);
  }
}

}  // namespace telephony
