// The key statements: collecting the keys a caller presses, sending keys,
// and how key input behaves.
//
//   "GetKeys(" v, max, total      board line: the call object's GetKeys (below)
//   "PcGetKeys(" v, max, total    the call object's GetCellKeys: the line's Keys
//                                 cell of the monitor (cell_keys.h); "GetKeys("
//                                 on a virtual line compiles to it
//   "ClearKeys("                  ClearKeys, 0
//   "SetKeyTime(" s               SetKeyTime(s): the inter-key time-out, 0
//   "SetKeys(" keys               SetKeys: keys sent as DTMF; its result
//   "KeysLen(" v                  v = KeysLen(); the same value
//   "PcSetKeys(" line, keys       the keys, as text, into that line's Keys cell
//                                 by its display mode (frame::DispKeys), 0
//   "SetEndKey(" key              keyTerminator = first character (0: none), 0
//   "SetStarToPoint(" f           starToPoint = f != 0, 0
//   "SetTimeoutVoc(" name         timeoutVoice = a string name, 0; else "" and -1
//   "SetDispKeys(" mode           dispKeys = mode; the mode
//
// The end key, time-out voice, swap switch and display mode are the key
// settings of the acting script's line (KeySettings, line_settings.h); the
// inter-key time-out belongs to the call object.
//
// Thread rules: statements run on their line's thread; "GetKeys(" and
// "PcGetKeys(" block it while they wait. "PcSetKeys(" may name any line:
// one line's script can feed another line's "PcGetKeys(".
#ifndef VTTEL_TELEPHONY_STATEMENTS_KEY_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_KEY_STATEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/cell_keys.h"

namespace telephony {

// Registers the statements listed above with the process-wide registry,
// and the line settings' store.
// Called once at start-up, before any script compiles; a second call
// changes nothing.
void RegisterKeyStatements();

// "GetKeys(" on a board line keeps at most its maximum count of keys, or
// this many when the maximum is 0 or less.
inline constexpr size_t kDefaultKeysRoom = 100;
// The key swap: with star_to_point every '*' becomes '.', else every '.'
// becomes '*'.
void SwapStarPoint(std::string& keys, bool star_to_point);

// The keys "GetKeys(" on a board line keeps of max_keys: the maximum, or
// kDefaultKeysRoom for a maximum of 0 or less.
size_t KeysRoom(int32_t max_keys);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_KEY_STATEMENTS_H_
