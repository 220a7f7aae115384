// The play path: how a voice that a script names reaches its line. Every
// statement that plays goes through here ("Play(", "PcPlay(",
// "PlayNumber(", "PcPlayNumber(", the time-out voice of "GetKeys("); no
// statement calls the call object's Play or PlayMemVoc itself.
//
//  - The play-to-file switch (playToFile of the line's settings,
//    line_settings.h) diverts a play into the line's play file
//    ("<voice dir>t<line><voice ext>"); the call object is not touched.
//  - Otherwise a voice for the line (not the sound card) that a voice cache
//    holds (the script's own first, then the process-wide one) plays from
//    memory through the call object's PlayMemVoc.
//  - Any other voice plays from its file through the call object's Play.
// Plays from memory and "Play(" use the script's break-on-key flag. Paths
// are resolved voice paths (voice_path.h); a play without a call object
// gives kNoCallObject. The script is the acting one; every function but
// PlayVoice, PcPlayVoice and PlayFile REQUIRES its stores (line_settings.h).
//
// Thread rules: on the script's line thread only; the process-wide cache
// has its own lock. The script and its call object must outlive the call.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_PLAY_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_PLAY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/voice/voc_cache.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

// The longest voice path "Play(" hands to the call object's Play, in bytes;
// a longer path is cut at a character boundary.
inline constexpr size_t kMaxPlayPathBytes = 1023;
// The result of a play into the play file that cannot be opened.
inline constexpr int32_t kPlayFileNotOpen = -1;

using CachedVoice = std::shared_ptr<const MemStruct>;

// The line's play file: the voice directory of the selected language, "t",
// the line number and the voice extension ("voc\t3.WAV"). A language
// outside 0..2 counts as an empty directory.
std::string PlayFilePath(const engine::TagTelBasic& script);

// True while the script's plays go into its play file.
bool PlaysToFile(const engine::TagTelBasic& script);

// "SetPlayToFile(": turns the play-to-file switch on or off; turning it on
// creates the line's play file empty. 0, or kPlayFileNotOpen when the play
// file cannot be created (the switch stays on).
int32_t SetPlayToFile(engine::TagTelBasic& script, bool on);

// True when a play for the line (on_pc false) may come from the voice
// caches: the script does not play to its play file.
bool MayPlayFromMemory(const engine::TagTelBasic& script, bool on_pc);

// Appends the voice at a resolved path to the line's play file, which must
// exist ("SetPlayToFile(" creates it): AppendVoiceFile's result
// (voice_file.h), or kPlayFileNotOpen when the play file cannot be opened.
int32_t AppendToPlayFile(const engine::TagTelBasic& script, std::string_view voice_path);

// The voice loaded at a resolved path: the script's own cache first, then
// the process-wide one; null when neither holds it.
CachedVoice FindCachedVoice(engine::TagTelBasic& script, std::string_view voice_path);

// The cached copy of every path, in order, or an empty list when one of
// them is not cached.
std::vector<CachedVoice> FindAllCached(engine::TagTelBasic& script,
                                       const std::vector<std::string>& voice_paths);

// Plays length bytes (a whole voice file, header included) on the line
// through the call object's PlayMemVoc with the script's break-on-key flag:
// its result.
int32_t PlayMemory(engine::TagTelBasic& script, const char* bytes, int32_t length);

// Plays the file at a path through the call object's Play (on the PC's
// sound card when on_pc): its result.
int32_t PlayFile(engine::TagTelBasic& script, std::string_view path, bool break_on_key,
                 bool on_pc);

// "Play(": into the play file when the script plays to it; else the cached
// voice from memory; else the file (its path cut to kMaxPlayPathBytes) on
// the line with the script's break-on-key flag.
int32_t PlayVoice(engine::TagTelBasic& script, std::string_view voice_path);

// "PcPlay(": into the play file when the script plays to it; else the call
// object's PcPlay(path, loop, wait, no key break).
int32_t PcPlayVoice(engine::TagTelBasic& script, std::string_view voice_path, bool loop,
                    bool wait);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_PLAY_H_
