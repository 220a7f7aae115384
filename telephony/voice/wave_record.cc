#include "telephony/voice/wave_record.h"

#include <chrono>

#include "frame/log.h"
#include "platform/host_path.h"
#include "platform/message_service.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

constexpr size_t kRecorderThreadStack = 0x10000;
constexpr std::chrono::milliseconds kStopWaitMs{5000};
constexpr char kRecordCaption[] = "出错了Record()";
constexpr uint32_t kRiffSizeBytes = 4;

// The header with both sizes 0, as it stands while recording.
std::string RecordingHeader() {
  std::string header = platform::WavHeaderBytes(platform::VoiceFormat(platform::kWaveTagPcm), 0,
                                                platform::WavHeaderForm::k48);
  header.replace(platform::kRiffSizeOffset, kRiffSizeBytes, kRiffSizeBytes, '\0');
  return header;
}

}  // namespace

TagWaveRecord::TagWaveRecord(std::string_view file, int32_t device, std::string tag)
    : device_id_(device),
      tag_(std::move(tag)),
      file_name_(file),
      buffer_size_(device == platform::kWaveDefaultDevice ? kRecordDefaultBuffer
                                                           : kRecordOtherBuffer) {
  file_ = platform::OpenHostFile(file, "w+b");
  if (file_ == nullptr) {
    platform::ShowMessage("无法创建'" + file_name_ + "'", kRecordCaption);
    status_ = -1;
    return;
  }
  const std::string header = RecordingHeader();
  std::fwrite(header.data(), 1, header.size(), file_);
  std::fflush(file_);
}

TagWaveRecord::~TagWaveRecord() {
  Stop();
  EndThread();
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr) return;
  if (total() > 0) WriteWavSizes(file_, kRecordHeaderBytes, total());
  std::fclose(file_);
}

int32_t TagWaveRecord::Start() {
  Stop();
  EndThread();
  std::lock_guard<std::mutex> lock(mu_);
  if (file_ == nullptr) {
    frame::LogAudio("wavFp==NULL");
    return kRecordNoFile;
  }
  finished_.store(false);
  stopping_ = false;
  write_failed_ = false;
  total_.store(0);
  buffer_.assign(buffer_size_, 0);
  if (!thread_.Start("wave record", kRecorderThreadStack, [this] { RunNotices(); })) {
    SetFinished();
    frame::LogAudio("CreateThread() Err.");
    return kRecordNoThread;
  }
  const int32_t opened = platform::GetWaveDevices().OpenIn(
      device_id_, platform::Pcm16VoiceFormat(), tag_, &notices_, &device_);
  if (opened != platform::kWaveOk) {
    device_.reset();
    SetFinished();
    char text[80];
    std::snprintf(text, sizeof text, "waveInOpen Err. devId=%d, mmRes=%d", device_id_, opened);
    frame::LogAudio(text);
    return kRecordNoDevice;
  }
  device_->AddBuffer(buffer_.data(), buffer_size_, 0);
  device_->Start();
  frame::LogAudio("Rec Start...");
  return kRecordStarted;
}

void TagWaveRecord::OnFilled(uint32_t bytes) {
  if (bytes > 0 && file_ != nullptr) {
    // Flushed at once: a failure shows with its buffer, not at the close.
    size_t written = std::fwrite(buffer_.data(), 1, bytes, file_);
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) written = 0;
    total_.fetch_add(static_cast<uint32_t>(written));
    if (written != bytes && !write_failed_) {
      write_failed_ = true;
      frame::LogAlwaysF("Record: writing \"%s\" failed after %u bytes of voice.",
                        file_name_.c_str(), total());
    }
  }
  if (!stopping_ && device_) {
    device_->AddBuffer(buffer_.data(), buffer_size_, 0);
  } else {
    SetFinished();
  }
}

void TagWaveRecord::RunNotices() {
  for (;;) {
    const platform::WaveNotice notice = notices_.Wait();
    if (notice.kind == platform::WaveNoticeKind::kQuit) return;
    std::unique_ptr<platform::WaveIn> closed;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (notice.kind == platform::WaveNoticeKind::kDone) OnFilled(notice.bytes);
      if (notice.kind == platform::WaveNoticeKind::kClosed) SetFinished();
      if (stopping_ && IsFinished()) closed = std::move(device_);
    }
    if (closed) {
      closed.reset();  // closes the device
      changed_.notify_all();
    }
    if (IsFinished()) return;
  }
}

void TagWaveRecord::SetFinished() {
  finished_.store(true, std::memory_order_release);
  changed_.notify_all();
}

void TagWaveRecord::Stop() {
  std::unique_lock<std::mutex> lock(mu_);
  if (device_) {
    stopping_ = true;
    device_->Reset();
    changed_.wait_for(lock, kStopWaitMs, [this] { return IsFinished() && !device_; });
  }
  SetFinished();
}

void TagWaveRecord::CloseDevice() {
  std::unique_ptr<platform::WaveIn> device;
  {
    std::lock_guard<std::mutex> lock(mu_);
    device = std::move(device_);
  }
}

void TagWaveRecord::EndThread() {
  if (!thread_.joinable()) return;
  notices_.Post(platform::WaveNotice{platform::WaveNoticeKind::kQuit, 0, 0});
  thread_.Join();
  // Notices left by the ended recording are of no use to the next.
  notices_.Clear();
}

}  // namespace telephony
