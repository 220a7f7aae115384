// Line-number lists of the run configuration file: "0,3,5-9" assigns a
// script to lines 0, 3 and 5 to 9. Between numbers stand ',' (next number)
// and the range operators '-' (every number), '+' (odd numbers only) and '*'
// (even numbers only); see ParseLineList for the exact rules.
#ifndef VTTEL_FRAME_LINE_LIST_H_
#define VTTEL_FRAME_LINE_LIST_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace frame {

// The most numbers one list yields; longer ranges are cut there.
inline constexpr size_t kMaxLineListNumbers = 5120;
// The most characters of one number's text; later characters are dropped.
inline constexpr size_t kMaxLineNumberText = 255;

// Parses a list (which holds no blanks) into line numbers, in order:
//  - ',' ends a number: a pending range start..number is expanded (nothing,
//    not even the start, when number < start), else atol of the text is
//    appended (an empty text gives 0: "1,,2" is 1, 0, 2);
//  - '-', '+' or '*' appends the number before it at once and makes the
//    operator pending; a second operator appends its own start without
//    expanding the first range ("1-5-9" is 1, then 5 to 9);
//  - at the end a non-empty number is handled as by ','; an empty one adds
//    nothing ("3-" keeps 3; a trailing ',' adds nothing).
std::vector<int32_t> ParseLineList(std::string_view list);

}  // namespace frame

#endif  // VTTEL_FRAME_LINE_LIST_H_
