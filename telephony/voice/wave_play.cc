#include "telephony/voice/wave_play.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "frame/log.h"
#include "platform/file_ops.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "platform/message_service.h"
#include "platform/thread_id.h"
#include "telephony/voice/voice_wav.h"
#include "telephony/voice/wave_convert.h"

namespace telephony {
namespace {

constexpr std::string_view kVoxExtension = ".VOX";
constexpr std::string_view kVoxWavSuffix = ".wav";
constexpr std::string_view kPartSuffix = ".part";
constexpr char kRiffId[] = "RIFF";
constexpr size_t kIdBytes = 4;
constexpr size_t kPlayerThreadStack = 0x10000;
// Stop waits this long for the end of the play; the destructor this long
// more after a stop that did not end it.
constexpr std::chrono::milliseconds kStopWaitMs{5000};
constexpr std::chrono::milliseconds kCloseWaitMs{500};
constexpr int32_t kVolumeMax = 100;
constexpr char kPlayCaption[] = "出错了Play()";

bool EndsWithVox(std::string_view name) {
  return platform::EndsWithIgnoreCaseGbk(name, kVoxExtension);
}

// One lock per ".VOX" path, so that one conversion of a path runs at once.
std::mutex& LockOfPath(const std::string& path) {
  static std::mutex table_mu;
  static std::map<std::string, std::unique_ptr<std::mutex>> locks;
  std::lock_guard<std::mutex> lock(table_mu);
  std::unique_ptr<std::mutex>& entry = locks[path];
  if (!entry) entry = std::make_unique<std::mutex>();
  return *entry;
}

// Converts vox into wav through a temporary file beside it.
void ConvertVoxBeside(const std::string& vox, const std::string& wav) {
  const std::string part =
      wav + std::string(kPartSuffix) + std::to_string(platform::CurrentThreadId());
  const int32_t r = ConvertVoxToWav(vox, part);
  const std::optional<std::string> host_part = platform::ToHostPath(part);
  const std::optional<std::string> host_wav = platform::ToHostPath(wav);
  if (r == kConvertDone && host_part && host_wav &&
      platform::RenameHostFile(*host_part, *host_wav)) {
    return;
  }
  platform::RemoveScriptFile(part);
  frame::LogAudio("ConvertVoxToWav(" + vox + ")=" + std::to_string(r));
}

}  // namespace

std::string PlayableVoiceFile(std::string_view file) {
  if (!EndsWithVox(file)) return std::string(file);
  const std::string vox(file);
  const std::string wav = vox + std::string(kVoxWavSuffix);
  std::lock_guard<std::mutex> lock(LockOfPath(vox));
  const std::optional<int64_t> vox_time = platform::ScriptFileModifiedNanos(vox);
  const std::optional<int64_t> wav_time = platform::ScriptFileModifiedNanos(wav);
  if (!wav_time || (vox_time && *wav_time < *vox_time)) ConvertVoxBeside(vox, wav);
  return wav;
}

TagWavePlay::TagWavePlay(std::string_view file, int32_t volume, int32_t device,
                         int32_t position, std::string tag)
    : device_id_(device),
      tag_(std::move(tag)),
      buffer_size_(device == platform::kWaveDefaultDevice ? kDefaultDeviceBuffer
                                                           : kOtherDeviceBuffer) {
  buffer_.resize(buffer_size_);
  if (!thread_.Start("wave play", kPlayerThreadStack, [this] { RunNotices(); })) {
    status_ = kWavePlayTooShort;
    return;
  }
  status_ = Open(file, volume, position);
}

TagWavePlay::~TagWavePlay() {
  closing_.store(true);
  Stop();
  std::unique_ptr<platform::WaveOut> device;
  {
    std::unique_lock<std::mutex> lock(mu_);
    if (device_) {
      finished_changed_.wait_for(lock, kCloseWaitMs, [this] { return Finished(); });
      finished_.store(true);
      device_->Reset();
      device = std::move(device_);
    }
    CloseStream();
  }
  device.reset();  // closes it: its last notices go to the thread
  notices_.Post(platform::WaveNotice{platform::WaveNoticeKind::kQuit, 0, 0});
  if (thread_.joinable()) thread_.Join();
}

void TagWavePlay::Reopen(std::string_view file, int32_t volume, int32_t position) {
  Stop();
  status_ = thread_.joinable() ? Open(file, volume, position) : kWavePlayTooShort;
}

int32_t TagWavePlay::Open(std::string_view file, int32_t volume, int32_t position) {
  const std::string path = PlayableVoiceFile(file);
  std::unique_ptr<platform::WaveOut> old_device;
  std::unique_lock<std::mutex> lock(mu_);
  old_device = std::move(device_);
  CloseStream();
  ++generation_;
  finished_.store(true);
  lock.unlock();
  old_device.reset();  // a device of another format may be needed
  lock.lock();

  FILE* stream = platform::OpenHostFile(path, "rb");
  if (stream == nullptr) return kWavePlayNoFile;
  platform::WaveFormat format;
  const int32_t layout = ReadLayout(stream, &format);
  if (layout != kWavePlayOk) {
    std::fclose(stream);
    return layout;
  }
  stream_ = stream;
  stopping_ = false;
  position_ = std::clamp<int64_t>(data_start_ + std::max(position, 0), data_start_, data_end_);
  std::fseek(stream_, static_cast<long>(position_), SEEK_SET);
  const int32_t opened =
      platform::GetWaveDevices().OpenOut(device_id_, format, tag_, &notices_, &device_);
  if (opened != platform::kWaveOk) {
    device_.reset();
    CloseStream();
    char text[80];
    std::snprintf(text, sizeof text, "waveOutOpen Err. [%d], id=%d", opened, device_id_);
    frame::LogAudio(text);
    return kWavePlayNoDevice;
  }
  finished_.store(false);
  lock.unlock();
  SetVolume(volume);
  lock.lock();
  const int32_t n = ReadBlock();
  if (n <= 0) {
    // Nothing to play (the position at or past the end of the voice, or a
    // failed read): no buffer will come back to end the play, so it ends
    // here, and a Stop does not wait for it.
    CloseStream();
    SetFinished();
  } else if (QueueBlock(n) != 0) {
    lock.unlock();
    Stop();
  }
  return kWavePlayOk;
}

int32_t TagWavePlay::ReadLayout(FILE* stream, platform::WaveFormat* format) {
  const int64_t length = VoiceFileLength(stream);
  if (length - kRawTailBytes < kRawMinBytes) return kWavePlayTooShort;
  char id[kIdBytes] = {};
  std::fseek(stream, 0, SEEK_SET);
  if (std::fread(id, 1, kIdBytes, stream) != kIdBytes) return kWavePlayTooShort;
  if (std::memcmp(id, kRiffId, kIdBytes) != 0) {
    *format = platform::AlawVoiceFormat();  // a headerless A-law file
    data_start_ = 0;
    data_end_ = length - kRawTailBytes;
    return kWavePlayOk;
  }
  WavHeader header;
  if (ReadWavHeader(stream, &header) != WavReadResult::kOk) return kWavePlayTooShort;
  *format = header.format;
  data_start_ = static_cast<int64_t>(header.data_offset);
  data_end_ = data_start_ + header.data_size;
  return kWavePlayOk;
}

int32_t TagWavePlay::ReadBlock() {
  if (stream_ == nullptr) return -1;
  const int64_t n = std::min<int64_t>(buffer_size_, data_end_ - position_);
  if (n <= 0 || std::fread(buffer_.data(), 1, static_cast<size_t>(n), stream_) !=
                    static_cast<size_t>(n)) {
    const int32_t r = n <= 0 ? -2 : -3;
    position_ = data_start_;
    return r;
  }
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t TagWavePlay::QueueBlock(int32_t n) {
  if (closing_.load() || stopping_ || Finished() || n <= 0 || !device_) {
    SetFinished();
    return -1;
  }
  const int32_t r = device_->Write(buffer_.data(), static_cast<uint32_t>(n), generation_);
  if (r != platform::kWaveOk) {
    SetFinished();
    char text[48];
    std::snprintf(text, sizeof text, "waveOutWrite Err. [%d]", r);
    platform::ShowMessage(text, kPlayCaption);
    return -3;
  }
  return 0;
}

void TagWavePlay::SetFinished() {
  finished_.store(true, std::memory_order_release);
  finished_changed_.notify_all();
}

void TagWavePlay::CloseStream() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
}

void TagWavePlay::OnDone(uint32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  if (id != generation_ || Finished()) return;  // a buffer of an earlier play
  if (stopping_) {
    SetFinished();
    return;
  }
  int32_t n = ReadBlock();
  if (n <= 0 && loop_.load() && (n == -2 || n == -3)) {
    std::fseek(stream_, static_cast<long>(position_), SEEK_SET);
    n = ReadBlock();
  }
  if (n > 0) {
    QueueBlock(n);
    return;
  }
  CloseStream();
  SetFinished();
}

void TagWavePlay::RunNotices() {
  for (;;) {
    const platform::WaveNotice notice = notices_.Wait();
    if (notice.kind == platform::WaveNoticeKind::kQuit) return;
    if (notice.kind == platform::WaveNoticeKind::kDone) OnDone(notice.buffer_id);
  }
}

void TagWavePlay::Stop() {
  if (in_stop_) return;
  in_stop_ = true;
  std::unique_lock<std::mutex> lock(mu_);
  if (device_) {
    stopping_ = true;
    if (device_id_ == platform::kWaveDefaultDevice) device_->Reset();
    finished_changed_.wait_for(lock, kStopWaitMs, [this] { return Finished() || !device_; });
    CloseStream();
  }
  in_stop_ = false;
}

int32_t TagWavePlay::SetVolume(int32_t volume) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!device_ || closing_.load()) return -1;
  const auto level = static_cast<uint32_t>(std::clamp(volume, 0, kVolumeMax)) *
                     platform::kWaveFullVolume / kVolumeMax;
  return device_->SetVolume(level | (level << 16)) == platform::kWaveOk ? 0 : -2;
}

}  // namespace telephony
