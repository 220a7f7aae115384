// The board binding: the system's view of the telephony board's three
// libraries, one function per entry the system uses, named after its role.
// The number beside each entry is its ordinal in the board's libraries; the
// journal and the traces name entries by it.
//
//   BoardLibrary  the E1/analog board: board, analog ports, E1 channel
//                 voice and keys, switching, both conference interfaces,
//                 conference media, fax
//   TupLibrary    SS7 TUP circuit signalling; a circuit is (E1 port, time
//                 slot), each one byte
//   FskLibrary    FSK caller-identification sending on analog ports
//
// ch is an E1 channel (0-based card index: E1 port ch / 30, time slot
// ch % 30), port an analog port, (type, number) a conference member: type 0
// and the E1 channel, or type 1 and the analog port. File names are host
// paths (UTF-8 bytes), absolute or relative to the working directory.
//
// Contract: every call but the opening and closing calls of the board
// drive's constructor and destructor is made while holding the drive's
// BoardLock (watched through Binding::WatchLock). The binding never calls
// back into the system.
#ifndef VTTEL_BOARD_BINDING_H_
#define VTTEL_BOARD_BINDING_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/board_lock.h"

namespace board {

// The record that both conference interfaces fill with their description;
// the group count is the 16-bit little-endian value at byte 4.
using ConfInfoRecord = std::array<uint8_t, 32>;
inline constexpr size_t kConfInfoGroupCountOffset = 4;

// Numbers of a TUP circuit: at most 127 characters.
inline constexpr size_t kTupNumberMax = 127;

class BoardLibrary {
 public:
  virtual ~BoardLibrary() = default;

  // --- Board. ---
  // 1: 0 when the board is ready, else an error code.
  virtual int32_t OpenBoard(std::string_view text, std::string_view prompt_file) = 0;
  virtual void CloseBoard() = 0;                               // 2
  virtual void PumpBoard() = 0;                                // 3: the board's event pump
  virtual int32_t TrunkCount() = 0;                            // 273: E1 trunks
  virtual int32_t ChannelsOfTrunks(int32_t trunks) = 0;        // 25: 30 channels a trunk
  virtual int32_t AnalogPortCount(int32_t n) = 0;              // 78
  virtual int64_t SerialNumber(int32_t which) = 0;             // 280
  virtual void SetAnalogParams(int32_t a, int32_t b) = 0;      // 348(100, 100)
  // 316: 0 phone port (a telephone set is connected), 1 trunk port, other
  // values other port kinds.
  virtual int32_t PortType(int32_t port) = 0;
  virtual void InitPort(int32_t port) = 0;                     // 88: once per port at start

  // --- Analog port. ---
  virtual void PortOffHook(int32_t port) = 0;                  // 79
  virtual void PortOnHook(int32_t port) = 0;                   // 80
  virtual int32_t PortStartRing(int32_t port) = 0;             // 85
  virtual void PortStopRing(int32_t port) = 0;                 // 86
  virtual int32_t PortIsOffHook(int32_t port) = 0;             // 90: non-zero set lifted
  virtual void PortClearKeys(int32_t port) = 0;                // 96
  virtual int32_t PortKey(int32_t port) = 0;                   // 263: next key char, else 0
  virtual int32_t PortDial(int32_t port, std::string_view number) = 0;  // 269: > 0 dialing
  virtual int32_t PortConnected(int32_t port) = 0;             // 270: non-zero connected
  // 251: >= 0 playing; length -1 plays to the end of the file.
  virtual int32_t PortPlay(int32_t port, std::string_view file, int32_t offset,
                           int32_t length) = 0;
  virtual void PortStopPlay(int32_t port) = 0;                 // 252
  // 253: >= 0 recording.
  virtual int32_t PortRecord(int32_t port, std::string_view file, int32_t position,
                             int32_t max_bytes) = 0;
  virtual void PortStopRecord(int32_t port) = 0;               // 254
  virtual int32_t PortPlayId(int32_t port) = 0;                // 101: voice id, negative none
  virtual int32_t PortRecordId(int32_t port) = 0;              // 102: voice id, negative none

  // --- E1 channel voice and keys. ---
  // 249: >= 0 playing; length -1 plays to the end of the file.
  virtual int32_t ChannelPlay(int32_t ch, std::string_view file, int32_t offset,
                              int32_t length) = 0;
  // 250: non-zero recording started, 0 failed.
  virtual int32_t ChannelRecord(int32_t ch, std::string_view file, int32_t position,
                                int32_t max_bytes) = 0;
  virtual int32_t ChannelPlayId(int32_t ch) = 0;               // 37: negative none
  virtual int32_t ChannelRecordId(int32_t ch) = 0;             // 38: negative none
  virtual int32_t IsVoiceEnded(int32_t id) = 0;                // 123: non-zero ended
  virtual int32_t IsFilePlay(int32_t id) = 0;                  // 128: 1 a file play
  virtual int32_t IsIndexPlay(int32_t id) = 0;                 // 129: 1 an index play
  virtual void StopFilePlay(int32_t ch) = 0;                   // 161
  virtual void StopIndexPlay(int32_t ch) = 0;                  // 153
  virtual void FreeVoice(int32_t id) = 0;                      // 122
  virtual void StopChannelRecord(int32_t ch) = 0;              // 168
  virtual void ClearChannelKeys(int32_t ch) = 0;               // 257
  virtual int32_t ChannelKey(int32_t ch) = 0;                  // 259: next key char, else 0
  virtual void SendDtmf(int32_t ch, std::string_view digits) = 0;  // 265
  virtual int32_t IsDtmfSent(int32_t ch) = 0;                  // 266: non-zero all sent

  // --- Switching (non-zero: done). ---
  virtual int32_t LinkTrunkAndTrunk(int32_t ch, int32_t other_ch) = 0;    // 147
  virtual int32_t LinkTrunkAndUser(int32_t ch, int32_t port) = 0;         // 144
  virtual int32_t LinkUserAndUser(int32_t port, int32_t other_port) = 0;  // 149
  virtual int32_t ClearLinkTrunkAndTrunk(int32_t ch) = 0;                 // 148
  virtual int32_t ClearLinkTrunkAndUserByTrunk(int32_t ch) = 0;           // 145
  virtual int32_t ClearLinkUserAndUser(int32_t port) = 0;                 // 150
  virtual int32_t ChannelSwitchState(int32_t ch) = 0;          // 34: >= 0 while switched

  // --- Conference groups, older interface. ---
  virtual int32_t ConfInitOld() = 0;                           // 288: >= 0 present
  virtual void ConfInfoOld(ConfInfoRecord& record) = 0;        // 290
  virtual void ConfReleaseOld() = 0;                           // 289
  // 291: >= 0 entered.
  virtual int32_t ConfEnter(int32_t group, int32_t listen, int32_t type, int32_t number,
                            int32_t gain, int32_t reserved) = 0;
  virtual int32_t ConfLeave(int32_t type, int32_t number) = 0;  // 292
  virtual void ConfFreeOld(int32_t group) = 0;                  // 293
  virtual int32_t ConfGroupOfOld(int32_t type, int32_t number) = 0;  // 294: -1 none
  virtual int32_t ConfModuleFree(int32_t module) = 0;           // 311: free resources

  // --- Conference groups, newer interface. ---
  virtual int32_t ConfInitNew() = 0;                            // 364
  virtual void ConfInfoNew(ConfInfoRecord& record) = 0;         // 366
  virtual void ConfSetMode(int32_t a, int32_t b) = 0;           // 407(1, 0)
  virtual void ConfReleaseNew() = 0;                            // 365
  // 370: mode 1 listen, 2 talk; >= 0 joined, -5 the member is already in a
  // group (leave with 371(type, number, 1) and try again).
  virtual int32_t ConfJoin(int32_t group, int32_t type, int32_t number, int32_t mode,
                           int32_t gain, int32_t level, int32_t flag) = 0;
  virtual int32_t ConfTalkSetup(int32_t type, int32_t number, int32_t flag) = 0;  // 363
  virtual int32_t ConfExit(int32_t type, int32_t number, int32_t flag) = 0;       // 371
  virtual int32_t ConfGroupOfNew(int32_t type, int32_t number) = 0;  // 375: -1 none
  virtual int32_t ConfFreeNew(int32_t group) = 0;               // 369
  virtual int32_t ConfLastResult() = 0;                         // 408

  // --- Conference media (same id space as the channel voices). ---
  // 296: play id, negative on failure.
  virtual int32_t ConfPlay(int32_t group, std::string_view file, int32_t offset,
                           int32_t length) = 0;
  virtual void ConfStopPlay(int32_t id) = 0;                    // 299
  // 300: record id, negative on failure.
  virtual int32_t ConfRecord(int32_t group, std::string_view file, int32_t position,
                             int32_t max_bytes) = 0;
  virtual void ConfStopRecord(int32_t id) = 0;                  // 301

  // --- Fax. ---
  virtual int32_t FaxInit(int32_t buffer) = 0;                  // 172: 0 ready
  virtual int32_t FaxResourceCount() = 0;                       // 175
  virtual void FaxClose() = 0;                                  // 173
  virtual int32_t FaxFreeResource() = 0;                        // 187: free one, else negative
  virtual int32_t FaxAttachChannel(int32_t fax, int32_t ch) = 0;   // 181: 0 failed
  virtual int32_t FaxAttachPort(int32_t fax, int32_t port) = 0;    // 350: 0 failed
  virtual void FaxDetach(int32_t fax, int32_t ch_or_port) = 0;     // 182
  virtual void FaxRelease(int32_t fax) = 0;                        // 194
  virtual void FaxSetLocalId(int32_t fax, std::string_view id) = 0;  // 176
  virtual int32_t FaxStartSend(int32_t fax, std::string_view file) = 0;     // 195: > 0 started
  virtual int32_t FaxStartReceive(int32_t fax, std::string_view file) = 0;  // 197: > 0 started
  virtual int32_t FaxState(int32_t fax) = 0;        // 196: 1 done, negative failed, else running
  virtual int32_t FaxReceiveResult(int32_t fax) = 0;  // 404
};

class TupLibrary {
 public:
  virtual ~TupLibrary() = default;
  virtual void TupOpen() = 0;                                   // 9
  virtual void TupClose() = 0;                                  // 10
  virtual void TupPump() = 0;                                   // 8
  // 1: 1 idle, 2 far-end release, 5 blocked, 6 and 9 connected, 8 incoming
  // call offered; other values are transitions.
  virtual uint8_t TupCircuitState(uint8_t port, uint8_t slot) = 0;
  virtual void TupRelease(uint8_t port, uint8_t slot, int32_t cause) = 0;  // 2: 1, 12, 14
  // 3: kind 4 charge (37 charged, 38 not), kind 6 answer (1 charged, 2 not).
  virtual void TupSendMessage(uint8_t port, uint8_t slot, int32_t kind, int32_t value) = 0;
  // 4, 5: the called / calling number of the circuit (at most 127 characters).
  virtual void TupCalledNumber(uint8_t port, uint8_t slot, std::string& number) = 0;
  virtual void TupCallingNumber(uint8_t port, uint8_t slot, std::string& number) = 0;
  // 7: > 0 placed.
  virtual uint8_t TupCallout(uint8_t port, uint8_t slot, std::string_view called,
                             std::string_view calling) = 0;
  // 11: progress of an outgoing call; 3, 4 and 8 mean it failed.
  virtual uint8_t TupProgress(uint8_t port, uint8_t slot) = 0;
};

class FskLibrary {
 public:
  virtual ~FskLibrary() = default;
  virtual int32_t FskInit(int32_t mode) = 0;                    // 1: negative failed
  // 4: negative failed; the message bytes are sent as they are.
  virtual int32_t FskSend(int32_t port, const uint8_t* message, uint16_t length,
                          int32_t mode) = 0;
  virtual int32_t FskIsSent(int32_t port, int32_t mode) = 0;    // 3: non-zero sent
  virtual void FskEndSend(int32_t port, int32_t mode) = 0;      // 6
  virtual void FskClose() = 0;                                  // 7
};

// An entry of our own beside the vendor's, which a board may offer: a wait
// for a change of a channel's state, so that an idle line sleeps until
// something happens on its channel instead of polling it. A channel is
// addressed as a conference member: type 0 and the E1 channel, or type 1
// and the analog port.
//
// Every channel has a change count that moves whenever its state may have
// changed: a far-end request on it (a call offered, answered, rejected or
// released, a block or an unblock, keys pressed, a set lifted or put down)
// or a change its media clock makes (keys arriving, DTMF or FSK sent), and
// whenever Nudge is called. A waiter reads the count, then
// reads the channel's state through the vendor's entries, then waits for
// the count to move: a change made after the read is never missed.
//
// Unlike the vendor's entries these are called WITHOUT the board lock (a
// wait must never hold it) and from any thread; they are not journaled.
class ChannelChanges {
 public:
  virtual ~ChannelChanges() = default;
  // The channel's change count; 0 for a channel the board does not have.
  virtual uint32_t ChangeCount(int32_t type, int32_t number) = 0;
  // Waits until the count differs from seen or timeout_ms milliseconds
  // have passed; returns at once for a channel the board does not have.
  virtual void WaitChange(int32_t type, int32_t number, uint32_t seen, uint32_t timeout_ms) = 0;
  // Moves the count and so ends the channel's wait at once (a stop of the
  // line that waits).
  virtual void Nudge(int32_t type, int32_t number) = 0;
};

// The three libraries of one board, and the lock that guards them.
class Binding {
 public:
  virtual ~Binding() = default;
  virtual BoardLibrary& board() = 0;
  virtual TupLibrary& tup() = 0;
  virtual FskLibrary& fsk() = 0;
  // The wait for channel changes, or null for a board without it (its
  // lines then poll). The same object for the binding's whole life.
  virtual ChannelChanges* changes() { return nullptr; }
  // The drive announces its board lock (nullptr when it is deleted) so that
  // the board can check that calls hold it. lock must outlive the watch.
  virtual void WatchLock(const BoardLock* lock) = 0;
};

}  // namespace board

#endif  // VTTEL_BOARD_BINDING_H_
