// TagDjTupCall: the call object of an E1 time slot with SS7 TUP signalling,
// the class the TUP drive makes for every E1 channel. It adds the call
// control to TagDjDigitCall: waiting for and answering incoming calls
// (with the charge and answer messages), placing calls, following the
// circuit state (idle, offered, connected, released by the far end,
// blocked) and releasing the circuit.
//
// Thread rules: as TagDjDigitCall.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_TUP_CALL_H_
#define VTTEL_TELEPHONY_BOARD_DJ_TUP_CALL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/board/dj_digit_call.h"

namespace telephony {

// Circuit states the signalling reports.
enum TupCircuit : int32_t {
  kTupIdle = 1,
  kTupFarReleased = 2,
  kTupBlocked = 5,
  kTupOutConnected = 6,
  kTupOffered = 8,
  kTupConnected = 9,
};

// Release causes.
inline constexpr int32_t kReleaseAcknowledge = 1;
inline constexpr int32_t kReleaseAnswered = 12;
inline constexpr int32_t kReleaseOutgoing = 14;

class TagDjTupCall : public TagDjDigitCall {
 public:
  // The call of E1 channel `channel` of drive (which must outlive it).
  TagDjTupCall(int32_t channel, TagDjDigitDrive* drive);
  ~TagDjTupCall() override;

  // Asleep until the circuit changes where the board has the wait for it,
  // else polling every 180 ms.
  int32_t WaitRing(int32_t rings) override;                                  // 8
  int32_t IsRings(int32_t rings) override;                                   // 9
  int32_t SetCharge(int32_t flag) override;                                  // 10
  int32_t Answer(int32_t flag) override;                                     // 11
  int32_t IsRinging(std::string& calling, std::string& called) override;    // 12
  void Hangup() override;                                                    // 27
  int32_t Dial(std::string_view number) override;                            // 53
  int32_t CheckDial() override;                                              // 67
  bool IsOnline() override;                                                  // 71
  void Pump() override;                                                      // 113
  // 114: true once the circuit is idle; false after 40 s (or when stopped).
  bool WaitUnblocked() override;

  // Reads the circuit state into tupState (traced when it changed).
  void ReadState();

  uint8_t incomingPending = 0;  // an offered call has not had its charge message yet

 private:
  // Reads both numbers of the offered call into calledNo and callingNo.
  // REQUIRES: board lock held.
  void ReadNumbers();
  uint8_t Port() const { return static_cast<uint8_t>(e1Port); }
  uint8_t Slot() const { return static_cast<uint8_t>(timeSlot); }
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_TUP_CALL_H_
