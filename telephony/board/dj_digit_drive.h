// TagDjDigitDrive: the drive of the E1/analog telephony board. It opens the
// board through its binding (E1 channels first, then the analog ports),
// reads the board options of "Card.ini", prepares the fax resources and the
// conference groups, owns the board lock around every board call of the
// lines, pumps the board for them and keeps the table from card index to
// call object that links and conferences use.
//
// Card indexes 0 .. e1Count-1 are the E1 channels in board order (channel c
// is time slot c % 30 of E1 port c / 30); e1Count .. telCount-1 are the
// analog ports (port = index - e1Count). The physical card's lines are
// numbered first, so a card index is also the line number.
//
// The board is opened by the constructor and closed by the destructor, both
// on the thread that builds or deletes the line drive; the drive holds the
// board lock only around the fax initialisation there. Every other board
// call is made under the board lock, one call (or one group of calls that
// must not be interleaved) at a time, never while sleeping.
//
// TagDjTupDrive (dj_tup_drive.h) adds the TUP signalling; it is the class
// the line drive makes.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_DIGIT_DRIVE_H_
#define VTTEL_TELEPHONY_BOARD_DJ_DIGIT_DRIVE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/binding.h"
#include "board/board_lock.h"
#include "engine/pvector.h"
#include "telephony/board/board_pump_timer.h"
#include "telephony/board/card_options.h"
#include "telephony/board/vt_card.h"

namespace telephony {

class TagDjBaseCall;

// Limits of the drive's tables; the board may report more.
inline constexpr int32_t kMaxAnalogPorts = 200;
inline constexpr int32_t kMaxConfGroups = 512;
inline constexpr int32_t kMaxFaxResources = 256;
inline constexpr int32_t kChannelsPerTrunk = 30;
// The board pump runs at most once per this many milliseconds.
inline constexpr uint32_t kBoardPumpMs = 200;
// Conference groups of the older interface come in modules of 16; at most
// 16 modules are examined.
inline constexpr int32_t kConfModuleGroups = 16;
inline constexpr int32_t kMaxConfModules = 16;

// portType values of an analog port.
inline constexpr int32_t kPortPhone = 1;      // a telephone set is connected
inline constexpr int32_t kPortTrunk = 0;      // an external line
inline constexpr int32_t kPortBoardType2 = -1;
inline constexpr int32_t kPortOther = -2;

// The board's serial number as "%ld" ("" before a board was opened); read by
// the system information statement. Thread-safe.
std::string CardSerialNo();

class TagDjDigitDrive : public TagVtCard {
 public:
  // Opens the board through binding, which must outlive the drive. status is
  // -1 when the board cannot be used (telCount stays 0).
  explicit TagDjDigitDrive(board::Binding& binding);
  // Closes the board in the reverse order. The call objects in calls are
  // owned by their lines and are not deleted.
  ~TagDjDigitDrive() override;

  // "E1:%02d" for an E1 channel; an analog port by portType: "A_IN:%d"
  // (phone), "A_EX:%d" (trunk), "A_UN:%d" (other), with the card index.
  int32_t CreateLineName(int32_t index, std::string& name) override;
  virtual int32_t Open();  // 3: nothing to open here; 0
  virtual void Close();    // 4: nothing to close here

  board::BoardLock& boardLock() { return *boardLock_; }
  board::BoardLibrary& board() { return binding_.board(); }
  board::TupLibrary& tup() { return binding_.tup(); }
  board::FskLibrary& fsk() { return binding_.fsk(); }
  // The board's wait for channel changes; null when it has none.
  board::ChannelChanges* changes() { return binding_.changes(); }

  // True for a card index of an E1 channel / an analog port.
  bool IsE1Line(int32_t line) const { return line >= 0 && line < e1Count; }
  bool IsAnalogLine(int32_t line) const { return line >= e1Count && line < telCount; }
  // A line's channel as the board addresses it (a conference member, the
  // wait for changes): type 0 and the E1 channel, or type 1 and the port.
  int32_t MemberType(int32_t line) const { return IsE1Line(line) ? 0 : 1; }
  int32_t MemberNumber(int32_t line) const { return IsE1Line(line) ? line : line - e1Count; }

  // --- Board operations of the lines (each takes the board lock). ---
  // The board's event pump, at most once per kBoardPumpMs for the process.
  void PumpBoard();
  // A line begins / ends a wait for its channel's changes (ChannelWait):
  // while any line waits so, one timer pumps the board for them.
  void BeginChannelWait() { pumpTimer_.AddWaiter(); }
  void EndChannelWait() { pumpTimer_.RemoveWaiter(); }
  // Pumps made by that timer.
  uint64_t TimerPumps() const { return pumpTimer_.Pumps(); }
  int32_t IsVoiceEnded(int32_t id);
  // A play in a conference group: the play id, negative on failure.
  int32_t ConfPlay(int32_t group, std::string_view file);
  void ConfStopPlay(int32_t id);
  // A recording of a conference group: the record id, negative on failure.
  int32_t ConfRecord(int32_t group, std::string_view file, int32_t max_bytes,
                     int32_t position);
  void ConfStopRecord(int32_t id);

  // --- Fax resources (dj_drive_fax.cc). ---
  // Takes a free fax resource and attaches it to the line (an E1 channel or
  // an analog port) in one hold of the board lock, so that two lines never
  // get the same resource. Returns the resource; -1 when none is free (or
  // the board has none), -2 when attaching failed (the resource stays free).
  int32_t AcquireFax(int32_t line);
  // Releases and detaches the resource and marks it free.
  void ReleaseFax(int32_t fax, int32_t line);
  void SetFaxLocalId(int32_t fax, std::string_view id);
  int32_t StartFaxSend(int32_t fax, std::string_view file);     // > 0 started
  int32_t StartFaxReceive(int32_t fax, std::string_view file);  // > 0 started
  int32_t FaxState(int32_t fax);  // 1 finished, negative failed, else running
  int32_t FaxReceiveResult(int32_t fax);
  // total := faxCount, busy := resources in use; returns busy.
  int32_t FaxResources(int32_t& total, int32_t& busy);

  // --- Conference groups (dj_drive_conf.cc). ---
  // A free group, marked busy, or -1. Takes the board lock.
  int32_t AllocGroup();
  // Adds a line to a group: 0, or the negative board result; -1 for a line
  // outside the card.
  int32_t JoinGroup(int32_t group, int32_t line, bool listen_only);
  // Takes a line out of a group: the board result; -1 for a line outside.
  int32_t LeaveGroup(int32_t group, int32_t line);
  // Frees a group (nothing for a group outside 0 .. confCount-1).
  void FreeGroup(int32_t group);
  // Another line's group and the line whose group it joined.
  // REQUIRES: board lock held.
  void SetLineGroup(int32_t line, int32_t group, int32_t owner);
  int32_t LineGroup(int32_t line);
  // Has the owner line unlink an E1 line from its group (its UnlinkTo with
  // mode 0); an analog line gives -2 and nothing happens.
  int32_t AskOwnerUnlink(int32_t owner, int32_t line);
  // The gain of a line in a conference group, from its call's confVolume.
  int32_t MemberGain(int32_t line) const;

  // --- Fields. ---
  int32_t faxCount = 0;
  int32_t e1Count = 0;
  engine::pvector<TagDjBaseCall> calls;  // card index -> call; filled as lines are made
  int32_t analogCount = 0;
  uint8_t newConfApi = 0;                // 1: the newer conference interface
  std::vector<uint8_t> faxBusy;          // 1 while a resource is attached
  int32_t confCount = 0;                 // 0 when conferences are off
  std::array<int32_t, kMaxAnalogPorts> portType{};
  int32_t lastConfId = 0;
  std::array<uint8_t, kMaxConfGroups> confBusy{};

 protected:
  // What the pump timer does every period: the board pump; the TUP drive
  // adds the signalling's. Timer thread.
  virtual void TimerPump();
  // Ends the pump timer; a subclass calls it first in its destructor, so no
  // pump runs into a part already destroyed.
  void StopPumpTimer() { pumpTimer_.Stop(); }

  board::Binding& binding_;

 private:
  // Construction steps; false ends the construction with status -1.
  bool OpenBoardAndCount();
  void OpenAnalogPorts();
  void InitFax(bool wanted);
  void InitConf();
  void ReleaseConf();
  int32_t AllocGroupNewer();
  int32_t AllocGroupOlder();
  int32_t JoinGroupNewer(int32_t group, int32_t line, bool listen_only);

  CardOptions options_;
  std::unique_ptr<board::BoardLock> boardLock_;
  uint32_t lastPumpTick_ = 0;  // guarded by boardLock_
  // One period a little over kBoardPumpMs, so each of its pumps passes the
  // rate limit. Last: stopped before the rest goes.
  BoardPumpTimer pumpTimer_{kBoardPumpMs + 1, [this] { TimerPump(); }};
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_DIGIT_DRIVE_H_
