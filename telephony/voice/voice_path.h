// The file path of a voice name written in a script: the rule every
// statement that names a voice or recording file uses ("Play(",
// "Record(", "LoadVocFile(", "PlayConf(", ...).
//
//  1. A name without an extension gets the script's voice extension
//     (voiceExt, ".WAV" unless "SetSndExt(" changed it).
//  2. An absolute name is used as it is (with that extension); any other
//     name follows the voice directory of the script's selected language
//     (voiceDirs[voiceDirIndex], empty or ending in '\'), with nothing put
//     between them.
// The rule never looks at the disk. Names are GBK: the trail byte of a
// double-byte character is never taken for '\'.
//
// Pure functions; the script is only read (call on its line's thread).
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

// The path of the voice name for the script. A voiceDirIndex outside 0..2
// counts as an empty voice directory.
std::string ResolveVoicePath(const engine::TagTelBasic& script, std::string_view name);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_PATH_H_
