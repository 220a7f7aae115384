#include "telephony/voice/pc_voice.h"

#include <atomic>

namespace telephony {
namespace {

std::atomic<PcVoiceDevices*> pc_voice_devices{nullptr};

}  // namespace

void SetPcVoiceDevices(PcVoiceDevices* devices) {
  pc_voice_devices.store(devices, std::memory_order_release);
}

std::string WaveTagOfLine(int32_t line) {
  return line == kPcSoundLine ? std::string("pc") : "L" + std::to_string(line);
}

PcVoiceDevices* GetPcVoiceDevices() { return pc_voice_devices.load(std::memory_order_acquire); }

}  // namespace telephony
