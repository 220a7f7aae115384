// The notice queue, the voice formats and the choice of the devices in use.
#include "platform/wave_device.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/byte_order.h"

namespace platform {
namespace {

constexpr std::string_view kSettingNull = "null";
constexpr std::string_view kSettingAlsa = "alsa";
constexpr std::string_view kSettingAlsaNamed = "alsa:";
constexpr std::string_view kSettingFile = "file:";
constexpr const char* kAlsaDefaultName = "default";

std::atomic<WaveDevices*> installed{nullptr};

WaveDevices* DevicesOfEnvironment() {
  static const std::unique_ptr<WaveDevices> devices = [] {
    const char* setting = std::getenv("VTTEL_SOUND");
    std::unique_ptr<WaveDevices> made = MakeWaveDevices(setting);
    if (made) return made;
    std::fprintf(stderr, "vttel: VTTEL_SOUND=\"%s\" names no sound device; the null device plays\n",
                 setting);
    return MakePacedWaveDevices("");
  }();
  return devices.get();
}

}  // namespace

void WaveNoticeQueue::Post(const WaveNotice& notice) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    notices_.push_back(notice);
  }
  posted_.notify_one();
}

WaveNotice WaveNoticeQueue::Wait() {
  std::unique_lock<std::mutex> lock(mu_);
  posted_.wait(lock, [this] { return !notices_.empty(); });
  const WaveNotice notice = notices_.front();
  notices_.pop_front();
  return notice;
}

void WaveNoticeQueue::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  notices_.clear();
}

std::unique_ptr<WaveDevices> MakeWaveDevices(const char* setting) {
  if (setting == nullptr || *setting == '\0') {
    if (AlsaPcmOpens(kAlsaDefaultName)) return MakeAlsaWaveDevices(kAlsaDefaultName);
    std::fprintf(stderr, "vttel: ALSA \"%s\" does not open; the null sound device plays\n",
                 kAlsaDefaultName);
    return MakePacedWaveDevices("");
  }
  const std::string_view value(setting);
  if (value == kSettingNull) return MakePacedWaveDevices("");
  if (value == kSettingAlsa) return MakeAlsaWaveDevices(kAlsaDefaultName);
  if (value.starts_with(kSettingAlsaNamed) && value.size() > kSettingAlsaNamed.size()) {
    return MakeAlsaWaveDevices(std::string(value.substr(kSettingAlsaNamed.size())));
  }
  if (value.starts_with(kSettingFile) && value.size() > kSettingFile.size()) {
    return MakePacedWaveDevices(std::string(value.substr(kSettingFile.size())));
  }
  return nullptr;
}

WaveDevices& GetWaveDevices() {
  WaveDevices* devices = installed.load(std::memory_order_acquire);
  return devices != nullptr ? *devices : *DevicesOfEnvironment();
}

ScopedWaveDevices::ScopedWaveDevices(WaveDevices* devices)
    : previous_(installed.exchange(devices, std::memory_order_acq_rel)) {}

ScopedWaveDevices::~ScopedWaveDevices() { installed.store(previous_, std::memory_order_release); }

void ScalePcm16(uint8_t* data, uint32_t size, uint32_t volume) {
  if (volume >= kWaveFullVolume) return;
  for (uint32_t i = 0; i + 1 < size; i += 2) {
    const auto sample = static_cast<int16_t>(LoadLe16(data + i));
    const auto scaled = static_cast<int32_t>(sample) * static_cast<int32_t>(volume) /
                        static_cast<int32_t>(kWaveFullVolume);
    StoreLe16(data + i, static_cast<uint16_t>(static_cast<int16_t>(scaled)));
  }
}

}  // namespace platform
