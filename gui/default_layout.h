// The main window's layout without a saved place: with two or more column
// groups the window fills its screen and the first group's eight columns
// get computed widths (the monitor table copies them to every further
// group). With one group the window keeps its built-in layout.
//
// Thread rules: none (pure functions).
#ifndef VTTEL_GUI_DEFAULT_LAYOUT_H_
#define VTTEL_GUI_DEFAULT_LAYOUT_H_

#include <array>
#include <cstdint>

namespace gui {

// The fixed widths of the first columns, and the width that is left to the
// fixed columns and the grid's lines when the user columns are computed.
inline constexpr int32_t kLineColumnWidth = 16;
inline constexpr int32_t kNarrowColumnWidth = 10;
inline constexpr int32_t kRunInfoShownWidth = 20;
inline constexpr int32_t kRunInfoHiddenWidth = 1;
inline constexpr int32_t kFixedColumnsUsed = 46 + 8;
inline constexpr int32_t kUserColumnFallback = 10;

// Whether the window takes the default layout at all.
bool UsesDefaultLayout(int32_t column_groups);

// Widths of columns 0-7 for a window of window_width pixels showing
// column_groups groups (at least 1), with the Run Info column shown when
// sentence_shown (IS_DISP_SENTE not 0).
std::array<int32_t, 8> DefaultColumnWidths(int32_t window_width, int32_t column_groups,
                                           bool sentence_shown);

}  // namespace gui

#endif  // VTTEL_GUI_DEFAULT_LAYOUT_H_
