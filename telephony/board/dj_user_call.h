// TagDjUserCall: the call object of one analog port of the board. The
// board reports the port's type at start:
//  - a phone port (a telephone set; line kind 2, "A_IN:%d") is rung by
//    MakeRing with a caller-identification message; the script learns of
//    the set being lifted or put down through GetHookState (call state 1
//    off hook, 2 on hook, 0 after MakeRing). Its OutCall fails at once.
//  - a trunk port (an external line; line kind 1, "A_EX:%d") places calls
//    by going off hook and dialing (OutCall; call state 0 while dialing, 1
//    connected, 2 after Hangup). MakeRing does nothing there.
//  - a port of any other type ("A_UN:%d"; line kind kLineOther) is listed
//    and can hold a script, but takes and places no calls: MakeRing gives
//    0 and sends nothing, OutCall gives -1 with a log line; GetHookState and
//    IsOnline answer as on a trunk port.
// An incoming call on an analog line is the phone being lifted: WaitRing,
// Answer and Dial keep the base bodies. Play, record, keys, fax and links
// are TagDjBaseCall's on the port's board calls; every wait loop also runs
// the board pump (rate-limited for the process) and restarts an ended loop
// play (RestartLoop), so the board is pumped even when no E1 line runs.
//
// Thread rules: as TagDjBaseCall: the line's own thread only; the board
// lock around each board call (around StopPlay's group of calls), never
// while sleeping; the media state under the call's media lock.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_USER_CALL_H_
#define VTTEL_TELEPHONY_BOARD_DJ_USER_CALL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/board/dj_base_call.h"

namespace telephony {

class TagDjUserCall : public TagDjBaseCall {
 public:
  // The call of analog port `port` at card index line_no of drive (which
  // must outlive it); the port's type decides the line kind.
  TagDjUserCall(int32_t line_no, int32_t port, TagDjDigitDrive* drive);
  ~TagDjUserCall() override;

  // --- Slots. ---
  int32_t ReLoopPlay() override;                                          // 0
  // 7: 0 "Connect OK"; -1 not a trunk port or the dial refused; -2 no
  // answer in 45 s (hung up); -3 the call failed; -4 any other state.
  int32_t OutCall(std::string_view number) override;
  int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc) override;  // 15
  int32_t StartLoopPlay(std::string_view file, int32_t reserved) override;             // 17
  void StopPlay() override;                                               // 26
  void Hangup() override;                                                 // 27
  int32_t LinkTo(int32_t line, int32_t mode) override;                    // 47
  int32_t UnlinkTo(int32_t line, int32_t mode) override;                  // 48
  int32_t ListenTo(int32_t line, int32_t mode) override;                  // 50
  // 68: rings an on-hook phone port with the caller-identification
  // message of the number (none when empty); 0.
  int32_t MakeRing(std::string_view calling) override;
  // 69: a phone port: non-zero while the set is lifted (a change is traced
  // "On"/"Off", clears the keys and sets the call state); other ports:
  // call state 1.
  int32_t GetHookState() override;
  bool IsOnline() override;                                               // 71

  // The board pump, then a loop play that ended is started again.
  void RestartLoop();

  bool IsPhonePort() const { return lineKind == engine::kLineAnalogPhone; }
  bool IsTrunkPort() const { return lineKind == engine::kLineAnalogTrunk; }

  int32_t port;  // the analog port (card index - e1Count)

 protected:
  int32_t BoardKey() override;
  void BoardClearKeys() override;
  int32_t BoardPlay(const std::string& host, int32_t offset) override;
  int32_t BoardPlayId() override;
  int32_t BoardRecordId() override;
  int32_t BoardRecord(const std::string& host, int32_t position, int32_t max_bytes) override;
  bool LineHeld() override { return GetHookState() != 0; }
  void PollBoard() override { RestartLoop(); }
  void ForgetLoop() override { loopPlaying = 0; }
  int32_t LinkTraceId() const override { return port; }

 private:
  // Sends the caller-identification message and waits for it to go out.
  void SendCallerId(std::string_view number);
  // OutCall's wait for the far end to answer.
  void WaitConnected();
  // Sleeps ms in steps of step_ms, running RestartLoop after each.
  void SleepPumping(uint32_t ms, uint32_t step_ms);
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_USER_CALL_H_
