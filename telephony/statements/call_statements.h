// The call-control statements: waiting for, answering, placing, transferring
// and releasing calls, and reading or setting the numbers and call
// parameters of the line.
//
//   "WaitRing(" n            WaitRing(n)                    "IsRings(" n      IsRings(n)
//   "IsRinging(" v1, v2      IsRinging; both numbers out when the result is above 0
//   "Answer(" f              Answer(f != 0)                 "SetCharge(" f    SetCharge(f != 0)
//   "OutCall(" num           OutCall; dial-failure rule (OutCall form)
//   "Dial(" num              -100 for a number too long, else Dial; rule (Dial form)
//   "CheckDial("             CheckDial; rule (Dial form)
//   "SetDialFailedTo(" f     dialFailedTo = f               "Hangup("         Hangup, 0
//   "SetMaxTalkTime(" s      the talk-time limit (SetMaxTalkTime below)
//   "TransferTo(" num        TransferTo (no line kind here transfers: 0)
//   "MakeRing(" num          MakeRing                       "GetHookState("   GetHookState
//   "SetCallerId(" num       "SetFirstCalleeId(" num, v     "SetSubAddr(" t1, t2
//   "GetCallerId(" v         "GetCalleeId(" v               "GetFirstCalleeId(" v
//   "SetNobkringAns(" f      "OpenLine("                    "CloseLine("
//   "SetDialOn(" mode, v     "SetHangupCause(" c            "SetCallType(" t
//
// Each statement is a thin TagOper over the line's call object (TagVtCall):
// it reads its arguments as text, integer or stored integer (arguments.h),
// calls one operation and hands the operation's integer result to the run
// loop. The per-line things (the call object, lastCallResult) are those of
// the script that acts: the run context of the compiling script, so a
// statement in a script function acts for its main script.
//
// Thread rules: statements run on their line's thread and block it for as
// long as the operation takes.
#ifndef VTTEL_TELEPHONY_STATEMENTS_CALL_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_CALL_STATEMENTS_H_

#include <cstddef>
#include <cstdint>

#include "engine/statement.h"
#include "engine/statement_registry.h"
#include "telephony/statements/line_statement.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

class TagVtCall;

// Registers the statements listed above with the process-wide registry.
// Called once at start-up, before any script compiles; a second call
// changes nothing.
void RegisterCallStatements();

// "Dial(" refuses a number whose stored integer (a string's length + 1) is
// above this, with kDialRefused, before touching the line.
inline constexpr int32_t kMaxDialStoredLength = 100;
inline constexpr int32_t kDialRefused = -100;
// The room of the number buffers of "IsRinging(" and "Get...Id(", in bytes
// with the terminator: a longer number is cut to kNumberBufferBytes - 1.
inline constexpr size_t kNumberBufferBytes = 512;
// "SetMaxTalkTime(": a limit below this (and above 0) becomes this.
inline constexpr int32_t kMinTalkTimeSeconds = 60;
// Which form of the dial-failure rule a statement applies.
enum class DialForm { kOutCall, kDial };

// The dial-failure rule after an outgoing-call operation gave result:
//   kOutCall: the result always goes to lastCallResult; below 0 with
//             dialFailedTo == 1 the call state becomes 11 (dial failed);
//   kDial:    0 or more changes nothing; below 0 the call state becomes 11
//             when dialFailedTo == 1, else the result goes to lastCallResult.
// Any dialFailedTo other than 1 counts as off.
void ApplyDialFailureRule(DialForm form, int32_t result, TagVtCall& call,
                          engine::TagTelBasic& script);

// "SetMaxTalkTime(": 60 or more sets the limit and restarts the count from
// now (connectTime = CalendarSeconds()); 1 to 59 sets 60 and leaves the
// count running from the connection; 0 or less turns the limit off. The
// call object's IsOnline enforces it. Returns the new maxTalkTime.
int32_t SetMaxTalkTime(TagVtCall& call, int32_t seconds);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_CALL_STATEMENTS_H_
