// TagDjDigitCall: the call object of one E1 time slot, everything that does
// not depend on the signalling: voice (play, loop play, record), keys (the
// board's key FIFO into keyBuf, DTMF sending), fax, the board pump and the
// links of the time slot. TagDjTupCall (dj_tup_call.h) adds the TUP call
// control and is the class the drive makes for each E1 channel.
//
// Every operation runs on the line's own thread and polls the board; the
// board lock is held only around each board call (or a listed group of
// calls), never while sleeping. The media state (play, recording, loop
// play, conference media ids) is guarded by the call's media lock (see
// TagDjBaseCall), so that another line's thread may stop this line's play
// while it makes a link.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_DIGIT_CALL_H_
#define VTTEL_TELEPHONY_BOARD_DJ_DIGIT_CALL_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/board/dj_base_call.h"
#include "telephony/board/dj_digit_drive.h"

namespace telephony {

// The calling number passed with an outgoing call keeps this many characters.
inline constexpr size_t kCalloutCallingMax = 20;

class TagDjDigitCall : public TagDjBaseCall {
 public:
  // The call of E1 channel `channel` (its card index and line number) of
  // drive, which must outlive the call.
  TagDjDigitCall(int32_t channel, TagDjDigitDrive* drive);
  ~TagDjDigitCall() override;

  // --- Slots. ---
  int32_t ReLoopPlay() override;                                         // 0
  int32_t OutCall(std::string_view number) override;                     // 7
  int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc) override;  // 15
  int32_t StartLoopPlay(std::string_view file, int32_t reserved) override;             // 17
  int32_t SetKeys(std::string_view digits) override;                     // 24
  void StopPlay() override;                                              // 26
  int32_t GetCallerId(std::string& number) override;                     // 30
  int32_t GetCalleeId(std::string& number) override;                     // 31
  // 47, 48, 50: the links of the time slot (TagConfLine) after their
  // preparation: a line that makes a link stops its own play first, and the
  // play or recording of the line being linked.
  int32_t LinkTo(int32_t line, int32_t mode) override;
  int32_t UnlinkTo(int32_t line, int32_t mode) override;
  int32_t ListenTo(int32_t line, int32_t mode) override;
  bool IsOnline() override;  // 71: a plain E1 channel has no signalling: false
  // 113: the board pump (rate-limited for the process), then the loop play
  // is started again when it ended.
  virtual void Pump();
  virtual bool WaitUnblocked();  // 114: true

  // --- Fields. ---
  int32_t channel;             // card index of the time slot (= lineNo)
  int32_t e1Port, timeSlot;    // channel / 30, channel % 30
  int32_t tupState = -1;       // last circuit state read
  uint8_t outgoing = 0;        // the call was placed by this line
  uint8_t e1LoopPlaying = 0;   // a loop play runs on the board
  std::string e1LoopFile;
  uint8_t chargeFlag = 1;      // the incoming call is charged
  std::string callingNo, calledNo;  // numbers of the current incoming call

 protected:
  // Stops the line's media and clears a switch of its time slot to an
  // analog port (the board call of every stop). A link the line still lists
  // stays listed (UnlinkTo or UnlinkAll frees it); its loss is logged.
  void FreeCh();
  // The ErrorLog line of such a loss. REQUIRES: board lock held.
  void LogClearedPortLink();
  void Stop();
  // calling -> "Connect OK" etc. bookkeeping of an outgoing call.
  void MarkConnected();

  // The time slot's board calls and rules (TagDjBaseCall).
  int32_t BoardKey() override;
  void BoardClearKeys() override;
  int32_t BoardPlay(const std::string& host, int32_t offset) override;
  int32_t BoardPlayId() override;
  int32_t BoardRecordId() override;
  int32_t BoardRecord(const std::string& host, int32_t position, int32_t max_bytes) override;
  bool LineHeld() override { return IsOnline(); }
  void PollBoard() override { Pump(); }
  void ForgetLoop() override { e1LoopPlaying = 0; }
  int32_t LinkTraceId() const override { return channel; }

 private:
  // A loop play that ended is started again (the pump's second half).
  void RestartEndedLoop();
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_DIGIT_CALL_H_
