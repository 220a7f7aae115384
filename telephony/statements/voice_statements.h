// The voice statements of the script language: playing ("Play(",
// "StartLoopPlay(", "ReLoopPlay(", "Stop(", "PcPlay(", "IsPcPlayEnd("),
// recording ("Record(", "StartRecord(", "SetRecPos("), the voice settings of
// the line (VoiceSettings, line_settings.h: "SetSndDir(", "SelectLan(", "GetCurSndDir(",
// "SetSndExt(", "SetBreak(", "SetPlayToFile(") and the voice caches ("LoadVocFile(",
// "UnloadVocFile(").
//
// Each statement resolves its voice names with the voice path rule
// (voice_path.h) and calls one operation of the line's call object. The
// script a statement acts on is its run context (the owner of a function,
// the environment of a child script); its call object is that script's
// `call`, which must be a TagVtCall. A statement that needs the call object
// and finds none returns -1.
//
// "Play(" and "PcPlay(" go through the play path (voice_play.h), which the
// other families that play share.
//
// Thread rules: statements and functions run on their line's thread only;
// the process-wide cache has its own lock.
#ifndef VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_

#include <string>
#include <string_view>

namespace telephony {

// Registers the factories of the seventeen voice statements with the
// process-wide registry, and the line settings' store. Call once at start-up, before any script
// compiles (a second call registers nothing).
void RegisterVoiceStatements();

// A voice directory as "SetSndDir(" stores it: a non-empty text that does
// not end in a backslash gets one (a trail byte 0x5C of a double-byte
// character is not a backslash).
std::string VoiceDirectory(std::string_view text);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_VOICE_STATEMENTS_H_
