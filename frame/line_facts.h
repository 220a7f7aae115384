// The line drive's facts that the frame's display pass reads. The telephony
// layer's line drive implements it; the frame never includes that layer.
//
// Contract for implementers: every call answers from the drive's own
// records and never waits for a line thread, a call or the board (the
// display pass runs on the window thread). Safe from any thread.
#ifndef VTTEL_FRAME_LINE_FACTS_H_
#define VTTEL_FRAME_LINE_FACTS_H_

#include <cstdint>

namespace frame {

class LineDriveFacts {
 public:
  virtual ~LineDriveFacts() = default;
  // 1 blocked, 0 not, -1 bad line or no script.
  virtual int32_t GetBlockState(int32_t line) const = 0;
  // Talk seconds and connect time of a connected line with a script; false
  // when the line is not connected.
  virtual bool GetTalkTime(int32_t line, int32_t* talk_seconds, int32_t* connect_time) const = 0;
  // Connected lines in all, and by kind into the counters.
  virtual int32_t CountConnectedLines(int32_t* external, int32_t* internal,
                                      int32_t* virtual_lines, int32_t* ip) const = 0;
  // Lines with an outgoing call in progress in all; adds the external and
  // IP ones to the counters.
  virtual int32_t CountDialingLines(int32_t* external, int32_t* ip) const = 0;
  // Lines waiting for a reload.
  virtual int32_t CountReloadPending() const = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_LINE_FACTS_H_
