// TagDjBaseCall: the part that every board line's call object shares (the
// E1 channel and both analog port kinds): the line's TagConfLine and the
// flags of a board play and a board recording in progress. It is never
// created directly; the line kinds derive from it and set lineNo, lineKind
// and drive.
//
// Thread rules: as TagVtCall; besides, another line's thread may stop this
// line's media (a link being made), so the media state (playing, recording
// and what the line kinds add to it) is guarded by the call's media lock.
// Lock order: a call's media lock, then the board lock; no thread holds two
// calls' media locks at once.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_
#define VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "telephony/board/conf_line.h"
#include "telephony/vt_call.h"

namespace telephony {

class TagDjBaseCall : public TagVtCall {
 public:
  // Makes the line's TagConfLine for (conf_drive, line_no, this); sets lineNo.
  // conf_drive must outlive the call.
  TagDjBaseCall(int32_t line_no, TagDjDigitDrive* conf_drive);
  // Sets stopFlag, then frees the TagConfLine.
  ~TagDjBaseCall() override;

  // "lcnt=%d, %s" into the log whatever its level; for failures of board calls.
  void ErrorLog(std::string_view text) override;

  TagConfLine& confLine() { return *confLine_; }
  const TagConfLine& confLine() const { return *confLine_; }

  // True while a board play or recording of this line runs.
  bool IsPlayingOrRecording();

  uint8_t playing = 0;    // a board play was started and not yet stopped; media lock
  uint8_t recording = 0;  // a board recording was started and not yet stopped; media lock

 protected:
  // Recursive: StopPlay runs inside the operations that hold it.
  std::recursive_mutex& mediaLock() { return mediaLock_; }

 private:
  std::unique_ptr<TagConfLine> confLine_;
  std::recursive_mutex mediaLock_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_
