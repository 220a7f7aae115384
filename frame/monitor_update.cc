#include "frame/monitor_update.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "platform/gbk.h"

namespace frame {

namespace {

// One record: line, cell, colours, the text and its NUL.
void PutRecord(std::string* out, uint16_t line, uint8_t cell, uint8_t font, uint8_t background,
               std::string_view text) {
  platform::AppendLe16(out, line);
  out->push_back(static_cast<char>(cell));
  out->push_back(static_cast<char>(font));
  out->push_back(static_cast<char>(background));
  out->append(text);
  out->push_back('\0');
}

}  // namespace

std::string_view GbkPrefix(std::string_view text, size_t max) {
  text = text.substr(0, text.find('\0'));
  size_t end = 0;
  while (end < text.size()) {
    size_t next = end + platform::GbkCharLength(text, end);
    if (next > max) break;
    end = next;
  }
  return text.substr(0, end);
}

MonitorUpdateBuilder::MonitorUpdateBuilder(const TagMonitor& monitor, int32_t line_count)
    : line_count_(line_count),
      walk_lines_(std::clamp(line_count, 0, monitor.LineCount())),
      cursor_(monitor) {}

std::string MonitorUpdateBuilder::Next(std::string_view summary) {
  std::string out(kUpdateHeaderBytes, '\0');
  int32_t line = next_line_;
  int32_t cell = next_cell_;
  bool cut = false;
  MonitorCell taken;
  while (line < walk_lines_ && !cut) {
    if (cursor_.Take(line, cell, &taken)) {
      PutRecord(&out, static_cast<uint16_t>(line), static_cast<uint8_t>(cell),
                static_cast<uint8_t>(taken.colors.font),
                static_cast<uint8_t>(taken.colors.background),
                GbkPrefix(taken.text, kUpdateCellTextMax));
      cut = out.size() >= kUpdateCutBytes;
    }
    if (++cell == kMonitorCells) {
      ++line;
      cell = 0;
    }
  }
  // An update that reached the end of the table is followed by one from
  // line 0; a cut one by one from the cell after its last record.
  if (line >= walk_lines_) line = 0;
  next_line_ = line;
  next_cell_ = cell;

  PutRecord(&out, kUpdateEndLine, kUpdateEndCell, 0, 0, GbkPrefix(summary, kSummaryMax));
  platform::StoreLe32(out.data(), static_cast<uint32_t>(out.size() - kUpdateLengthBytes));
  platform::StoreLe16(out.data() + kUpdateLengthBytes, static_cast<uint16_t>(line_count_));
  return out;
}

}  // namespace frame
