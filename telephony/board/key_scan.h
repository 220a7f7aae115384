// The key-collection rules of "GetKeys(" on the board lines: how the keys
// waiting in a line's keyBuf end an input.
//
//  - with an end key, "#" always ends the input and is not kept; the end key
//    itself also ends it and, unless it is "#", is kept as the last key;
//    "*" and "." as end keys are alike: either key ends the input;
//  - the key that brings the count to the maximum is kept and ends the
//    input (a maximum of 0 or less sets no limit);
//  - with no end key (0) only the maximum ends the input.
#ifndef VTTEL_TELEPHONY_BOARD_KEY_SCAN_H_
#define VTTEL_TELEPHONY_BOARD_KEY_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

struct KeyScan {
  bool ended = false;   // a terminator or the maximum ended the input
  size_t consumed = 0;  // keys of the input taken from the front, terminator included
};

// Copies the keys of the input from the front of keys into out (replacing
// it) by the rules above.
KeyScan ScanKeys(std::string_view keys, int32_t max_keys, char end_key, std::string& out);

// True for the keys a line can receive: 0-9, *, #, A-D (a-d when
// lower_case_too).
bool IsDtmfKey(int32_t key, bool lower_case_too);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_KEY_SCAN_H_
