// The sound-card voice of the call objects on the wave devices in use
// (platform::GetWaveDevices): players are TagWavePlay objects named after
// their line; speech objects are TagTTS objects on the default device.
//
// Thread rules: stateless; install one with SetPcVoiceDevices at start-up.
#ifndef VTTEL_TELEPHONY_VOICE_WAVE_PC_VOICE_H_
#define VTTEL_TELEPHONY_VOICE_WAVE_PC_VOICE_H_

#include "telephony/voice/pc_voice.h"

namespace telephony {

class WavePcVoiceDevices : public PcVoiceDevices {
 public:
  std::unique_ptr<PcPlayer> OpenPlayer(std::string_view file, int32_t volume, int32_t device,
                                       int32_t offset, int32_t line) override;
  std::unique_ptr<PcSpeech> NewSpeech(int32_t line) override;
};

// Installs a WavePcVoiceDevices for the life of the program (vttel,
// vtsrun); at the end the PC player of the board lines stops and the makers
// are taken back. Built before the lines run, destroyed after they ended.
class InstalledPcVoice {
 public:
  InstalledPcVoice();
  ~InstalledPcVoice();
  InstalledPcVoice(const InstalledPcVoice&) = delete;
  InstalledPcVoice& operator=(const InstalledPcVoice&) = delete;

 private:
  WavePcVoiceDevices devices_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_WAVE_PC_VOICE_H_
