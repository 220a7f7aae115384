#include "frame/monitor_cursor.h"

namespace frame {

// Versions start at 1, so 0 means "never seen".
TagMonitorCursor::TagMonitorCursor(const TagMonitor& monitor)
    : monitor_(monitor),
      seen_(static_cast<size_t>(monitor.LineCount()) * kMonitorCells, 0) {}

bool TagMonitorCursor::Changed(int line, int cell) const {
  if (line < 0 || line >= monitor_.LineCount() || cell < 0 || cell >= kMonitorCells) {
    return false;
  }
  return monitor_.CellVersion(line, cell) != seen_[static_cast<size_t>(line) * kMonitorCells + cell];
}

bool TagMonitorCursor::Take(int line, int cell, MonitorCell* out) {
  if (!Changed(line, cell)) return false;
  uint32_t version = 0;
  if (!monitor_.ReadCell(line, cell, out, &version)) return false;
  seen_[static_cast<size_t>(line) * kMonitorCells + cell] = version;
  return true;
}

void TagMonitorCursor::MarkAllChanged() {
  for (auto& v : seen_) v = 0;
}

}  // namespace frame
