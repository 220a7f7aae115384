// Random files opened by the sound-card player on the null device: as a
// voice file of any name (WAV or headerless A-law) and as a ".VOX", which
// the player turns into the WAV file beside it first. The play starts
// from a position the first byte picks and is stopped at once. Nothing may
// read past a buffer or hang, whatever a header claims.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/wave_device.h"
#include "telephony/voice/wave_play.h"

namespace {

void Play(const std::string& path, int32_t position) {
  telephony::TagWavePlay player(path, 100, platform::kWaveDefaultDevice, position, "fuzz");
  player.Stop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::SilenceMessages();
  static const auto devices = platform::MakePacedWaveDevices("");
  static platform::ScopedWaveDevices scoped(devices.get());
  const int32_t position = size > 0 ? (data[0] - 64) * 16 : 0;
  const std::string voice = fuzz_support::WriteInput("voice.wav", data, size);
  const std::string vox = fuzz_support::WriteInput("voice.VOX", data, size);
  if (voice.empty() || vox.empty()) return 0;
  Play(voice, position);
  unlink((vox + ".wav").c_str());  // so the player converts this input
  Play(vox, position);
  return 0;
}
