#include "gui/default_layout.h"

namespace gui {

bool UsesDefaultLayout(int32_t column_groups) { return column_groups >= 2; }

std::array<int32_t, 8> DefaultColumnWidths(int32_t window_width, int32_t column_groups,
                                           bool sentence_shown) {
  if (column_groups < 1) column_groups = 1;
  const int32_t run_info = sentence_shown ? kRunInfoShownWidth : kRunInfoHiddenWidth;
  const int32_t used = kFixedColumnsUsed + (sentence_shown ? kRunInfoShownWidth : 0);
  int32_t user = (window_width / column_groups - used) / 3;
  if (user < 0) user = kUserColumnFallback;
  return {kLineColumnWidth, kNarrowColumnWidth, kNarrowColumnWidth, kNarrowColumnWidth,
          run_info, user, user, user};
}

}  // namespace gui
