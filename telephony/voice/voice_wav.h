// The WAV form of the voice files: a RIFF file, little-endian, with one
// "fmt " chunk and one "data" chunk; every voice is 8000 samples a second,
// mono, A-law, μ-law (8-bit) or linear PCM (16-bit).
//
// The reader is lenient the way voice files met in the field need: it looks
// only for "RIFF" at the start, keeps the first 20 bytes of the fmt chunk
// (any fmt size of at least 16), and between the fmt chunk and the "data"
// chunk steps over at most one other chunk (a "fact" chunk, say) by its
// size; the header found after that is taken as the data header whatever
// its id. It never trusts a size: a header or chunk that runs past the end
// of the file is refused and a data size beyond the end is clipped.
//
// The writer makes the three header forms the system writes: 44 bytes (fmt
// size 16), 46 bytes (18: a zero extra-size field) and 48 bytes (20: extra
// size and a reserved field, both zero).
//
// Pure functions over a FILE* the caller owns; no state.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace telephony {

inline constexpr uint16_t kWavTagPcm = 1;
inline constexpr uint16_t kWavTagAlaw = 6;
inline constexpr uint16_t kWavTagUlaw = 7;
inline constexpr uint32_t kVoiceSampleRate = 8000;

// The bytes before the fmt chunk's body: "RIFF", RIFF size, "WAVE", "fmt ",
// fmt size.
inline constexpr size_t kWavPreambleBytes = 20;
// The part of the fmt chunk the reader keeps.
inline constexpr uint32_t kWavFmtKeptBytes = 20;
// The fields every fmt chunk must hold (tag up to bits per sample).
inline constexpr uint32_t kWavFmtMinBytes = 16;
// A chunk header: id and size.
inline constexpr size_t kWavChunkHeaderBytes = 8;
// The RIFF size counts everything after its own field and the chunk id.
inline constexpr uint32_t kRiffSizeOffset = 4;
inline constexpr uint32_t kRiffUncountedBytes = 8;
// The largest data size a header can hold with its RIFF size.
inline constexpr uint32_t kWavMaxDataBytes = 0xFFFFFFFFu - 64;

// The header forms the system writes, by their fmt size.
enum class WavHeaderForm : uint32_t { k44 = 16, k46 = 18, k48 = 20 };

// The fmt fields.
struct WavFormat {
  uint16_t format_tag = kWavTagAlaw;
  uint16_t channels = 1;
  uint32_t sample_rate = kVoiceSampleRate;
  uint32_t byte_rate = kVoiceSampleRate;
  uint16_t block_align = 1;
  uint16_t bits_per_sample = 8;
};

// 8000 samples a second, mono, of the given tag (A-law, μ-law: 8 bits;
// PCM: 16 bits), with the byte rate and block align that go with it.
WavFormat VoiceWavFormat(uint16_t format_tag);

// Format tag, bits per sample and sample rate: what decides whether two
// voices can be played one after the other from one file.
bool SameSampleFormat(const WavFormat& a, const WavFormat& b);

// What the reader found.
struct WavHeader {
  uint32_t riff_size = 0;
  uint32_t fmt_size = 0;  // as written
  WavFormat format;
  uint64_t data_size_offset = 0;  // where the data size field is
  uint64_t data_offset = 0;       // where the samples start
  uint32_t data_size = 0;         // as written, clipped to the file's end
};

enum class WavReadResult {
  kOk,
  kNotRiff,    // fewer than four bytes, or they are not "RIFF"
  kMalformed,  // starts with "RIFF" but the header cannot be read
};

// Reads the header of file from its start and leaves the position at the
// first sample (on kOk). file must be open for reading.
WavReadResult ReadWavHeader(FILE* file, WavHeader* header);

// The bytes of a header of the given form for data_size bytes of samples:
// RIFF size = header length - 8 + data_size (data_size at most
// kWavMaxDataBytes).
std::string WavHeaderBytes(const WavFormat& format, uint32_t data_size, WavHeaderForm form);

// Sets the sizes of a header already in file for data_size bytes of
// samples starting at data_offset: the data size (the four bytes before
// data_offset) and the RIFF size (data_offset - 8 + data_size). file must be
// open for writing; its position is left after the data size. False when a
// write fails.
bool WriteWavSizes(FILE* file, uint64_t data_offset, uint32_t data_size);

// Header length of a form: 44, 46 or 48.
constexpr size_t WavHeaderLength(WavHeaderForm form) {
  return kWavPreambleBytes + static_cast<size_t>(form) + kWavChunkHeaderBytes;
}

// Writes every byte to file at its position; false when a write fails
// (bytes still buffered are checked when the file is closed).
bool WriteBytes(FILE* file, std::string_view bytes);

// The length of an open file (its position is left at the end); -1 when it
// cannot be found.
int64_t VoiceFileLength(FILE* file);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_
