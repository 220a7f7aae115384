// The keys of a line's Keys cell in the monitor: where the operator types
// the keys of a virtual line, and where a board line shows the keys it has
// received. "PcGetKeys(" (and "GetKeys(" compiled on a virtual line) takes
// its keys from the cell through TagVtCall::GetCellKeys.
//
// Pure rules here; the cell itself belongs to the monitor (frame/monitor.h),
// which guards it for the window's thread and the line threads.
#ifndef VTTEL_TELEPHONY_CELL_KEYS_H_
#define VTTEL_TELEPHONY_CELL_KEYS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

// The Keys cell is looked at this often while keys are awaited, on a line
// that is not told of the cell's changes (engine::kToldKeysCell).
inline constexpr uint32_t kPcKeysPollMs = 30;
// Results of taking keys from the cell.
inline constexpr int32_t kKeysTimeout = -1;
inline constexpr int32_t kKeysStopped = -2;

// What one look at a Keys cell gives.
struct CellTake {
  bool ended = false;  // a terminator or the maximum ends the input
  size_t taken = 0;    // characters to take off the front of the cell
  std::string keys;    // the keys handed back (before the script's swap)
};

// One look at the cell text:
//  - with an end key (not 0) the terminators are the end key and '#', and
//    '*' and '.' both when the end key is one of them; the first terminator
//    ends the input: the text up to and including it is taken, and the keys
//    keep it unless it is '#';
//  - else, with at least max_keys characters, exactly max_keys are taken
//    (a negative maximum counts as 0);
//  - else the input goes on.
CellTake LookAtKeysCell(std::string_view cell, int32_t max_keys, char end_key);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_CELL_KEYS_H_
