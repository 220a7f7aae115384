// The ALSA devices (wave_device.h): each open device is one PCM of ALSA in
// blocking mode, fed or read in slices of kSliceMs so that a reset is seen
// between slices. ALSA is given 16-bit samples: A-law and μ-law voice is
// expanded on the way out and compressed on the way in (g711.h); the
// software volume scales the samples played.
#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/g711.h"
#include "platform/wave_buffer_thread.h"
#include "platform/wave_device.h"

namespace platform {
namespace {

constexpr uint32_t kSliceMs = 100;
constexpr unsigned kLatencyMicros = 500000;
constexpr uint64_t kMillisPerSecond = 1000;

bool IsG711(const WaveFormat& f) { return f.tag == kWaveTagAlaw || f.tag == kWaveTagUlaw; }

// Bytes of one ALSA frame of the format as ALSA is given it.
uint32_t FrameBytes(const WaveFormat& f) {
  return IsG711(f) ? 2u * f.channels : f.block_align;
}

int32_t OpenPcm(const std::string& name, snd_pcm_stream_t stream, const WaveFormat& f,
                snd_pcm_t** pcm) {
  if (f.tag != kWaveTagPcm && !IsG711(f)) return kWaveBadFormat;
  if (f.tag == kWaveTagPcm && f.bits_per_sample != 16 && f.bits_per_sample != 8) {
    return kWaveBadFormat;
  }
  if (snd_pcm_open(pcm, name.c_str(), stream, 0) < 0) return kWaveBadDevice;
  const snd_pcm_format_t sample =
      f.tag == kWaveTagPcm && f.bits_per_sample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(*pcm, sample, SND_PCM_ACCESS_RW_INTERLEAVED, f.channels,
                         f.samples_per_sec, 1, kLatencyMicros) < 0) {
    snd_pcm_close(*pcm);
    *pcm = nullptr;
    return kWaveBadFormat;
  }
  return kWaveOk;
}

class AlsaWave : public WaveBufferThread {
 public:
  AlsaWave(const WaveFormat& format, WaveNoticeQueue* queue, bool input, snd_pcm_t* pcm)
      : WaveBufferThread(format, queue, input), pcm_(pcm) {}
  ~AlsaWave() override {
    Close();
    // What was played is still in the PCM's plugins (a file PCM writes
    // its file here); a cut buffer was dropped already.
    if (snd_pcm_stream(pcm_) == SND_PCM_STREAM_PLAYBACK) snd_pcm_drain(pcm_);
    snd_pcm_close(pcm_);
  }

 protected:
  // Frames of one slice.
  snd_pcm_uframes_t SliceFrames() const {
    return format().samples_per_sec * kSliceMs / kMillisPerSecond;
  }
  // Moves frames through ALSA (write or read); false on a failure that
  // recovery cannot mend.
  bool Transfer(bool input, uint8_t* frames, snd_pcm_uframes_t count) {
    while (count > 0) {
      const snd_pcm_sframes_t n = input ? snd_pcm_readi(pcm_, frames, count)
                                        : snd_pcm_writei(pcm_, frames, count);
      if (n < 0) {
        if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return false;
        continue;
      }
      frames += static_cast<size_t>(n) * FrameBytes(format());
      count -= static_cast<snd_pcm_uframes_t>(n);
    }
    return true;
  }
  void Drop() {
    snd_pcm_drop(pcm_);
    snd_pcm_prepare(pcm_);
  }
  snd_pcm_t* pcm() const { return pcm_; }

 private:
  snd_pcm_t* const pcm_;
};

class AlsaOut : public BufferedWaveOut<AlsaWave> {
 public:
  AlsaOut(const WaveFormat& format, WaveNoticeQueue* queue, snd_pcm_t* pcm)
      : BufferedWaveOut(format, queue, false, pcm) {}

 private:
  uint32_t Move(uint8_t* data, uint32_t size, uint32_t /*ready*/) override {
    const WaveFormat& f = format();
    const uint32_t slice_bytes = static_cast<uint32_t>(SliceFrames()) * f.block_align;
    uint32_t done = 0;
    while (done < size && !Cutting()) {
      const uint32_t n = std::min(slice_bytes, size - done);
      Samples(data + done, n);
      if (!Transfer(false, samples_.data(), n / f.block_align)) break;
      done += n;
    }
    // Done when ALSA has played what it still holds.
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm(), &delay) < 0 || delay < 0) delay = 0;
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(uint64_t(delay) * kMillisPerSecond /
                                                 f.samples_per_sec);
    if (done < size || WaitCut(until)) {
      Drop();
      return std::min(done, size);
    }
    return size;
  }
  // The bytes as ALSA takes them, at the volume, into samples_.
  void Samples(const uint8_t* data, uint32_t n) {
    const WaveFormat& f = format();
    if (IsG711(f)) {
      samples_.resize(size_t{n} * 2);
      for (uint32_t i = 0; i < n; ++i) {
        const int16_t s = f.tag == kWaveTagAlaw ? AlawToLinear(data[i]) : UlawToLinear(data[i]);
        StoreLe16(&samples_[2 * i], static_cast<uint16_t>(s));
      }
    } else {
      samples_.assign(data, data + n);
    }
    if (f.bits_per_sample != 8 || IsG711(f)) {
      ScalePcm16(samples_.data(), static_cast<uint32_t>(samples_.size()), Volume());
    }
  }

  std::vector<uint8_t> samples_;  // device thread
};

class AlsaIn : public BufferedWaveIn<AlsaWave> {
 public:
  AlsaIn(const WaveFormat& format, WaveNoticeQueue* queue, snd_pcm_t* pcm)
      : BufferedWaveIn(format, queue, true, pcm) {}

 private:
  uint32_t Move(uint8_t* data, uint32_t size, uint32_t /*ready*/) override {
    const WaveFormat& f = format();
    const uint32_t slice_bytes = static_cast<uint32_t>(SliceFrames()) * f.block_align;
    uint32_t done = 0;
    while (done < size && !Cutting()) {
      const uint32_t n = std::min(slice_bytes, size - done);
      const uint32_t frames = n / f.block_align;
      samples_.resize(size_t{frames} * FrameBytes(f));
      if (!Transfer(true, samples_.data(), frames)) break;
      Store(data + done, n);
      done += n;
    }
    if (done < size) Drop();
    return done;
  }
  // samples_ into the buffer's format.
  void Store(uint8_t* out, uint32_t n) {
    const WaveFormat& f = format();
    if (!IsG711(f)) {
      std::copy(samples_.begin(), samples_.begin() + n, out);
      return;
    }
    for (uint32_t i = 0; i < n; ++i) {
      const auto s = static_cast<int16_t>(LoadLe16(&samples_[2 * i]));
      out[i] = f.tag == kWaveTagAlaw ? LinearToAlaw(s) : LinearToUlaw(s);
    }
  }

  std::vector<uint8_t> samples_;  // device thread
};

class AlsaDevices : public WaveDevices {
 public:
  explicit AlsaDevices(std::string default_name) : default_name_(std::move(default_name)) {}

  int32_t OpenOut(int32_t device, const WaveFormat& format, std::string_view /*tag*/,
                  WaveNoticeQueue* queue, std::unique_ptr<WaveOut>* out) override {
    return OpenDevice<AlsaOut>(device, SND_PCM_STREAM_PLAYBACK, "alsa out", format, queue, out);
  }

  int32_t OpenIn(int32_t device, const WaveFormat& format, std::string_view /*tag*/,
                 WaveNoticeQueue* queue, std::unique_ptr<WaveIn>* in) override {
    return OpenDevice<AlsaIn>(device, SND_PCM_STREAM_CAPTURE, "alsa in", format, queue, in);
  }

 private:
  // Opens the PCM and starts a Device (AlsaOut or AlsaIn) over it.
  template <typename Device, typename Side>
  int32_t OpenDevice(int32_t device, snd_pcm_stream_t stream, const char* thread_name,
                     const WaveFormat& format, WaveNoticeQueue* queue,
                     std::unique_ptr<Side>* opened) {
    snd_pcm_t* pcm = nullptr;
    const int32_t r = OpenPcm(NameOf(device), stream, format, &pcm);
    if (r != kWaveOk) return r;
    auto made = std::make_unique<Device>(format, queue, pcm);
    if (const int32_t started = made->Open(thread_name); started != kWaveOk) return started;
    *opened = std::move(made);
    return kWaveOk;
  }

  std::string NameOf(int32_t device) const {
    return device < 0 ? default_name_ : "plughw:" + std::to_string(device);
  }

  const std::string default_name_;
};

}  // namespace

std::unique_ptr<WaveDevices> MakeAlsaWaveDevices(const std::string& default_name) {
  return std::make_unique<AlsaDevices>(default_name);
}

bool AlsaPcmOpens(const std::string& name) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
    return false;
  }
  snd_pcm_close(pcm);
  return true;
}

}  // namespace platform
