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

// The local fax id keeps this many characters.
inline constexpr size_t kFaxLocalIdMax = 20;
// The calling number passed with an outgoing call keeps this many characters.
inline constexpr size_t kCalloutCallingMax = 20;
// Bytes of board voice per second (8 kHz A-law) and per recorded second as
// the recording limit counts them.
inline constexpr int32_t kRecordBytesPerSecond = 8192;

class TagDjDigitCall : public TagDjBaseCall {
 public:
  // The call of E1 channel `channel` (its card index and line number) of
  // drive, which must outlive the call.
  TagDjDigitCall(int32_t channel, TagDjDigitDrive* drive);
  ~TagDjDigitCall() override;

  // --- Slots. ---
  int32_t ReLoopPlay() override;                                         // 0
  void ClearKeys() override;                                             // 6
  int32_t OutCall(std::string_view number) override;                     // 7
  int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc) override;  // 15
  int32_t StartLoopPlay(std::string_view file, int32_t reserved) override;             // 17
  int32_t Record(std::string_view file, int32_t max_seconds, int32_t stop_on_hash) override;
  int32_t StartRecord(std::string_view file, int32_t max_seconds) override;  // 21
  int32_t GetKeys(std::string& buffer, int32_t max_keys, int32_t total_seconds,
                  std::string_view end_keys) override;                   // 22
  int32_t SetKeys(std::string_view digits) override;                     // 24
  int32_t KeysLen() override;                                            // 25
  void StopPlay() override;                                              // 26
  int32_t GetCallerId(std::string& number) override;                     // 30
  int32_t GetCalleeId(std::string& number) override;                     // 31
  void SetFaxLocalId(std::string_view text) override;                    // 33
  int32_t GetFaxResource(int32_t& total, int32_t& busy) override;        // 34
  int32_t SendFax(std::string_view file) override;                       // 35
  int32_t RecvFax(std::string_view file) override;                       // 36
  // 47-51: the links of the time slot (TagConfLine) after their
  // preparation: a line that makes a link stops its own play first, and the
  // play or recording of the line being linked.
  int32_t LinkTo(int32_t line, int32_t mode) override;
  int32_t UnlinkTo(int32_t line, int32_t mode) override;
  int32_t UnlinkAll() override;
  int32_t ListenTo(int32_t line, int32_t mode) override;
  int32_t GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen_only,
                      std::vector<int32_t>& values) override;
  bool IsOnline() override;  // 71: a plain E1 channel has no signalling: false
  // 113: the board pump (rate-limited for the process), then the loop play
  // is started again when it ended.
  virtual void Pump();
  virtual bool WaitUnblocked();  // 114: true

  // --- Used by the drive and by other lines. ---
  // Moves waiting board keys into keyBuf (after IsOnline).
  void ReadKeys();
  bool HasKey(char key) const;

  // --- Fields. ---
  TagDjDigitDrive* digitDrive;
  int32_t confPlayId = -1;     // play in the line's conference group
  int32_t confRecordId = -1;   // recording of the line's conference group
  uint8_t recordPending = 0;   // a StartRecord file is converted when it stops
  std::string recordFile;      // file of the last StartRecord
  int32_t channel;             // card index of the time slot (= lineNo)
  int32_t e1Port, timeSlot;    // channel / 30, channel % 30
  int32_t tupState = -1;       // last circuit state read
  std::atomic<uint8_t> dialing{0};  // OutCall is waiting for the connection
  uint8_t outgoing = 0;        // the call was placed by this line
  uint8_t e1LoopPlaying = 0;   // a loop play runs on the board
  std::string e1LoopFile;
  uint8_t chargeFlag = 1;      // the incoming call is charged
  std::string callingNo, calledNo;  // numbers of the current incoming call
  int32_t faxId = -1;          // fax resource in use
  std::string faxLocalId;

 protected:
  board::BoardLock& boardLock() { return digitDrive->boardLock(); }
  board::BoardLibrary& board() { return digitDrive->board(); }
  // REQUIRES: media lock held.
  int32_t StartPlayFile(std::string_view file, int32_t position);
  bool IsPlayEnded();
  bool IsRecordEnded();
  bool WaitRecordEnd();
  void FreeCh();
  void Stop();
  // The line is in a conference group: its plays and recordings go there.
  bool InConfGroup() const;
  // calling -> "Connect OK" etc. bookkeeping of an outgoing call.
  void MarkConnected();

 private:
  // The shared body of SendFax and RecvFax.
  int32_t RunFax(std::string_view file, bool send);
  // Waits on the board until the fax transfer ends; the last fax state.
  int32_t WaitFax();
  // A loop play that ended is started again (the pump's second half).
  void RestartEndedLoop();
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_DIGIT_CALL_H_
