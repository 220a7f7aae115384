// ControlLineFramer: cuts the bytes a control connection sends into request
// lines. A line ends at "\n"; a "\r" just before it is dropped. A line
// longer than kControlMaxLineBytes is not kept: the framer hands out one
// "too long" line in its place and skips its bytes up to the next "\n", so
// a client that never sends a line end costs no more than the limit.
//
// Not thread-safe; used by the control server's thread only.
#ifndef VTTEL_SIMBOARD_CONTROL_LINE_FRAMER_H_
#define VTTEL_SIMBOARD_CONTROL_LINE_FRAMER_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace simboard {

class ControlLineFramer {
 public:
  struct Line {
    bool too_long = false;
    std::string text;  // without its end; empty when too_long
  };

  // Appends received bytes (the skipped rest of a long line is dropped here).
  void Append(std::string_view bytes);
  // The next whole line, in order; std::nullopt when none is complete yet.
  std::optional<Line> Next();
  // After the sender ended: its unterminated last line, if it sent one.
  std::optional<Line> Rest();
  // Bytes kept and not yet handed out.
  size_t buffered() const { return buffer_.size(); }

 private:
  static Line Finish(std::string_view text);

  std::string buffer_;
  bool skipping_ = false;  // dropping a long line's bytes up to its "\n"
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_CONTROL_LINE_FRAMER_H_
