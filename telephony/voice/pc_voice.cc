#include "telephony/voice/pc_voice.h"

#include <atomic>

namespace telephony {
namespace {

std::atomic<PcVoiceDevices*> pc_voice_devices{nullptr};

}  // namespace

void SetPcVoiceDevices(PcVoiceDevices* devices) {
  pc_voice_devices.store(devices, std::memory_order_release);
}

PcVoiceDevices* GetPcVoiceDevices() { return pc_voice_devices.load(std::memory_order_acquire); }

}  // namespace telephony
