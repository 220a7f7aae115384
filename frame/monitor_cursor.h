// A reader's view of which monitor cells changed since it last read them:
// the versions it has seen, one per line and cell. The grid's refresh keeps
// one; the monitor server keeps one per client. A new cursor sees every
// cell as changed.
//
// Thread rules: one cursor is used by one thread at a time; the table it
// watches may change concurrently and must outlive it.
#ifndef VTTEL_FRAME_MONITOR_CURSOR_H_
#define VTTEL_FRAME_MONITOR_CURSOR_H_

#include <cstdint>
#include <vector>

#include "frame/monitor.h"

namespace frame {

class TagMonitorCursor {
 public:
  explicit TagMonitorCursor(const TagMonitor& monitor);
  TagMonitorCursor(const TagMonitorCursor&) = delete;
  TagMonitorCursor& operator=(const TagMonitorCursor&) = delete;

  // Whether the cell changed since this cursor last took it (false for a
  // bad line or cell).
  bool Changed(int line, int cell) const;
  // When the cell changed: reads it into *out, records it as seen and
  // returns true. A change made while reading stays pending.
  bool Take(int line, int cell, MonitorCell* out);
  // Every cell counts as changed again.
  void MarkAllChanged();

 private:
  const TagMonitor& monitor_;
  std::vector<uint32_t> seen_;  // line * kMonitorCells + cell
};

}  // namespace frame

#endif  // VTTEL_FRAME_MONITOR_CURSOR_H_
