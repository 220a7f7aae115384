// The voice statements of the script language: playing ("Play(",
// "StartLoopPlay(", "ReLoopPlay(", "Stop(", "PcPlay(", "IsPcPlayEnd("),
// recording ("Record(", "StartRecord(", "SetRecPos("), the voice settings of
// the script ("SetSndDir(", "SelectLan(", "GetCurSndDir(", "SetSndExt(",
// "SetBreak(", "SetPlayToFile(") and the voice caches ("LoadVocFile(",
// "UnloadVocFile(").
//
// Each statement resolves its voice names with the voice path rule
// (voice_path.h) and calls one operation of the line's call object. The
// script a statement acts on is its run context (the owner of a function,
// the environment of a child script); its call object is that script's
// `call`, which must be a TagVtCall. A statement that needs the call object
// and finds none returns -1.
//
// The play path (PlayVoice) is shared with the other families that play
// voice pieces (number reading): the play-to-file switch diverts every play
// into the line's play file; otherwise a voice loaded into the script's or
// the process-wide cache plays from memory, and any other voice from disk.
//
// Thread rules: statements and functions run on their line's thread only;
// the process-wide cache has its own lock.
#ifndef VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/voc_cache.h"
#include "telephony/statements/line_statement.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

class TagVtCall;

// The longest voice path handed to the call object's Play, in bytes; a
// longer path is cut at a character boundary.
inline constexpr size_t kMaxPlayPathBytes = 1023;
// The result of a play into the play file that cannot be opened.
inline constexpr int32_t kPlayFileNotOpen = -1;

// Registers the factories of the seventeen voice statements with the
// process-wide registry. Call once at start-up, before any script compiles
// (a second call registers nothing).
void RegisterVoiceStatements();

// The line's play file: the voice directory of the selected language, "t",
// the line number and the voice extension ("voc\t3.WAV"). A language
// outside 0..2 counts as an empty directory.
std::string PlayFilePath(const engine::TagTelBasic& script);

// Appends the voice at a resolved path to the line's play file, which must
// exist ("SetPlayToFile(" creates it): AppendVoiceFile's result
// (voice_file.h), or kPlayFileNotOpen when the play file cannot be opened.
int32_t AppendToPlayFile(const engine::TagTelBasic& script, std::string_view voice_path);

// The voice loaded at a resolved path: the script's own cache first, then
// the process-wide one; null when neither holds it.
std::shared_ptr<const engine::MemStruct> FindCachedVoice(engine::TagTelBasic& script,
                                                         std::string_view voice_path);

// Plays the voice at a resolved path on the script's line, with the
// script's break-on-key flag: into the play file when the script's
// playToFile is set (the call object is not touched); else the cached bytes
// (header included) through the call object's PlayMemVoc; else the file
// through its Play, on the line (not the sound card). The result is that
// operation's; kNoCallObject without a call object.
int32_t PlayVoice(engine::TagTelBasic& script, std::string_view voice_path);


// A voice directory as "SetSndDir(" stores it: a non-empty text that does
// not end in a backslash gets one (a trail byte 0x5C of a double-byte
// character is not a backslash).
std::string VoiceDirectory(std::string_view text);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_
