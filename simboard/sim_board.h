// SimBoard: the simulated E1/analog telephony board. It implements the three
// board libraries the system calls (binding.h) with the board's real
// behaviour: TUP circuit states, voice ids, plays and recordings that run in
// real time (8000 bytes/s, 160 bytes every 20 ms tick of its media clock),
// key FIFOs, DTMF and FSK sending that take their real time, switching,
// both conference interfaces with A-law mixing, and fax transfers. The far
// end of every line is driven through FarEnd (a test, or the control
// socket). Every call from the system is kept in a journal; strict mode
// records calls that break the calling rules (no board lock held, board not
// open, a freed voice id used again).
//
// Events (EventLog; addr "E<ch>", "A<port>", "G<group>" for conference
// media): CHARGE <37|38>, ANSWER <1|2>, RELEASE <cause>, CALLOUT <called>
// <calling|->, PLAY <file> <offset>, PLAYEND, RECORD <file> <max-bytes>,
// RECORDEND <bytes>, DTMF <digits>, RING, RINGSTOP, FSK <HEX>, LINK <addr>,
// UNLINK, CONFJOIN <group> <talk|listen> <gain>, CONFLEAVE <group>,
// FAX <send|recv> <file> <result>. PLAYEND and RECORDEND come once per
// voice: at its end or when it is stopped, whichever is first; PLAYEND
// after the play's last byte, RECORDEND once every recorded byte is in the
// file.
//
// The far end's injected files are taken only while something on the board
// receives the line (its recording, its switch partner, its conference
// group as a talker) or a fax receive takes them whole as the document.
//
// Files: board entries take host paths as given (relative to the working
// directory); far-end paths and the control socket are relative to the
// board's folder.
//
// Thread rules: thread-safe. One internal mutex guards all state; the
// system's calls, the clock thread and the control thread take only it. The
// board never calls into the system. The change counts of the lines
// (ChannelChanges) have locks of their own, taken inside that mutex when a
// change rings them and alone by a wait or a nudge, never the other way. No file is read, written or closed
// while that mutex is held, nor while the system holds its board lock
// except where an entry's result needs it:
// - an entry that starts a play, a recording or a fax send opens its file
//   before taking the mutex (regular files only, never blocking), as the
//   far end's control requests open theirs (captures, injected audio);
// - the media thread, between ticks, reads plays and injected audio ahead,
//   writes recordings and captures from their spools, stores received fax
//   documents, finishes recordings that reached their length (ended only
//   once every byte is in the file) and closes ended files
//   (sim_board_far_end_files.cc);
// - an entry that stops a recording writes its last bytes after releasing
//   the mutex, before it returns, so the file is complete when the system
//   reads it; its RECORDEND follows the write.
// Destruction stops the media clock and the control server and closes
// every file.
#ifndef VTTEL_SIMBOARD_SIM_BOARD_H_
#define VTTEL_SIMBOARD_SIM_BOARD_H_

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "board/binding.h"
#include "platform/change_bell.h"
#include "simboard/control_server.h"
#include "simboard/event_log.h"
#include "simboard/far_end.h"
#include "simboard/owned_mutex.h"
#include "simboard/sim_config.h"
#include "simboard/sim_journal.h"
#include "simboard/sim_line.h"
#include "simboard/sim_media_clock.h"

namespace simboard {

class SimBoard : public board::BoardLibrary,
                 public board::TupLibrary,
                 public board::FskLibrary,
                 public board::Binding,
                 public board::ChannelChanges,
                 public FarEnd {
 public:
  explicit SimBoard(SimConfig config);
  ~SimBoard() override;
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  // Reads folder/SimBoard.ini (defaults when missing).
  static SimConfig LoadConfig(const std::string& folder) { return LoadSimConfig(folder); }

  const SimConfig& config() const { return config_; }
  EventLog& events() { return events_; }

  // Where the control server reports the connections it refused (the
  // program's log); called before StartControl.
  void SetControlLog(ControlLog log) { control_log_ = std::move(log); }
  // Starts the control socket server on the configured socket path. False,
  // with the reason in error (naming the setting when its folder is
  // missing), when the socket cannot be made.
  bool StartControl(std::string& error);
  void StopControl();

  // Journal of the system's calls.
  std::vector<JournalEntry> Journal() const;
  void ClearJournal();
  // "e1:1", "e1:280", "tup:9", ... oldest first.
  std::vector<std::string> JournalOrdinals() const;

  // Strict mode: the rule violations seen since it was turned on.
  void SetStrict(bool strict);
  std::vector<std::string> Violations() const;

  // True when the calling thread holds the board's internal lock.
  bool LockHeldByCurrentThread() const { return mutex_.HeldByCurrentThread(); }

  // Processor time used by the media clock thread, in seconds.
  double ClockCpuSeconds() const { return clock_.ThreadCpuSeconds(); }
  // Ticks so far; they stand still while the board has nothing to clock.
  uint64_t ClockTicks() const { return clock_.Ticks(); }

  // --- Binding. ---
  board::BoardLibrary& board() override { return *this; }
  board::TupLibrary& tup() override { return *this; }
  board::FskLibrary& fsk() override { return *this; }
  void WatchLock(const board::BoardLock* lock) override;
  // This board, unless its settings turn the wait off (ChangeWait=0).
  board::ChannelChanges* changes() override;

  // --- ChannelChanges (no board lock needed; not journaled). ---
  uint32_t ChangeCount(int32_t type, int32_t number) override;
  void WaitChange(int32_t type, int32_t number, uint32_t seen, uint32_t timeout_ms) override;
  void Nudge(int32_t type, int32_t number) override;

  // --- BoardLibrary: board. ---
  int32_t OpenBoard(std::string_view text, std::string_view prompt_file) override;
  void CloseBoard() override;
  void PumpBoard() override;
  int32_t TrunkCount() override;
  int32_t ChannelsOfTrunks(int32_t trunks) override;
  int32_t AnalogPortCount(int32_t n) override;
  int64_t SerialNumber(int32_t which) override;
  void SetAnalogParams(int32_t a, int32_t b) override;
  int32_t PortType(int32_t port) override;
  void InitPort(int32_t port) override;

  // --- Analog port. ---
  void PortOffHook(int32_t port) override;
  void PortOnHook(int32_t port) override;
  int32_t PortStartRing(int32_t port) override;
  void PortStopRing(int32_t port) override;
  int32_t PortIsOffHook(int32_t port) override;
  void PortClearKeys(int32_t port) override;
  int32_t PortKey(int32_t port) override;
  int32_t PortDial(int32_t port, std::string_view number) override;
  int32_t PortConnected(int32_t port) override;
  int32_t PortPlay(int32_t port, std::string_view file, int32_t offset, int32_t length) override;
  void PortStopPlay(int32_t port) override;
  int32_t PortRecord(int32_t port, std::string_view file, int32_t position,
                     int32_t max_bytes) override;
  void PortStopRecord(int32_t port) override;
  int32_t PortPlayId(int32_t port) override;
  int32_t PortRecordId(int32_t port) override;

  // --- E1 channel voice and keys. ---
  int32_t ChannelPlay(int32_t ch, std::string_view file, int32_t offset, int32_t length) override;
  int32_t ChannelRecord(int32_t ch, std::string_view file, int32_t position,
                        int32_t max_bytes) override;
  int32_t ChannelPlayId(int32_t ch) override;
  int32_t ChannelRecordId(int32_t ch) override;
  int32_t IsVoiceEnded(int32_t id) override;
  int32_t IsFilePlay(int32_t id) override;
  int32_t IsIndexPlay(int32_t id) override;
  void StopFilePlay(int32_t ch) override;
  void StopIndexPlay(int32_t ch) override;
  void FreeVoice(int32_t id) override;
  void StopChannelRecord(int32_t ch) override;
  void ClearChannelKeys(int32_t ch) override;
  int32_t ChannelKey(int32_t ch) override;
  void SendDtmf(int32_t ch, std::string_view digits) override;
  int32_t IsDtmfSent(int32_t ch) override;

  // --- Switching. ---
  int32_t LinkTrunkAndTrunk(int32_t ch, int32_t other_ch) override;
  int32_t LinkTrunkAndUser(int32_t ch, int32_t port) override;
  int32_t LinkUserAndUser(int32_t port, int32_t other_port) override;
  int32_t ClearLinkTrunkAndTrunk(int32_t ch) override;
  int32_t ClearLinkTrunkAndUserByTrunk(int32_t ch) override;
  int32_t ClearLinkUserAndUser(int32_t port) override;
  int32_t ChannelSwitchState(int32_t ch) override;

  // --- Conference groups, older interface. ---
  int32_t ConfInitOld() override;
  void ConfInfoOld(board::ConfInfoRecord& record) override;
  void ConfReleaseOld() override;
  int32_t ConfEnter(int32_t group, int32_t listen, int32_t type, int32_t number, int32_t gain,
                    int32_t reserved) override;
  int32_t ConfLeave(int32_t type, int32_t number) override;
  void ConfFreeOld(int32_t group) override;
  int32_t ConfGroupOfOld(int32_t type, int32_t number) override;
  int32_t ConfModuleFree(int32_t module) override;

  // --- Conference groups, newer interface. ---
  int32_t ConfInitNew() override;
  void ConfInfoNew(board::ConfInfoRecord& record) override;
  void ConfSetMode(int32_t a, int32_t b) override;
  void ConfReleaseNew() override;
  int32_t ConfJoin(int32_t group, int32_t type, int32_t number, int32_t mode, int32_t gain,
                   int32_t level, int32_t flag) override;
  int32_t ConfTalkSetup(int32_t type, int32_t number, int32_t flag) override;
  int32_t ConfExit(int32_t type, int32_t number, int32_t flag) override;
  int32_t ConfGroupOfNew(int32_t type, int32_t number) override;
  int32_t ConfFreeNew(int32_t group) override;
  int32_t ConfLastResult() override;

  // --- Conference media. ---
  int32_t ConfPlay(int32_t group, std::string_view file, int32_t offset, int32_t length) override;
  void ConfStopPlay(int32_t id) override;
  int32_t ConfRecord(int32_t group, std::string_view file, int32_t position,
                     int32_t max_bytes) override;
  void ConfStopRecord(int32_t id) override;

  // --- Fax. ---
  int32_t FaxInit(int32_t buffer) override;
  int32_t FaxResourceCount() override;
  void FaxClose() override;
  int32_t FaxFreeResource() override;
  int32_t FaxAttachChannel(int32_t fax, int32_t ch) override;
  int32_t FaxAttachPort(int32_t fax, int32_t port) override;
  void FaxDetach(int32_t fax, int32_t ch_or_port) override;
  void FaxRelease(int32_t fax) override;
  void FaxSetLocalId(int32_t fax, std::string_view id) override;
  int32_t FaxStartSend(int32_t fax, std::string_view file) override;
  int32_t FaxStartReceive(int32_t fax, std::string_view file) override;
  int32_t FaxState(int32_t fax) override;
  int32_t FaxReceiveResult(int32_t fax) override;

  // --- TupLibrary. ---
  void TupOpen() override;
  void TupClose() override;
  void TupPump() override;
  uint8_t TupCircuitState(uint8_t port, uint8_t slot) override;
  void TupRelease(uint8_t port, uint8_t slot, int32_t cause) override;
  void TupSendMessage(uint8_t port, uint8_t slot, int32_t kind, int32_t value) override;
  void TupCalledNumber(uint8_t port, uint8_t slot, std::string& number) override;
  void TupCallingNumber(uint8_t port, uint8_t slot, std::string& number) override;
  uint8_t TupCallout(uint8_t port, uint8_t slot, std::string_view called,
                     std::string_view calling) override;
  uint8_t TupProgress(uint8_t port, uint8_t slot) override;

  // --- FskLibrary. ---
  int32_t FskInit(int32_t mode) override;
  int32_t FskSend(int32_t port, const uint8_t* message, uint16_t length, int32_t mode) override;
  int32_t FskIsSent(int32_t port, int32_t mode) override;
  void FskEndSend(int32_t port, int32_t mode) override;
  void FskClose() override;

  // --- FarEnd. ---
  std::string Call(Address line, std::string_view calling, std::string_view called) override;
  std::string Hangup(Address line) override;
  std::string Answer(Address line) override;
  std::string Reject(Address line, int32_t progress) override;
  std::string Block(Address line) override;
  std::string Unblock(Address line) override;
  std::string Lift(Address line) override;
  std::string Drop(Address line) override;
  std::string Keys(Address line, std::string_view digits, int32_t gap_ms) override;
  std::string Inject(Address line, std::string_view file) override;
  std::string CaptureStart(Address line, std::string_view file) override;
  std::string CaptureStop(Address line) override;
  std::string State(Address line, std::string& fields) override;

 private:
  class Entry;  // one journaled, checked call from the system (sim_board_entry.h)
  friend class Entry;
  enum class Phase { kNotOpen, kOpening, kOpen, kClosing, kClosed };

  // Line lookup: the index into lines_, -1 when there is no such line.
  int32_t LineOfChannel(int32_t ch) const;
  int32_t LineOfPort(int32_t port) const;
  int32_t LineOfCircuit(uint8_t port, uint8_t slot) const;
  int32_t LineOfMember(int32_t type, int32_t number) const;
  int32_t LineOf(Address addr) const;
  SimLine* PortOfType(int32_t port, int32_t type);
  // The far end's operation on an analog trunk port (on_port) or an E1
  // circuit (on_circuit), under the board's lock; a port that is not a
  // trunk is refused.
  std::string OnTrunkOrCircuit(Address line, std::string (*on_port)(SimLine&),
                               std::string (*on_circuit)(SimLine&));
  // Opens a far-end file of a line (open(file, host path, why)) before the
  // lock and hands it to the line under the lock (place(line, file), which
  // gives back a replaced capture or null); the refusal, or "" when done.
  template <typename File, typename Open, typename Place>
  std::string WithFarEndFile(Address line, std::string_view file, Open open, Place place);

  // Voices (sim_board_voice.cc).
  SimVoice* NewVoice(SimVoice::Kind kind, std::string addr);
  int32_t StartLinePlay(int32_t line, std::shared_ptr<VoiceFileReader> file,
                        std::string_view name, int32_t offset);
  int32_t StartLineRecord(int32_t line, std::shared_ptr<CaptureSpool> spool,
                          std::string_view name, int32_t max_bytes);
  // The file of a play or a recording, opened before the lock; null when
  // it cannot be opened.
  static std::shared_ptr<VoiceFileReader> OpenPlayFile(std::string_view file, int32_t offset,
                                                       int32_t length);
  static std::shared_ptr<CaptureSpool> OpenRecordFile(std::string_view file, int32_t position);
  bool StartPlay(SimVoice& v, std::shared_ptr<VoiceFileReader> file, std::string_view name,
                 int32_t offset);
  bool StartRecord(SimVoice& v, std::shared_ptr<CaptureSpool> spool, std::string_view name,
                   int32_t max_bytes);
  // Posts the end event once (a stopped recording's after its last write)
  // and hands the file over to be closed outside the lock.
  void EndVoice(SimVoice& v);
  void DropVoice(int32_t id);      // ends and forgets it
  // Writes the stopped recordings' last bytes, then posts their ends.
  // REQUIRES: the lock not held.
  void FinishStoppedRecords(std::vector<StoppedRecord> stopped);
  void StopLinePlay(int32_t line);
  void StopLineRecord(int32_t line);
  int32_t LineKey(int32_t line);
  void ClearLineKeys(int32_t line);
  void CheckFreed(int32_t id, const char* role);
  void StopAllMedia();

  // Switching and conferences (sim_board_switch.cc, sim_board_conf.cc).
  int32_t Link(int32_t a, int32_t b);
  // Takes down the line's switch when its partner is of partner_kind; 1, else 0.
  int32_t Unlink(int32_t line, Address::Kind partner_kind);
  bool ConfEnabled(ConferenceKind kind) const { return config_.conference == kind; }
  bool GroupValid(int32_t group) const;
  int32_t JoinGroup(int32_t group, int32_t line, bool talk, int32_t gain);
  bool LeaveGroup(int32_t line);
  void FreeGroup(int32_t group);
  void FillConfRecord(board::ConfInfoRecord& record, ConferenceKind kind) const;

  // Fax and timers (sim_board_fax.cc).
  SimFax* FaxOf(int32_t fax);
  int32_t AttachFax(int32_t fax, int32_t line);
  void FinishFax(SimFax& fax);
  bool LineConnected(const SimLine& line) const;
  void FinishDueTimers(SimLine& line, SimClock::time_point now);

  // TUP helpers.
  SimLine* Circuit(uint8_t port, uint8_t slot);

  // The media clock's tick (sim_board_media.cc); false when the board has
  // nothing left for the clock, which then rests until an entry gives it
  // something (Clock, a new voice or fax, a file to close: clock_.Wake()).
  bool Tick();
  bool ClockNeeded() const;
  // The lines the clock visits: a line joins when an entry gives it timers,
  // media or far-end files and leaves at the first pass that finds it with
  // none, so idle lines cost the clock nothing. REQUIRES: the lock held.
  void Clock(SimLine& line);
  void UpdateClockedLines();
  void MixGroup(SimGroup& group);
  const TickBuffer& Received(SimLine& line);
  void SendLine(SimLine& line);
  size_t PlayTick(SimVoice& v, uint8_t* out);
  void RecordTick(SimVoice& v, const uint8_t* bytes);

  // The far end's files between ticks, outside the lock
  // (sim_board_far_end_files.cc). Media thread (or the destructor) only.
  void PumpFarEndFiles();
  void GatherFarEndWork();
  void GatherVoiceWork();
  void AcceptFarEndWork();
  void AcceptFileRead(const FileRead& r);
  bool FaxDocumentDue(const SimFax& fax, SimClock::time_point now) const;
  void EndFax(SimFax& fax, int32_t state);

  // Moves the line's change count (a far-end request or the clock changed
  // it). REQUIRES: the lock held.
  void Changed(const SimLine& line) { bells_[static_cast<size_t>(&line - lines_.data())].Ring(); }
  // Changed(line) when refusal is empty; returns refusal.
  std::string ChangedUnless(const SimLine& line, std::string refusal) {
    if (refusal.empty()) Changed(line);
    return refusal;
  }

  void Post(std::string_view type, const std::string& addr, std::string_view args) {
    events_.Post(type, addr, args);
  }
  void Violation(std::string text);

  const SimConfig config_;
  const int32_t e1_count_;
  EventLog events_;
  // One per line, with its own lock: a ring wakes only the thread that
  // waits on that line, and neither a ring nor a wait touches mutex_.
  std::unique_ptr<platform::ChangeBell[]> bells_;

  mutable OwnedMutex mutex_;
  // Everything below is guarded by mutex_.
  Phase phase_ = Phase::kNotOpen;
  const board::BoardLock* watched_ = nullptr;
  bool strict_;
  std::vector<std::string> violations_;
  SimJournal journal_;
  std::vector<SimLine> lines_;
  std::vector<SimGroup> groups_;
  std::vector<SimFax> faxes_;
  std::map<int32_t, std::unique_ptr<SimVoice>> voices_;
  std::set<int32_t> freed_ids_;  // strict mode only: a long run keeps none
  int32_t next_voice_id_ = 1;
  int32_t conf_last_result_ = 0;
  uint64_t tick_ = 0;
  std::vector<int32_t> clocked_lines_;  // line indexes in order (Clock)
  std::vector<int32_t> joining_lines_;  // clocked since the last pass
  TickBuffer silence_;
  // Stopped captures and finished recordings whose last bytes the media
  // thread writes before it closes them.
  std::vector<std::shared_ptr<CaptureSpool>> retired_captures_;
  // Ended plays' files and checked fax files, closed by the media thread.
  std::vector<std::shared_ptr<VoiceFileReader>> retired_files_;
  // Recordings stopped by the running entry (FinishStoppedRecords).
  std::vector<StoppedRecord> stopped_records_;

  // The media thread's file work of one pass (not guarded: used by
  // PumpFarEndFiles only; kept to reuse their memory).
  std::vector<FileRead> reads_;
  std::vector<std::shared_ptr<CaptureSpool>> flushes_;
  std::vector<RecordFinish> record_finishes_;
  std::vector<FaxDocument> fax_documents_;
  std::vector<std::shared_ptr<VoiceFileReader>> closes_;

  ControlLog control_log_;
  std::unique_ptr<ControlServer> control_;
  MediaClock clock_;  // last: stopped first
};

}  // namespace simboard

#endif  // VTTEL_SIMBOARD_SIM_BOARD_H_
