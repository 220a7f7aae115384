// The voice-editing statements: "TrimVocFile(" voice file cuts the silence
// before the first and after the last stretch of speech of a recording
// (voice_trim.h); "MixVocFile(" first file, first gain, offset of the second
// file in ms, second file, second gain, output file adds two voice files
// into a third (voice_mix.h). Every name goes through the voice path rule
// (voice_path.h) of the acting script; neither statement needs a call
// object.
//
// Results: "TrimVocFile(" the number of stretches minus 1, or -2, -3, -4
// (voice_trim.h); "MixVocFile(" 1 done, -1 a file did not load, -2 the
// output cannot be created.
//
// Thread rules: run on the line's thread.
#ifndef VTTEL_TELEPHONY_STATEMENTS_VOICE_EDIT_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_VOICE_EDIT_STATEMENTS_H_

namespace telephony {

// Registers the two statements with the process-wide registry (a second
// call registers nothing).
void RegisterVoiceEditStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_VOICE_EDIT_STATEMENTS_H_
