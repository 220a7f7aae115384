// The voice-file operations the statements share: turning a board's
// headerless A-law recording into a WAV file, appending a voice to a line's
// play file, reading the samples of a voice for editing, and the G.711
// sample conversions of the editing code.
//
// A file whose first four bytes are not "RIFF" is headerless A-law, whatever
// its name. Functions that take a path take a script path (GBK, Windows
// form) and open it through platform::OpenHostFile; the others work on a
// FILE* the caller opened and owns.
//
// Thread rules: called on the line's own thread; each line touches only its
// own files, so nothing is locked.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_FILE_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/g711.h"

namespace telephony {

// The sample types of a voice, by the codes the editing code passes on.
enum class VoiceSampleType : int32_t {
  kAlaw = 0,   // WAV tag 6, or a headerless file
  kUlaw = 1,   // WAV tag 7
  kPcm16 = 2,  // WAV tag 1: signed 16-bit little-endian
};

// Results of RawAlawToWav.
inline constexpr int kRawToWavDone = 0;
inline constexpr int kRawToWavNoSource = -1;  // the source cannot be opened
inline constexpr int kRawToWavNoTarget = -2;  // the target cannot be created or written

// Writes wav_path as a 46-byte-header A-law WAV file holding the bytes of
// the headerless A-law file raw_path (both script paths); the target is
// truncated first. With an unreadable source the target is not touched.
int RawAlawToWav(std::string_view raw_path, std::string_view wav_path);

// Results of AppendVoiceFile.
inline constexpr int kAppendDone = 0;
inline constexpr int kAppendNoVoice = -1;        // the voice cannot be opened
inline constexpr int kAppendFormatDiffers = -2;  // a WAV voice unlike the play file
inline constexpr int kAppendBadWav = -3;         // a malformed WAV voice or play file
inline constexpr int kAppendWriteFailed = -4;    // the play file could not be written

// Appends the voice at voice_path (a script path) to the line's play file.
// play_file must be open for reading and writing in binary mode; its
// position afterwards is unspecified.
//  - The voice is taken as WAV when its path ends in exactly ".wav" or
//    ".WAV" and it begins with "RIFF"; any other voice (also "x.Wav") is
//    appended byte for byte, header and all, leaving the play file's
//    header alone.
//  - A WAV voice into an empty play file: a 46-byte header with the voice's
//    format is written first, then the samples.
//  - A WAV voice into a play file that begins with "RIFF": its samples are
//    appended and the play file's data and RIFF sizes grow by their count.
//    A voice whose format tag, bits per sample or sample rate differ from
//    the play file's is refused (logged, kAppendFormatDiffers).
//  - A WAV voice into a non-empty play file that does not begin with
//    "RIFF" (its first piece was headerless): only the samples are
//    appended; the file stays headerless.
// On every result but kAppendDone and kAppendWriteFailed the play file is
// unchanged. Failures are logged with the voice's path through LogAlways.
int AppendVoiceFile(FILE* play_file, std::string_view voice_path);

// Reads the samples of an open voice into buffer (at most capacity bytes)
// and sets *type. A headerless file is read from its start (type kAlaw).
// A WAV file needs 8000 samples a second and 8 bits for A-law and μ-law, 16
// for PCM; other format tags are read as kAlaw. Returns the number of bytes
// read; 0 for a null file, a refused or malformed WAV file (logged when the
// log level is not 0). *type is kAlaw unless a WAV file says otherwise.
size_t ReadVoiceData(FILE* file, void* buffer, size_t capacity, VoiceSampleType* type);

// One 8-bit sample of the editing code to 16 bits: G.711 A-law when alaw,
// else G.711 μ-law.
inline int16_t ExpandG711(uint8_t code, bool alaw) {
  return alaw ? platform::AlawToLinear(code) : platform::UlawToLinear(code);
}

// A 16-bit sample to G.711 A-law.
inline uint8_t CompressAlaw(int16_t sample) { return platform::LinearToAlaw(sample); }

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_FILE_H_
