// TagDjBaseCall: the part that every board line's call object shares (the
// E1 channel and both analog port kinds): the line's TagConfLine, the
// flags of a board play and a board recording in progress, and the voice,
// key, fax and link work that the line kinds do alike on their own board
// resource. A line kind supplies the board calls of its resource (the
// Board* hooks below, each called with the board lock held), the test of
// the line still being there (LineHeld), its pump (PollBoard) and the
// pauses and rules in which its loops differ (BoardLinePacing). It is never
// created directly; the line kinds derive from it and set lineKind and
// drive.
//
// Thread rules: as TagVtCall; besides, another line's thread may stop this
// line's media (a link being made), so the media state (playing, recording,
// the conference media ids, the pending recording and the loop play) is
// guarded by the call's media lock. Lock order: a call's media lock, then
// the board lock; no thread holds two calls' media locks at once.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_
#define VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/board/conf_line.h"
#include "telephony/board/dj_digit_drive.h"
#include "telephony/vt_call.h"

namespace telephony {

// The local fax id keeps this many characters.
inline constexpr size_t kFaxLocalIdMax = 20;
// Bytes of board voice per second (8 kHz A-law) and per recorded second as
// the recording limit counts them.
inline constexpr int32_t kRecordBytesPerSecond = 8192;

// Where the loops of the line kinds differ.
struct BoardLinePacing {
  uint32_t keyReadPauseMs;    // between two keys read from the board
  bool lowerCaseKeys;         // "a".."d" are taken (upper-cased)
  bool readKeysBeforeClear;   // ClearKeys first takes the waiting keys
  bool onlineEveryKeyPass;    // GetKeys runs IsOnline before LineHeld
  uint32_t keysGrewPauseMs;   // GetKeys: after a pass in which keys came
  uint32_t keysIdlePauseMs;   // GetKeys: after a pass in which none came
  uint32_t keysPassPauseMs;   // GetKeys: at the end of every pass
  bool keysTraced;            // GetKeys writes its trace lines
  int32_t wavPlayOffset;      // a name holding ".WAV" plays from this byte on
  bool playFailsWithBoardResult;  // StartPlayFile gives the board's result, else -1
  bool recordRefusedAtZero;   // the board's record call fails with 0, else negative
  uint32_t recordPollMs;      // Record's pass
  bool faxWatchesOnline;      // the fax wait ends when the line is lost
};

class TagDjBaseCall : public TagVtCall {
 public:
  // Makes the line's TagConfLine for (drive, line_no, this); sets lineNo.
  // drive and pacing must outlive the call.
  TagDjBaseCall(int32_t line_no, TagDjDigitDrive* drive, const BoardLinePacing& pacing);
  // Sets stopFlag, leaves the drive's table, then frees the TagConfLine.
  ~TagDjBaseCall() override;

  // --- Slots alike on every board line. ---
  void ClearKeys() override;                                                        // 6
  int32_t Record(std::string_view file, int32_t max_seconds, int32_t stop_on_hash) override;
  int32_t StartRecord(std::string_view file, int32_t max_seconds) override;         // 21
  // 22: the rules of key_scan.h; the consumed keys leave keyBuf, the rest
  // stay. -1 when the line is lost or a time-out passed (keyBuf then goes
  // into buffer and is cleared).
  int32_t GetKeys(std::string& buffer, int32_t max_keys, int32_t total_seconds,
                  std::string_view end_keys) override;
  int32_t KeysLen() override;                                                       // 25
  void SetFaxLocalId(std::string_view text) override;                               // 33
  int32_t GetFaxResource(int32_t& total, int32_t& busy) override;                   // 34
  // 35, 36: through one of the drive's fax resources: the last fax state;
  // -1 none free, -2 it could not be attached, -3 the transfer did not start.
  int32_t SendFax(std::string_view file) override;
  int32_t RecvFax(std::string_view file) override;
  int32_t UnlinkAll() override;                                                     // 49
  int32_t GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen_only,
                      std::vector<int32_t>& values) override;                      // 51

  // "lcnt=%d, %s" into the log whatever its level; for failures of board calls.
  void ErrorLog(std::string_view text) override;

  // --- The line's change wait: its board channel's count where the board
  // offers the wait (the stop nudges the channel), else the stop bell.
  // While the line waits on its channel the drive's pump timer pumps the
  // board for it. ---
  uint32_t ChangeCount() override;
  void WaitChange(uint32_t seen, uint32_t timeout_ms) override;
  // kToldOnline while the board offers the wait, no loop play needs its
  // restarts and IsOnline's watchdog is idle.
  uint8_t ToldChanges() override;
  void WakeStopWait() override;

  TagConfLine& confLine() { return *confLine_; }
  const TagConfLine& confLine() const { return *confLine_; }

  // True while a board play or recording of this line runs.
  bool IsPlayingOrRecording();
  // Moves waiting board keys into keyBuf (after IsOnline).
  void ReadKeys();
  bool HasKey(char key) const;

  TagDjDigitDrive* digitDrive;  // the creating drive; not owned
  uint8_t playing = 0;    // a board play was started and not yet stopped; media lock
  uint8_t recording = 0;  // a board recording was started and not yet stopped; media lock
  int32_t confPlayId = -1;     // play in the line's conference group; media lock
  int32_t confRecordId = -1;   // recording of the line's conference group; media lock
  uint8_t recordPending = 0;   // a StartRecord file is converted when it stops; media lock
  std::string recordFile;      // file of the last StartRecord; media lock
  std::atomic<uint8_t> dialing{0};  // OutCall is waiting for the connection
  int32_t faxId = -1;          // fax resource in use
  std::string faxLocalId;

 protected:
  // Recursive: StopPlay runs inside the operations that hold it.
  std::recursive_mutex& mediaLock() { return mediaLock_; }
  board::BoardLock& boardLock() { return digitDrive->boardLock(); }
  board::BoardLibrary& board() { return digitDrive->board(); }

  // --- The line kind's board resource. REQUIRES: board lock held. ---
  virtual int32_t BoardKey() = 0;        // the next waiting key, else 0
  virtual void BoardClearKeys() = 0;
  // A play of host at offset to the end of the file: >= 0 started.
  virtual int32_t BoardPlay(const std::string& host, int32_t offset) = 0;
  virtual int32_t BoardPlayId() = 0;     // negative: none
  virtual int32_t BoardRecordId() = 0;   // negative: none
  // A recording into host: the board's result (see recordRefusedAtZero).
  virtual int32_t BoardRecord(const std::string& host, int32_t position, int32_t max_bytes) = 0;

  // --- The line kind's rules. ---
  // The line is still there for the media loops (no board lock held).
  virtual bool LineHeld() = 0;
  // One pump of a wait loop (the board pump, a loop play that ended).
  virtual void PollBoard() = 0;
  // Ends the line's loop play flag (before a hang-up that polls the line).
  virtual void ForgetLoop() = 0;
  // The number the link traces show for this line.
  virtual int32_t LinkTraceId() const = 0;

  // --- Shared steps. REQUIRES for the media ones: media lock held. ---
  // The line is in a conference group: its plays and recordings go there.
  bool InConfGroup() const;
  // Starts the play of file (upper-cased for the board) at position, or
  // in the line's conference group: 0, or the failure (traced). During a
  // PlayScratchVoice the board takes the scratch file as it is.
  int32_t StartPlayFile(std::string_view file, int32_t position);
  bool IsPlayEnded();
  bool IsRecordEnded();
  // The line's play has ended (its conference play when it holds one).
  bool PlayOrConfPlayEnded();
  // Waits about 900 ms at most for the recording to end; true when it did.
  bool WaitRecordEnd();
  // Stops the conference group's recording and play of this line.
  void StopConfMedia();
  // Converts the file of a StartRecord once the board has stopped it.
  void FinishPendingRecord();
  // A loop play running (flag) stops counting: loopPos moves on by the
  // time it played.
  void SaveLoopPos(uint8_t& flag);
  // The loop play of file (flag and loop_file are the line kind's).
  int32_t StartLoop(std::string_view file, uint8_t& flag, std::string& loop_file);
  // ReLoopPlay: -1 running, -2 never started, -3 in a group or refused.
  int32_t ResumeLoop(uint8_t& flag, const std::string& loop_file);
  // Play on the PC's sound card (the play-on-PC flag of Play): the
  // process-wide PC player takes the file (PlayWavOnPc); always -1.
  int32_t PlayOnPc(std::string_view file);
  // Before a link: the other line's play or recording is stopped from
  // this thread (when it has one, or always), then pause_ms pass.
  void StopLinkedLineMedia(int32_t line, uint32_t pause_ms, bool only_when_busy);
  // "[%d] : <what>(%d, %d)" with LinkTraceId, line and mode.
  void LinkTrace(const char* what, int32_t line, int32_t mode);
  // A voice from memory: the line kind's Play of the scratch file, whose
  // host path the board gets unchanged (an upper-cased copy of it would
  // name no file).
  int32_t PlayScratchVoice(const ScratchVoice& voice, int32_t break_on_key) override;

 private:
  bool RecordRefused(int32_t result) const;
  int32_t RunFax(std::string_view file, bool send);
  int32_t WaitFax();

  // The host path of the scratch file that PlayScratchVoice is playing;
  // empty otherwise. Line thread.
  std::string scratchHost_;
  std::unique_ptr<TagConfLine> confLine_;
  const BoardLinePacing& pacing_;
  std::recursive_mutex mediaLock_;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_BASE_CALL_H_
