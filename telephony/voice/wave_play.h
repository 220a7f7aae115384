// TagWavePlay: one voice file playing on a wave-out device of the PC's sound
// card: WAV files in any format the device takes, headerless A-law files
// (their last 90 bytes are not played) and ".VOX" ADPCM files, which play
// from the WAV file made beside them (x.VOX -> x.VOX.wav, made again when
// the ".VOX" is newer). One device buffer is in flight at a time; a thread
// of the player refills it on each done notice, loops when asked, and the
// player can be reopened with another file on the same device.
//
// Thread rules: construction, Reopen, Stop, SetLoop, SetVolume, Finished and
// destruction are the owning line's; the notification thread reads and
// queues the blocks. The play state is guarded by mu_; finished_ is an
// atomic for the owner's polls.
#ifndef VTTEL_TELEPHONY_VOICE_WAVE_PLAY_H_
#define VTTEL_TELEPHONY_VOICE_WAVE_PLAY_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/thread.h"
#include "platform/wave_device.h"
#include "telephony/voice/pc_voice.h"

namespace telephony {

// Results of an open (status()).
inline constexpr int32_t kWavePlayOk = 0;
inline constexpr int32_t kWavePlayNoFile = -1;     // the file cannot be opened
inline constexpr int32_t kWavePlayTooShort = -2;   // too short, malformed, or no thread
inline constexpr int32_t kWavePlayNoDevice = -3;   // the device cannot be opened
// Headerless files: the bytes at the end that are not played, and the
// least that must remain to be played.
inline constexpr int64_t kRawTailBytes = 90;
inline constexpr int64_t kRawMinBytes = 100;
// Buffer of the default device and of the others.
inline constexpr uint32_t kDefaultDeviceBuffer = 81920;
inline constexpr uint32_t kOtherDeviceBuffer = 2048;

// The file a player plays for `file`: for a name ending in ".VOX" (any
// case) the WAV file beside it, made first when it is missing or older than
// the ".VOX" (into a temporary name renamed over it, under a lock of the
// path, so that lines playing one new ".VOX" convert it once and a failed
// conversion leaves no WAV file); other names as they are.
std::string PlayableVoiceFile(std::string_view file);

class TagWavePlay : public PcPlayer {
 public:
  // Opens file on the wave-out device from byte `position` of its voice at
  // volume 0..100; the caller reads status(). tag names the player in
  // capture files ("L<line>", "pc").
  TagWavePlay(std::string_view file, int32_t volume, int32_t device, int32_t position,
              std::string tag);
  ~TagWavePlay() override;
  TagWavePlay(const TagWavePlay&) = delete;
  TagWavePlay& operator=(const TagWavePlay&) = delete;

  void Reopen(std::string_view file, int32_t volume, int32_t position) override;
  bool Failed() const override { return status_ != kWavePlayOk; }
  void SetLoop(bool loop) override { loop_.store(loop, std::memory_order_relaxed); }
  bool Finished() const override { return finished_.load(std::memory_order_acquire); }
  // Ends the play: the default device gives its buffer back at once, the
  // others play it out; waits at most kStopWaitMs for the end.
  void Stop() override;
  // Both channels at volume x 0xFFFF / 100 (above 100 counts as 100): 0, -1
  // without a device, -2 when the device refused.
  int32_t SetVolume(int32_t volume);
  int32_t status() const { return status_; }

 private:
  int32_t Open(std::string_view file, int32_t volume, int32_t position);
  // Reads the file's voice layout into the fields. REQUIRES: mu_ held.
  int32_t ReadLayout(FILE* stream, platform::WaveFormat* format);
  // A block into buffer_: its size, -1 no stream, -2 at the end, -3 read
  // failure (both rewinding position_). REQUIRES: mu_ held.
  int32_t ReadBlock();
  // Queues n bytes of buffer_; 0, or negative with finished_ set.
  // REQUIRES: mu_ held.
  int32_t QueueBlock(int32_t n);
  void OnDone(uint32_t id);
  void RunNotices();
  void SetFinished();
  void CloseStream();  // REQUIRES: mu_ held

  const int32_t device_id_;
  const std::string tag_;
  const uint32_t buffer_size_;
  std::vector<uint8_t> buffer_;
  platform::WaveNoticeQueue notices_;
  platform::Thread thread_;
  int32_t status_ = kWavePlayOk;          // owner
  std::atomic<bool> finished_{true};
  std::atomic<bool> loop_{false};
  std::atomic<bool> closing_{false};
  bool in_stop_ = false;                  // owner
  std::mutex mu_;
  std::condition_variable finished_changed_;
  std::unique_ptr<platform::WaveOut> device_;  // guarded by mu_
  FILE* stream_ = nullptr;                // guarded by mu_
  int64_t data_start_ = 0;                // guarded by mu_
  int64_t data_end_ = 0;                  // guarded by mu_
  int64_t position_ = 0;                  // guarded by mu_
  bool stopping_ = false;                 // guarded by mu_
  uint32_t generation_ = 0;               // guarded by mu_: id of this play's buffers
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_WAVE_PLAY_H_
