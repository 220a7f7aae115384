#include "simboard/control_line_framer.h"

#include "simboard/control_request.h"

namespace simboard {

void ControlLineFramer::Append(std::string_view bytes) {
  if (skipping_) {
    size_t end = bytes.find('\n');
    if (end == std::string_view::npos) return;
    skipping_ = false;
    bytes.remove_prefix(end + 1);
  }
  buffer_.append(bytes);
}

std::optional<ControlLineFramer::Line> ControlLineFramer::Next() {
  size_t end = buffer_.find('\n');
  if (end != std::string::npos) {
    Line line = Finish(std::string_view(buffer_).substr(0, end));
    buffer_.erase(0, end + 1);
    return line;
  }
  // Room for the limit and a "\r": anything more cannot become a good line.
  if (buffer_.size() > kControlMaxLineBytes + 1) {
    buffer_.clear();
    skipping_ = true;
    return Line{true, {}};
  }
  return std::nullopt;
}

std::optional<ControlLineFramer::Line> ControlLineFramer::Rest() {
  if (std::optional<Line> line = Next()) return line;
  if (buffer_.empty()) return std::nullopt;
  Line line = Finish(buffer_);
  buffer_.clear();
  return line;
}

ControlLineFramer::Line ControlLineFramer::Finish(std::string_view text) {
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.size() > kControlMaxLineBytes) return Line{true, {}};
  return Line{false, std::string(text)};
}

}  // namespace simboard
