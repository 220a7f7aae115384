// The RIFF WAVE form of the system's voice files and of the paced sound
// device's capture files. Little-endian: "RIFF", the RIFF size (the bytes
// after that field), "WAVE", then chunks, each an 8-byte header (a four-byte
// id and the size of the body that follows) and its body: a "fmt " chunk
// holding the WaveFormat fields in their order and a "data" chunk holding
// the samples.
//
// WavHeaderBytes makes the three header forms the system writes.
// WavChunkWalker steps through the chunk headers of a file in memory or on
// disk, trusting no size; each reader applies its own rules to the chunks
// it finds (the voice reader's lenient ones are in telephony/voice).
#ifndef VTTEL_PLATFORM_WAV_FILE_H_
#define VTTEL_PLATFORM_WAV_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/wave_format.h"

namespace platform {

// "RIFF", the RIFF size and "WAVE": the first chunk starts after them.
inline constexpr size_t kWavRiffHeaderBytes = 12;
inline constexpr uint32_t kRiffSizeOffset = 4;
// The bytes the RIFF size leaves out: "RIFF" and the size itself.
inline constexpr uint32_t kRiffUncountedBytes = 8;
// A chunk header: id and size.
inline constexpr size_t kWavChunkIdBytes = 4;
inline constexpr size_t kWavChunkHeaderBytes = 8;
// The fields every fmt chunk must hold (tag up to bits per sample).
inline constexpr uint32_t kWavFmtMinBytes = 16;
// The largest data size a header can hold with its RIFF size.
inline constexpr uint32_t kWavMaxDataBytes = 0xFFFFFFFFu - 64;

// The header forms the system writes, by their fmt size: 16 bytes; 18 (a
// zero extra-size field); 20 (the extra size and a reserved field, both
// zero).
enum class WavHeaderForm : uint32_t { k44 = 16, k46 = 18, k48 = 20 };

// Header length of a form: 44, 46 or 48.
constexpr size_t WavHeaderLength(WavHeaderForm form) {
  return kWavRiffHeaderBytes + kWavChunkHeaderBytes + static_cast<size_t>(form) +
         kWavChunkHeaderBytes;
}

// The bytes of a header of the given form for data_size bytes of samples
// (held at kWavMaxDataBytes): RIFF size = header length - 8 + data_size.
std::string WavHeaderBytes(const WaveFormat& format, uint32_t data_size, WavHeaderForm form);

// The format fields from the first kWavFmtMinBytes bytes of a fmt body.
WaveFormat ParseWavFormat(const void* fmt);

// One chunk header and where it stands.
struct WavChunk {
  char id[kWavChunkIdBytes] = {};
  uint32_t size = 0;    // as written
  uint64_t offset = 0;  // of the header

  bool Is(std::string_view four) const { return four == std::string_view(id, sizeof id); }
  uint64_t body() const { return offset + kWavChunkHeaderBytes; }
};

// Walks the chunk headers of a RIFF file from the first one on, stepping
// over each body by its size (no pad byte). It checks neither the ids of the
// RIFF header nor the RIFF size, and reads nothing past the length: a
// header that does not lie whole within it ends the walk. The bytes or the
// file must outlive the walker; a file walker moves the file's position.
class WavChunkWalker {
 public:
  explicit WavChunkWalker(std::string_view bytes) : bytes_(bytes), length_(bytes.size()) {}
  WavChunkWalker(FILE* file, uint64_t length) : file_(file), length_(length) {}

  // The next chunk header: true, and the walk goes on behind its body;
  // false at the end of the walk.
  bool Next(WavChunk* chunk);

 private:
  bool ReadAt(uint64_t offset, void* to, size_t n);

  std::string_view bytes_;
  FILE* file_ = nullptr;
  uint64_t length_ = 0;
  uint64_t next_ = kWavRiffHeaderBytes;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_WAV_FILE_H_
