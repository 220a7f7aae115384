// "LinesList.txt": the list of the line table that the line drive writes
// beside the program at every start, one row per line, grouped by kind,
// with a statistics block of the groups ordered by kind text. GBK bytes.
#ifndef VTTEL_TELEPHONY_TEL_LINES_LIST_H_
#define VTTEL_TELEPHONY_TEL_LINES_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telephony {

inline constexpr std::string_view kLinesListFile = "LinesList.txt";

struct LinesListRow {
  int32_t lineNo = 0;
  uint8_t kind = 0;
  std::string name;
};

// The file's text for the rows, in line order.
std::string FormatLinesList(const std::vector<LinesListRow>& rows);

// Writes the text to the file (a script-visible path); false when the file
// cannot be created (nothing else happens then).
bool WriteLinesListFile(std::string_view path, std::string_view text);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_LINES_LIST_H_
