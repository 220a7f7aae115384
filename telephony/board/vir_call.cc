#include "telephony/board/vir_call.h"

#include <cstdio>
#include <cstring>

#include "frame/log.h"
#include "frame/monitor.h"
#include "platform/clock.h"
#include "platform/g711.h"
#include "telephony/board/vir_card.h"
#include "telephony/tel_drive.h"
#include "telephony/voice/wave_record.h"

namespace telephony {
namespace {

constexpr uint32_t kRecordPollMs = 30;
constexpr uint32_t kMillisPerSecond = 1000;
constexpr uint32_t kInputSettleMs = 80;
constexpr uint32_t kEndRtpSettleMs = 90;
constexpr int32_t kMediaStartValue = 8;
constexpr size_t kMediaThreadStack = 0x10000;

// The media channel of the bridge. The SIP stack whose stream it would
// carry is not part of this system: every operation reports success and no
// voice passes.
class MediaChannel {
 public:
  static int32_t Create(int32_t* handle) {
    static std::atomic<int32_t> next{1};
    *handle = next.fetch_add(1);
    return 0;
  }
  static int32_t Start(int32_t /*handle*/, int32_t /*value*/) { return 0; }
  static int32_t Send(int32_t /*handle*/, const uint8_t* /*bytes*/, uint32_t /*count*/) {
    return 0;
  }
  // Bytes received into out: none.
  static uint32_t Receive(int32_t /*handle*/, uint8_t* /*out*/, uint32_t /*capacity*/) {
    return 0;
  }
  static void Stop(int32_t /*handle*/) {}
  static void Destroy(int32_t /*handle*/) {}
};

// A device's number in the traces.
int DeviceNumber(const void* device) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(device) & 0x7FFFFFFF);
}

bool NoticeEndsThread(const platform::WaveNotice& notice, const TagVirCall& call) {
  return notice.kind == platform::WaveNoticeKind::kQuit || call.stopFlag.load() != 0;
}

}  // namespace

TagVirCall::TagVirCall(int32_t line, TagVirCard* card) : monitorLine(line), card_(card) {
  lineNo = line;
  lineKind = engine::kLineVirtual;
  drive = card;
}

TagVirCall::~TagVirCall() {
  StopPlay();
  if (waveIn_ || waveOut_ || mediaChannel != 0) EndRtp();
  EndMediaThreads();
}

void TagVirCall::ClearKeys() { frame::ClearLineKeys(monitorLine); }

int32_t TagVirCall::KeysLen() {
  TagVtCall::KeysLen();  // restarts a finished loop play
  return frame::GetLineKeysLen(monitorLine);
}

uint32_t TagVirCall::ChangeCount() {
  platform::ChangeBell* keys = frame::LineKeysBell(monitorLine);
  return keys != nullptr ? keys->Count() : TagVtCall::ChangeCount();
}

void TagVirCall::WaitChange(uint32_t seen, uint32_t timeout_ms) {
  if (platform::ChangeBell* keys = frame::LineKeysBell(monitorLine)) {
    platform::GetClock().WaitChange(*keys, seen, timeout_ms);
  } else {
    TagVtCall::WaitChange(seen, timeout_ms);
  }
}

uint8_t TagVirCall::ToldChanges() {
  return (WatchdogIdle() ? engine::kToldOnline : 0) |
         (frame::LineKeysBell(monitorLine) != nullptr ? engine::kToldKeysCell : 0);
}

void TagVirCall::WakeStopWait() {
  if (platform::ChangeBell* keys = frame::LineKeysBell(monitorLine)) keys->Ring();
}

int32_t TagVirCall::Record(std::string_view file, int32_t max_seconds, int32_t stop_on_key) {
  auto recorder = std::make_unique<TagWaveRecord>(file, platform::kWaveDefaultDevice,
                                                  WaveTagOfLine(lineNo));
  if (recorder->status() != 0) return -2;
  const int32_t started = recorder->Start();
  if (started != kRecordStarted) {
    char text[48];
    std::snprintf(text, sizeof text, "Record Start()=%d", started);
    TraceLog(text);
    return -1;
  }
  platform::Clock& clock = platform::GetClock();
  const uint32_t begin = clock.TickCount();
  while (stopFlag.load() == 0 && !recorder->IsFinished()) {
    if (max_seconds > 0 &&
        clock.TickCount() - begin > static_cast<uint32_t>(max_seconds) * kMillisPerSecond) {
      frame::LogAudio("Rec timeout...");
      recorder->Stop();
    } else if (stop_on_key != 0 && KeysLen() > 0) {
      frame::LogAudio("Press key...");
      recorder->Stop();
    } else {
      clock.Sleep(kRecordPollMs);
    }
  }
  recorder->CloseDevice();
  return 0;
}

int32_t TagVirCall::LinkTo(int32_t line, int32_t /*mode*/) {
  if (line < 0 || line == lineNo) return kLinkBadLine;
  int32_t kind = kCardNone;
  TagTelDrive* line_drive = card_ != nullptr ? card_->lineDrive : nullptr;
  TagVtCall* other = line_drive != nullptr ? line_drive->GetCall(line, &kind) : nullptr;
  char text[64];
  if (other == nullptr) {
    std::snprintf(text, sizeof text, "GetCall(destLine=%d) is NULL", line);
    TraceLog(text);
    return kLinkNoSipLine;
  }
  if (kind != kCardSip) {
    std::snprintf(text, sizeof text, "GetCall(destLine=%d) type=%d", line, kind);
    TraceLog(text);
    return kLinkNoSipLine;
  }
  linkedCall = other;
  return ConnectMedia(other);
}

int32_t TagVirCall::ConnectMedia(TagVtCall* other) {
  linkedCall = other;
  const int32_t r = StartRtp();
  if (other != nullptr) other->LinkTo(lineNo, 0);
  return r;
}

int32_t TagVirCall::DisconnectMedia() {
  if (linkedCall == nullptr) return -1;
  linkedCall->UnlinkTo(lineNo, 0);
  StopPlay();
  EndRtp();
  linkedCall = nullptr;
  return 0;
}

int32_t TagVirCall::UnlinkTo(int32_t line, int32_t /*mode*/) {
  if (line < 0) return -1;
  if (linkedCall == nullptr || line != linkedCall->lineNo) return -2;
  return DisconnectMedia();
}

int32_t TagVirCall::UnlinkAll() {
  DisconnectMedia();
  return 0;
}

int32_t TagVirCall::StartRtp() {
  if (mediaChannel != 0) EndRtp();
  EndMediaThreads();
  mediaRunning.store(0);
  char text[96];
  int32_t r = MediaChannel::Create(&mediaChannel);
  std::snprintf(text, sizeof text,
                "TagVirCall::StartRtp::ms_external_channel_create : mChannel=%d, ret=%d",
                mediaChannel, r);
  TraceLog(text);
  r = MediaChannel::Start(mediaChannel, kMediaStartValue);
  std::snprintf(text, sizeof text,
                "TagVirCall::StartRtp::ms_external_channel_start : mChannel=%d, ret=%d",
                mediaChannel, r);
  TraceLog(text);

  const platform::WaveFormat alaw = platform::AlawVoiceFormat();
  const std::string tag = WaveTagOfLine(lineNo);
  inThread_.Start("media in", kMediaThreadStack, [this] { RunInput(); });
  std::unique_lock<std::mutex> lock(mediaMu_);
  r = platform::GetWaveDevices().OpenIn(platform::kWaveDefaultDevice, alaw, tag, &inNotices_,
                                        &waveIn_);
  if (r != platform::kWaveOk) {
    waveIn_.reset();
    std::snprintf(text, sizeof text, "waveInOpen Err. [%d]", r);
    TraceLog(text);
    return -1;
  }
  lock.unlock();
  platform::GetClock().Sleep(kInputSettleMs);
  lock.lock();
  // The device holds one buffer at a time: the four take turns (RunInput).
  waveIn_->AddBuffer(inBuffers_[0].data(), kMediaBufferBytes, 0);
  r = waveIn_->Start();
  std::snprintf(text, sizeof text, "waveInStart: hwi=%d, ret=%d", DeviceNumber(waveIn_.get()), r);
  frame::LogMsg(text);

  outThread_.Start("media out", kMediaThreadStack, [this] { RunOutput(); });
  r = platform::GetWaveDevices().OpenOut(platform::kWaveDefaultDevice, alaw, tag, &outNotices_,
                                         &waveOut_);
  if (r != platform::kWaveOk) {
    waveOut_.reset();
    std::snprintf(text, sizeof text, "waveOutOpen Err. [%d]", r);
    TraceLog(text);
    return -2;
  }
  for (auto& buffer : outBuffers_) buffer.fill(platform::kAlawZero);
  waveOut_->Write(outBuffers_[0].data(), kMediaBufferBytes, 0);
  std::snprintf(text, sizeof text, "wave in=%d, out=%d", DeviceNumber(waveIn_.get()),
                DeviceNumber(waveOut_.get()));
  TraceLog(text);
  mediaRunning.store(1);
  return 0;
}

int32_t TagVirCall::EndRtp() {
  mediaRunning.store(0);
  TraceLog("EndRtp()1...");
  platform::GetClock().Sleep(kEndRtpSettleMs);
  char text[64];
  std::unique_ptr<platform::WaveIn> in;
  {
    std::lock_guard<std::mutex> lock(mediaMu_);
    if (waveIn_) waveIn_->Reset();
    in = std::move(waveIn_);
  }
  if (in) {
    const int number = DeviceNumber(in.get());
    in.reset();
    std::snprintf(text, sizeof text, "waveInClose(%d)=%d", number, 0);
    TraceLog(text);
  }
  TraceLog("EndRtp()2...");
  std::unique_ptr<platform::WaveOut> out;
  {
    std::lock_guard<std::mutex> lock(mediaMu_);
    out = std::move(waveOut_);
  }
  if (out) {
    const int number = DeviceNumber(out.get());
    out.reset();
    std::snprintf(text, sizeof text, "waveOutClose(%d)=%d", number, 0);
    TraceLog(text);
  }
  EndMediaThreads();  // before the channel goes: the threads use it
  if (mediaChannel != 0) {
    MediaChannel::Stop(mediaChannel);
    MediaChannel::Destroy(mediaChannel);
    mediaChannel = 0;
  }
  TraceLog("EndRtp().");
  return 0;
}

void TagVirCall::EndMediaThreads() {
  for (auto [thread, queue] : {std::pair{&inThread_, &inNotices_},
                               std::pair{&outThread_, &outNotices_}}) {
    if (!thread->joinable()) continue;
    queue->Post(platform::WaveNotice{platform::WaveNoticeKind::kQuit, 0, 0});
    thread->Join();
    queue->Clear();
  }
}

void TagVirCall::RunInput() {
  for (;;) {
    const platform::WaveNotice notice = inNotices_.Wait();
    if (NoticeEndsThread(notice, *this)) return;
    if (notice.kind == platform::WaveNoticeKind::kOpened) {
      frame::LogMsgF("in WIM_OPEN: %d", lineNo);
    } else if (notice.kind == platform::WaveNoticeKind::kClosed) {
      frame::LogMsg("MM_WIM_CLOSE");
      return;
    } else if (mediaRunning.load() != 0 && notice.bytes > 0) {
      const size_t slot = notice.buffer_id % kMediaBuffersEachWay;
      MediaChannel::Send(mediaChannel, inBuffers_[slot].data(), notice.bytes);
      const size_t next = (slot + 1) % kMediaBuffersEachWay;
      std::lock_guard<std::mutex> lock(mediaMu_);
      if (waveIn_) {
        waveIn_->AddBuffer(inBuffers_[next].data(), kMediaBufferBytes,
                           static_cast<uint32_t>(next));
      }
    }
  }
}

void TagVirCall::RunOutput() {
  for (;;) {
    const platform::WaveNotice notice = outNotices_.Wait();
    if (NoticeEndsThread(notice, *this)) return;
    if (notice.kind == platform::WaveNoticeKind::kOpened) {
      frame::LogMsg("MM_WOM_OPEN");
    } else if (notice.kind == platform::WaveNoticeKind::kClosed) {
      frame::LogMsg("MM_WOM_CLOSE");
    } else if (mediaRunning.load() != 0 && notice.buffer_id < kMediaBuffersEachWay) {
      const size_t next = (notice.buffer_id + 1) % kMediaBuffersEachWay;
      auto& buffer = outBuffers_[next];
      if (MediaChannel::Receive(mediaChannel, buffer.data(), kMediaBufferBytes) <
          kMediaBufferBytes) {
        buffer.fill(platform::kAlawZero);
      }
      std::lock_guard<std::mutex> lock(mediaMu_);
      if (waveOut_) {
        waveOut_->Write(buffer.data(), kMediaBufferBytes, static_cast<uint32_t>(next));
      }
    }
  }
}

}  // namespace telephony
