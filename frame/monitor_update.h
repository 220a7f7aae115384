// One update of the monitor protocol, built as bytes for one client.
//
// A client sends a five-byte request whenever it wants news and receives
// the monitor cells that changed since its last update, then the summary
// line. All numbers are little-endian:
//
//   u32  length of the rest of the update (total length - 4)
//   u16  line count of the client's table (low 16 bits)
//   cell records, in line order, cells 0-7 within a line:
//        u16 line, u8 cell, u8 font colour, u8 background colour,
//        the text cut to 40 bytes (never inside a GBK character), NUL
//   end record:
//        u16 0xFFFF, u8 0xFF, u8 0, u8 0, the summary (<= 511 bytes), NUL
//
// An update stops taking cells once it has reached kUpdateCutBytes; the
// cells not visited stay changed. The next update goes on from the cell
// where the cut was to the end of the table, so that lines late in a busy
// table are sent too; the update after one that reached the end starts
// again at line 0.
//
// Thread rules: a builder is used by one thread at a time (the monitor
// server's poll thread); the table may change concurrently and must outlive
// the builder.
#ifndef VTTEL_FRAME_MONITOR_UPDATE_H_
#define VTTEL_FRAME_MONITOR_UPDATE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/monitor.h"
#include "frame/monitor_cursor.h"

namespace frame {

// Size of the length field and of the header (length and line count).
inline constexpr size_t kUpdateLengthBytes = 4;
inline constexpr size_t kUpdateHeaderBytes = 6;
// Fixed part of a cell or end record (line, cell, two colours).
inline constexpr size_t kUpdateRecordHeadBytes = 5;
// An update takes no further cell once it has this many bytes.
inline constexpr size_t kUpdateCutBytes = 25000;
// The longest cell text and summary sent, without the NUL.
inline constexpr size_t kUpdateCellTextMax = 40;
inline constexpr size_t kSummaryMax = 511;
// The line and cell numbers that mark the end record.
inline constexpr uint16_t kUpdateEndLine = 0xFFFF;
inline constexpr uint8_t kUpdateEndCell = 0xFF;

// The longest prefix of a GBK text, up to its first NUL, that has at most
// max bytes and does not end inside a double-byte character.
std::string_view GbkPrefix(std::string_view text, size_t max);

class MonitorUpdateBuilder {
 public:
  // line_count is the client's table size; lines beyond the monitor's own
  // are never visited.
  MonitorUpdateBuilder(const TagMonitor& monitor, int32_t line_count);
  MonitorUpdateBuilder(const MonitorUpdateBuilder&) = delete;
  MonitorUpdateBuilder& operator=(const MonitorUpdateBuilder&) = delete;

  // The next update: takes the changed cells from where the last update
  // stopped, and the summary (cut to kSummaryMax bytes).
  std::string Next(std::string_view summary);

  // Where the next update starts (line, cell); 0, 0 after an update that
  // reached the end of the table.
  int32_t next_line() const { return next_line_; }
  int32_t next_cell() const { return next_cell_; }

 private:
  const int32_t line_count_;  // lines in the header
  const int32_t walk_lines_;  // lines walked: at most the monitor's
  TagMonitorCursor cursor_;
  int32_t next_line_ = 0;
  int32_t next_cell_ = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_MONITOR_UPDATE_H_
