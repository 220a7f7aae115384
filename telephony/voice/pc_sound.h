// "Play on the PC" of the board lines: a ".WAV" file played on the PC's
// sound card by one process-wide player, without waiting; a new play
// replaces the one running.
//
// Thread rules: any line's thread; the player is guarded by a lock of its
// own. StopPcSound ends it before the voice makers go (shutdown, tests).
#ifndef VTTEL_TELEPHONY_VOICE_PC_SOUND_H_
#define VTTEL_TELEPHONY_VOICE_PC_SOUND_H_

#include <string_view>

namespace telephony {

// Plays file on the PC when its name is longer than 4 characters and ends
// in ".WAV" (any case) and the file exists; otherwise nothing happens. The
// board lines' Play with on_pc returns -1 whatever this did.
void PlayWavOnPc(std::string_view file);

// Stops and deletes the process-wide player.
void StopPcSound();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_PC_SOUND_H_
