// The voice reader and the size updates of the voice files, which are WAV
// files (platform/wav_file.h: the header forms and the writer); every voice
// is 8000 samples a second, mono, A-law, μ-law (8-bit) or linear PCM
// (16-bit).
//
// The reader is lenient the way voice files met in the field need: it looks
// only for "RIFF" at the start, takes the first chunk as the fmt chunk (any
// fmt size of at least 16), and between the fmt chunk and the "data" chunk
// steps over at most one other chunk (a "fact" chunk, say) by its size; the
// header found after that is taken as the data header whatever its id. It
// never trusts a size: a header or chunk that runs past the end of the file
// is refused and a data size beyond the end is clipped.
//
// Pure functions over a FILE* the caller owns; no state.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/wav_file.h"
#include "platform/wave_format.h"

namespace telephony {

// Format tag, bits per sample and sample rate: what decides whether two
// voices can be played one after the other from one file.
bool SameSampleFormat(const platform::WaveFormat& a, const platform::WaveFormat& b);

// What the reader found.
struct WavHeader {
  uint32_t riff_size = 0;
  uint32_t fmt_size = 0;  // as written
  platform::WaveFormat format;
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

// Sets the sizes of a header already in file for data_size bytes of
// samples starting at data_offset: the data size (the four bytes before
// data_offset) and the RIFF size (data_offset - 8 + data_size). file must be
// open for writing; its position is left after the data size. False when a
// write fails.
bool WriteWavSizes(FILE* file, uint64_t data_offset, uint32_t data_size);

// Writes every byte to file at its position; false when a write fails
// (bytes still buffered are checked when the file is closed).
bool WriteBytes(FILE* file, std::string_view bytes);

// The length of an open file (its position is left at the end); -1 when it
// cannot be found.
int64_t VoiceFileLength(FILE* file);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_WAV_H_
