// Trimming the silence of a voice file in place: what lies before the first
// and after the last stretch of speech (speech_units.h) is cut, everything
// between them (silences included) stays.
//
// The trimmed samples go to "<file>.tmp" beside the file, as a WAV file
// with a 46-byte header of the file's sample type, and that file is then
// renamed over the original in one step: on every failure the original
// stays as it was and no ".tmp" is left.
//
// Called on the line's thread; two lines trimming one file at once are not
// coordinated.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_TRIM_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_TRIM_H_

#include <string>
#include <string_view>

#include "platform/file_ops.h"
#include "telephony/voice/speech_units.h"

namespace telephony {

// Results below 0 (0 and above: the number of stretches minus 1).
inline constexpr int kTrimNoSpeech = -2;    // not opened, refused, under 1000 bytes, no speech
inline constexpr int kTrimOutside = -3;     // the speech lies outside the samples read
inline constexpr int kTrimNotWritten = -4;  // the output cannot be written or put in place

// A file shorter than this is not trimmed.
inline constexpr int64_t kTrimMinFileBytes = 1000;
inline constexpr const char* kTrimTempSuffix = ".tmp";

// Writes the samples from the first unit's start to the last unit's end of
// the file units.path() to the script path output, with a 46-byte header.
// Returns the number of units minus 1, or a result above. A failed write
// removes output.
int WriteTrimmedFile(const TagWaveUnits& units, std::string_view output);

// How the trimmed file replaces the original: rename(from, to) of host
// paths, true when done. Tests pass one that fails.
using TrimRename = bool (*)(const std::string& from, const std::string& to);

// Trims the voice at a script path in place; the result of
// WriteTrimmedFile, or kTrimNotWritten (logged) when the original cannot be
// replaced.
int TrimVocFile(std::string_view path, TrimRename rename = platform::RenameHostFile);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_TRIM_H_
