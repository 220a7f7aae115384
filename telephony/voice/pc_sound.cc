#include "telephony/voice/pc_sound.h"

#include <memory>
#include <mutex>

#include "platform/file_ops.h"
#include "telephony/voice/pc_voice.h"
#include "telephony/voice/voice_path.h"

namespace telephony {
namespace {

constexpr int32_t kPcSoundVolume = 100;

std::mutex pc_sound_mu;
std::unique_ptr<PcPlayer> pc_sound_player;  // guarded by pc_sound_mu

}  // namespace

void PlayWavOnPc(std::string_view file) {
  if (!EndsInWavAnyCase(file) || !platform::ScriptFileExists(file)) return;
  std::lock_guard<std::mutex> lock(pc_sound_mu);
  if (pc_sound_player) {
    pc_sound_player->Reopen(file, kPcSoundVolume, 0);
  } else if (PcVoiceDevices* devices = GetPcVoiceDevices()) {
    pc_sound_player =
        devices->OpenPlayer(file, kPcSoundVolume, kDefaultWaveDevice, 0, kPcSoundLine);
  }
  if (pc_sound_player && pc_sound_player->Failed()) pc_sound_player.reset();
}

void StopPcSound() {
  std::unique_ptr<PcPlayer> player;
  {
    std::lock_guard<std::mutex> lock(pc_sound_mu);
    player = std::move(pc_sound_player);
  }
}

}  // namespace telephony
