// The file path of a voice name written in a script: the rule every
// statement that names a voice or recording file uses ("Play(",
// "Record(", "LoadVocFile(", "PlayConf(", ...).
//
//  1. A name without an extension gets the script's voice extension
//     (voiceExt of the line's settings, line_settings.h; ".WAV" unless
//     "SetSndExt(" changed it).
//  2. An absolute name is used as it is (with that extension); any other
//     name follows the voice directory of the script's selected language
//     (voiceDirs[voiceDirIndex], empty or ending in '\'), with nothing put
//     between them.
// The rule never looks at the disk. Names are GBK: the trail byte of a
// double-byte character is never taken for '\'.
//
// Pure functions; the script is only read (call on its line's thread).
// ResolveVoicePath REQUIRES the script's stores (line_settings.h).
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_PATH_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_PATH_H_

#include <string>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace telephony {

// True when the name holds a '.' after its last '/' or '\' (anywhere, for a
// name without either).
bool HasFileExtension(std::string_view name);

// True when the name starts with '\' or '/', or holds two backslashes in a
// row, or a ':' followed by a backslash, anywhere.
bool IsAbsoluteVoicePath(std::string_view name);

// The three tests of a ".WAV" name, each where the system makes it (they
// differ, and each difference shows in what is played or written):
//  - NamesWavVoice: the name ends in exactly ".wav" or ".WAV" (appending to
//    the play file and joining cached pieces read such a voice's header;
//    "x.Wav" is taken byte for byte);
//  - EndsInWavAnyCase: the name is longer than four characters and ends in
//    ".WAV" in any case (a line's play on the PC's sound card; a board
//    recording made into a WAV file);
//  - HoldsUpperWav: ".WAV", exactly so, anywhere in the name (a board play
//    of such a name starts past the file's header).
bool NamesWavVoice(std::string_view name);
bool EndsInWavAnyCase(std::string_view name);
bool HoldsUpperWav(std::string_view name);

// The path of the voice name for the script. A voiceDirIndex outside 0..2
// counts as an empty voice directory.
std::string ResolveVoicePath(const engine::TagTelBasic& script, std::string_view name);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_PATH_H_
