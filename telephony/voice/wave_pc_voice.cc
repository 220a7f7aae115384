#include "telephony/voice/wave_pc_voice.h"

#include "telephony/voice/espeak_speech.h"
#include "telephony/voice/pc_sound.h"
#include "telephony/voice/wave_play.h"

namespace telephony {

std::unique_ptr<PcPlayer> WavePcVoiceDevices::OpenPlayer(std::string_view file, int32_t volume,
                                                         int32_t device, int32_t offset,
                                                         int32_t line) {
  return std::make_unique<TagWavePlay>(file, volume, device, offset, WaveTagOfLine(line));
}

std::unique_ptr<PcSpeech> WavePcVoiceDevices::NewSpeech(int32_t line) {
  return std::make_unique<TagTTS>(kDefaultWaveDevice, line);
}

InstalledPcVoice::InstalledPcVoice() { SetPcVoiceDevices(&devices_); }

InstalledPcVoice::~InstalledPcVoice() {
  StopPcSound();
  SetPcVoiceDevices(nullptr);
}

}  // namespace telephony
