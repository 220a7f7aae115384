// The wave devices of the PC's sound card: an output device plays one
// buffer of voice at a time, an input device fills one buffer at a time, and
// each tells its owner through a notice queue when a buffer is done (the
// opened, done and closed notices of a sound card's driver).
//
// The devices in use come from VTTEL_SOUND (GetWaveDevices):
//   unset      ALSA "default" when it opens, else the null device (said once
//              on stderr);
//   alsa       ALSA: device -1 is "default", device n is "plughw:n";
//   alsa:NAME  ALSA with NAME as device -1;
//   null       paced devices that play into nothing and record silence;
//   file:DIR   paced devices that play into "DIR/out-TAG-N.wav" (N = 1, 2,
//              ... per tag, the header completed at close) and record from
//              "DIR/in-TAG.raw" (then silence).
// Paced devices move bytes at the format's byte rate by the platform clock,
// a buffer counted from the moment it could run: on a FakeClock a buffer is
// done once the test (or the owner's sleeps) has moved the clock past its
// end, whatever the real time.
//
// Thread rules: a device object is used by its owner's thread (Write,
// AddBuffer, Start, Reset, SetVolume, destruction); notices are posted from
// the device's own thread into the owner's queue, which must outlive the
// device. A buffer handed to a device stays the owner's and must stay alive
// until its done notice has been posted (or the device is destroyed).
#ifndef VTTEL_PLATFORM_WAVE_DEVICE_H_
#define VTTEL_PLATFORM_WAVE_DEVICE_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/wave_format.h"

namespace platform {

// The default device of either direction.
inline constexpr int32_t kWaveDefaultDevice = -1;
// Full volume of a channel; the low 16 bits are the left channel, the high
// 16 bits the right.
inline constexpr uint32_t kWaveFullVolume = 0xFFFF;

// Results of the device calls.
inline constexpr int32_t kWaveOk = 0;
inline constexpr int32_t kWaveBadDevice = 2;     // no such device, or it does not open
inline constexpr int32_t kWaveNoDriver = 6;      // the thread of the device cannot start
inline constexpr int32_t kWaveBadFormat = 32;    // the device refuses the format
inline constexpr int32_t kWaveStillPlaying = 33; // a buffer is already in flight

enum class WaveNoticeKind { kOpened, kDone, kClosed, kQuit };

struct WaveNotice {
  WaveNoticeKind kind = WaveNoticeKind::kQuit;
  uint32_t buffer_id = 0;  // kDone: the id given with the buffer
  uint32_t bytes = 0;      // kDone of an input buffer: the bytes recorded
};

// The message queue of the thread that owns a device. Any thread posts;
// one thread waits.
class WaveNoticeQueue {
 public:
  void Post(const WaveNotice& notice);
  // Blocks until a notice is there and takes it.
  WaveNotice Wait();
  // Drops the notices waiting (when no thread waits any more).
  void Clear();

 private:
  std::mutex mu_;
  std::condition_variable posted_;
  std::deque<WaveNotice> notices_;  // guarded by mu_
};

// An open output device. Destroying it closes it: a buffer in flight comes
// back with its done notice, then the closed notice is posted.
class WaveOut {
 public:
  virtual ~WaveOut() = default;
  // Plays size bytes (whole blocks of the format) and posts a done notice
  // with id once they have been played. kWaveStillPlaying while a buffer
  // is in flight.
  virtual int32_t Write(const uint8_t* data, uint32_t size, uint32_t id) = 0;
  // Stops playing: the buffer in flight comes back at once (done notice).
  virtual void Reset() = 0;
  // Volume of both channels (kWaveFullVolume each: unchanged samples).
  virtual int32_t SetVolume(uint32_t volume) = 0;
};

// An open input device. Destroying it closes it as Reset does, then the
// closed notice is posted.
class WaveIn {
 public:
  virtual ~WaveIn() = default;
  // Gives the device a buffer to fill; kWaveStillPlaying while it holds one.
  virtual int32_t AddBuffer(uint8_t* data, uint32_t size, uint32_t id) = 0;
  // Starts recording into the buffer given (and those given later).
  virtual int32_t Start() = 0;
  // Stops recording: the buffer comes back at once with the bytes recorded
  // so far (done notice).
  virtual void Reset() = 0;
};

class WaveDevices {
 public:
  virtual ~WaveDevices() = default;
  // Opens output device `device` for format; tag names the player in
  // capture files. kWaveOk with *out set, else an error code. The opened
  // notice is posted before this returns.
  virtual int32_t OpenOut(int32_t device, const WaveFormat& format, std::string_view tag,
                          WaveNoticeQueue* queue, std::unique_ptr<WaveOut>* out) = 0;
  virtual int32_t OpenIn(int32_t device, const WaveFormat& format, std::string_view tag,
                         WaveNoticeQueue* queue, std::unique_ptr<WaveIn>* in) = 0;
};

// The devices a VTTEL_SOUND value names (see above); null for a value that
// names none.
std::unique_ptr<WaveDevices> MakeWaveDevices(const char* setting);
// Paced devices: null (folder empty) or file devices in folder.
std::unique_ptr<WaveDevices> MakePacedWaveDevices(const std::string& folder);
// ALSA devices with default_name as device -1.
std::unique_ptr<WaveDevices> MakeAlsaWaveDevices(const std::string& default_name);
// True when ALSA's PCM name opens for playing.
bool AlsaPcmOpens(const std::string& name);

// The devices in use: those installed by ScopedWaveDevices, else those of
// VTTEL_SOUND, made at the first call (an unknown value gives the null
// devices, said on stderr).
WaveDevices& GetWaveDevices();

// Installs devices for the life of this object (tests); they must outlive
// every device opened through them.
class ScopedWaveDevices {
 public:
  explicit ScopedWaveDevices(WaveDevices* devices);
  ~ScopedWaveDevices();
  ScopedWaveDevices(const ScopedWaveDevices&) = delete;
  ScopedWaveDevices& operator=(const ScopedWaveDevices&) = delete;

 private:
  WaveDevices* previous_;
};

// Scales 16-bit little-endian samples by a channel volume (0..0xFFFF).
void ScalePcm16(uint8_t* data, uint32_t size, uint32_t volume);

}  // namespace platform

#endif  // VTTEL_PLATFORM_WAVE_DEVICE_H_
