// TagVtCall: construction, the talk-time watchdog, the sound-card voice of
// the base class, the tone and raw-signalling stores and the trace. The
// operations with fixed bodies are in vt_call_ops.cc.
#include "telephony/vt_call.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "engine/tel_basic.h"
#include "frame/cpu_load.h"
#include "frame/log.h"
#include "platform/clock.h"

namespace telephony {
namespace {

// Waits of the sound-card voice.
constexpr uint32_t kPcPlayPollMs = 30;
constexpr uint32_t kPcPlayKeyBreakMs = 200;
constexpr uint32_t kSpeechSettleMs = 1800;
constexpr uint32_t kSpeechPollMs = 30;

bool Stopped(const TagVtCall& call) { return call.stopFlag.load(std::memory_order_relaxed) != 0; }

}  // namespace

int32_t CalendarSeconds() { return static_cast<int32_t>(platform::NowEpochSeconds()); }

TagVtCall* LineCallOf(const engine::TagTelBasic& script) {
  return dynamic_cast<TagVtCall*>(script.call);
}

TagVtCall::TagVtCall() = default;

TagVtCall::~TagVtCall() = default;

void TagVtCall::TraceLog(std::string_view text) {
  std::string line = "lcnt=" + std::to_string(lineNo) + ", ";
  line.append(text);
  frame::LogAudio(line);
}

// --- Talk-time watchdog. ---

bool TagVtCall::IsOnline() {
  const int32_t state = callState.load(std::memory_order_relaxed);
  if (state != prevState) {
    if (state == engine::kCallConnected) {
      connectTime.store(CalendarSeconds(), std::memory_order_relaxed);
    }
    prevState = state;
  } else if (!watchdogHangup_ && state == engine::kCallConnected && maxTalkTime > 0 &&
             static_cast<int64_t>(CalendarSeconds()) - connectTime.load(std::memory_order_relaxed) >
                 maxTalkTime) {
    char text[64];
    std::snprintf(text, sizeof text, "Hangup On MaxTalkTime(%d).", maxTalkTime);
    TraceLog(text);
    // A line's hang-up polls IsOnline again: that must not hang up twice.
    watchdogHangup_ = true;
    Hangup();
    watchdogHangup_ = false;
    prevState = callState.load(std::memory_order_relaxed);
  }
  return callState.load(std::memory_order_relaxed) == engine::kCallConnected;
}

bool TagVtCall::WatchdogIdle() const {
  const int32_t state = callState.load(std::memory_order_relaxed);
  return state == prevState && !(state == engine::kCallConnected && maxTalkTime > 0);
}

// --- Sound-card voice. ---

bool TagVtCall::OpenPcPlayer(std::string_view file, int32_t offset) {
  if (wavePlay) {
    wavePlay->Reopen(file, playVolume, offset);
  } else if (PcVoiceDevices* devices = GetPcVoiceDevices()) {
    wavePlay = devices->OpenPlayer(file, playVolume, kDefaultWaveDevice, offset, lineNo);
  }
  if (!wavePlay || wavePlay->Failed()) {
    wavePlay.reset();
    return false;
  }
  return true;
}

int32_t TagVtCall::PcPlay(std::string_view file, int32_t loop, int32_t wait,
                          int32_t break_on_key) {
  if (!OpenPcPlayer(file, 0)) return -2;
  wavePlay->SetLoop(loop != 0);
  if (loop != 0 || wait == 0) return 0;
  while (!Stopped(*this) && wavePlay && !wavePlay->Finished()) {
    if (break_on_key != 0 && KeysLen() > 0) {
      if (wavePlay) wavePlay->Stop();
      platform::GetClock().Sleep(kPcPlayKeyBreakMs);
      break;  // a stopped player has finished
    }
    IsOnline();
    frame::SleepTicks(kPcPlayPollMs);
  }
  return 0;
}

int32_t TagVtCall::Play(std::string_view file, int32_t break_on_key, int32_t /*on_pc*/) {
  StopPlay();
  return PcPlay(file, 0, 1, break_on_key);
}

int32_t TagVtCall::IsPcPlayEnd() { return !wavePlay || wavePlay->Finished() ? 1 : 0; }

int32_t TagVtCall::StartLoopPlay(std::string_view file, int32_t /*reserved*/) {
  if (!OpenPcPlayer(file, 0)) return -2;
  wavePlay->SetLoop(false);
  loopFile.assign(file);
  loopPlaying = 1;
  loopStartTick = platform::GetClock().TickCount();
  loopPos = 0;
  return 0;
}

void TagVtCall::StopPlay() {
  if (loopPlaying != 0) {
    const uint32_t elapsed = platform::GetClock().TickCount() - loopStartTick;
    loopPos += static_cast<int32_t>(kVoiceBytesPerMs * elapsed);
    loopPlaying = 0;
  }
  wavePlay.reset();
}

int32_t TagVtCall::ReLoopPlay() {
  if (loopPlaying != 0) return -1;
  if (loopFile.empty()) return -2;
  if (!OpenPcPlayer(loopFile, loopPos)) return -3;
  wavePlay->SetLoop(false);
  loopStartTick = platform::GetClock().TickCount();
  loopPlaying = 1;
  return loopPos;
}

int32_t TagVtCall::KeysLen() {
  if (loopPlaying != 0 && wavePlay && wavePlay->Finished()) {
    // The loop play starts again from the beginning of its file.
    const std::string file = loopFile;
    StartLoopPlay(file, 0);
  }
  return 0;
}

int32_t TagVtCall::TxtSpeak(std::string_view text, int32_t from_file, int32_t file_is_xml,
                            int32_t on_pc) {
  if (on_pc == 0) return -1;
  StopPlay();
  PcVoiceDevices* devices = GetPcVoiceDevices();
  std::unique_ptr<PcSpeech> speech = devices ? devices->NewSpeech(lineNo) : nullptr;
  if (!speech) return -1;
  const int32_t started = speech->Start(text, from_file != 0, file_is_xml != 0);
  platform::Clock& clock = platform::GetClock();
  if (started == 0) clock.Sleep(kSpeechSettleMs);
  while (!speech->Ended() && !Stopped(*this)) clock.Sleep(kSpeechPollMs);
  return started;
}

// --- Tone store. ---

int32_t TagVtCall::SetSignalTone(const TagSignalTone& tone) {
  if (tone.key() < kToneKeyMin || tone.key() > kToneKeyMax) return -1;
  signalTones[tone.key()] = tone;
  return 0;
}

void TagVtCall::ClearSignalTones() { signalTones.clear(); }

// --- Raw-signalling store. ---

int32_t TagVtCall::TakeSigRawData(std::string& out) {
  const int32_t n = sigRawRecvLen;
  if (n <= 0) return n;
  char text[40];
  std::snprintf(text, sizeof text, "GetSigRawData=%d", n);
  TraceLog(text);
  out.assign(reinterpret_cast<const char*>(sigRawData.data()), static_cast<size_t>(n));
  sigRawRecvLen = 0;
  sigRawSendLen = 0;
  return n;
}

int32_t TagVtCall::StoreSigRawData(std::string_view bytes) {
  if (bytes.size() > kSigRawMax) return -2;
  std::copy(bytes.begin(), bytes.end(), sigRawData.begin());
  sigRawSendLen = static_cast<int32_t>(bytes.size());
  return sigRawSendLen;
}

void TagVtCall::PutReceivedSigRawData(std::string_view bytes) {
  const size_t n = std::min(bytes.size(), kSigRawMax);
  std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), sigRawData.begin());
  sigRawRecvLen = static_cast<int32_t>(n);
}

}  // namespace telephony
