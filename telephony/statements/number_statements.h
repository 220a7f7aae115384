// The number statements: "PlayNumber(" reads a number aloud on the line,
// "PcPlayNumber(" on the PC's sound card (so does "PlayNumber(" compiled on
// a virtual line). Arguments: the number (any value, taken as its text) and
// the mode (0 number, 1 money, 2 digits, 3 date, 4 clock time, 5 duration;
// number_reading.h says what each reads as).
//
// The voice pieces of the reading (each voice name resolved by the voice
// path rule, so "shi" is "<voice dir>shi<voice ext>") are joined into one
// voice and played as one:
//  - from memory, when the script does not play to its play file, the play
//    is on the line and every piece is in a voice cache (the script's, then
//    the process-wide one): the pieces' samples are joined under one header
//    made from the first piece's and go to the call object's PlayMemVoc;
//  - otherwise through the line's play file ("<voice dir>t<line><voice ext>"),
//    opened truncated (kept as it is while the script plays to its file),
//    with every piece appended by AppendVoiceFile; unless the script plays to
//    its file, the call object's Play plays it and it is deleted after.
//
// Thread rules: runs on the line's thread and blocks it while the voice
// plays. The script, its call object and the voice caches must outlive the
// statement's run.
#ifndef VTTEL_TELEPHONY_STATEMENTS_NUMBER_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_NUMBER_STATEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace telephony {

// Results of the number statements.
inline constexpr int32_t kNumberPlayed = 0;         // played (whatever the play gave)
inline constexpr int32_t kNumberNoReading = -1;     // no pieces, or an invalid date or time
inline constexpr int32_t kNumberNoPlayFile = -2;    // the play file did not open
inline constexpr int32_t kNumberNothingCached = -3;  // the cached pieces hold no samples
// A number text is read from at most this many characters.
inline constexpr size_t kNumberTextMax = 511;

// Registers "PlayNumber(" and "PcPlayNumber(" with the statement registry,
// and the line settings' store.
void RegisterNumberStatements();

// The statements' work: reads text in mode in the language the script has
// selected and plays the pieces for script (the acting script: the run
// context, whose settings a function or a child script acts on), on the
// PC's sound card when on_pc. Failures are logged through the always-written
// log: no pieces ("TagPlayNumber('<text>'): fCount=0"), a number with a
// minus sign or too many digits, a play file that did not open, cached
// pieces without samples; an invalid date or time is not logged.
int32_t PlayNumber(engine::TagTelBasic& script, std::string_view text, int32_t mode, bool on_pc);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_NUMBER_STATEMENTS_H_
