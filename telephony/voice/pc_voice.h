// The sound-card voice that a call object uses on the PC: a player of voice
// files and a speech object. The wave-device layer and the speech layer
// install their makers here; until one is installed every open fails, so a
// call object's PC play returns its open failure and PC speech returns -1.
//
// Thread rules: the makers are installed at start-up (or by a test) before
// any line runs and must outlive every call object that uses them; players
// and speech objects are used by one line's thread.
#ifndef VTTEL_TELEPHONY_VOICE_PC_VOICE_H_
#define VTTEL_TELEPHONY_VOICE_PC_VOICE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace telephony {

// The default wave-out device.
inline constexpr int32_t kDefaultWaveDevice = -1;
// The line number of the process-wide PC player (pc_sound.h), which is no
// line's.
inline constexpr int32_t kPcSoundLine = -1;

// The name of a line's players and recorders in the capture files of the
// file sound device: "L<line>", or "pc" for kPcSoundLine.
std::string WaveTagOfLine(int32_t line);

// One voice file playing on the sound card.
class PcPlayer {
 public:
  virtual ~PcPlayer() = default;
  // Plays another file from a byte offset with the given volume (0..100).
  virtual void Reopen(std::string_view file, int32_t volume, int32_t offset) = 0;
  // The last open or play failed.
  virtual bool Failed() const = 0;
  // With the loop flag set the file starts again when it ends.
  virtual void SetLoop(bool loop) = 0;
  virtual bool Finished() const = 0;
  virtual void Stop() = 0;
};

// One text being spoken on the sound card.
class PcSpeech {
 public:
  virtual ~PcSpeech() = default;
  // Starts speaking the text (or the file it names, as XML when is_xml);
  // 0 when the speech started.
  virtual int32_t Start(std::string_view text, bool from_file, bool is_xml) = 0;
  virtual bool Ended() = 0;
};

class PcVoiceDevices {
 public:
  virtual ~PcVoiceDevices() = default;
  // A player of file from offset on the wave-out device for line (or
  // kPcSoundLine); null when none could be made (a made player reports its
  // own failures through Failed).
  virtual std::unique_ptr<PcPlayer> OpenPlayer(std::string_view file, int32_t volume,
                                               int32_t device, int32_t offset,
                                               int32_t line) = 0;
  // A speech object on the default output device for line (named as the
  // players are); null when none.
  virtual std::unique_ptr<PcSpeech> NewSpeech(int32_t line) = 0;
};

// The makers in use (null: none installed).
void SetPcVoiceDevices(PcVoiceDevices* devices);
PcVoiceDevices* GetPcVoiceDevices();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_PC_VOICE_H_
