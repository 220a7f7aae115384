#include "telephony/statements/call_statements.h"

#include <string>
#include <string_view>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "telephony/statements/line_statement.h"
#include "telephony/vt_call.h"

namespace telephony {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;

void ApplyDialFailureRule(DialForm form, int32_t result, TagVtCall& call,
                          engine::TagTelBasic& script) {
  const bool mark_failed = result < 0 && call.dialFailedTo == 1;
  if (mark_failed) call.callState.store(engine::kCallDialFailedHandled);
  if (form == DialForm::kOutCall || (result < 0 && !mark_failed)) script.lastCallResult = result;
}

int32_t SetMaxTalkTime(TagVtCall& call, int32_t seconds) {
  if (seconds >= kMinTalkTimeSeconds) {
    call.maxTalkTime = seconds;
    call.connectTime.store(CalendarSeconds());
  } else {
    call.maxTalkTime = seconds > 0 ? kMinTalkTimeSeconds : 0;
  }
  return call.maxTalkTime;
}

namespace {

using Call = TagVtCall;
using Line = LineStatement;

// A number an operation wrote, cut to the room of the statement's buffer.
std::string_view FitNumber(const std::string& number) {
  return std::string_view(number).substr(0, kNumberBufferBytes - 1);
}

// A flag argument as the operations take it: 1 when not 0.
int32_t Flag(int32_t value) { return value != 0 ? 1 : 0; }

// "IsRinging(" (calling-number variable, called-number variable): both are
// written only when a call is offered.
int32_t IsRinging(Call& call, const Line& s) {
  std::string calling, called;
  const int32_t r = call.IsRinging(calling, called);
  if (r > 0) {
    s.Argument(0).AssignString(FitNumber(calling));
    s.Argument(1).AssignString(FitNumber(called));
  }
  return r;
}

// "OutCall(" (number: text): waits for the call's outcome.
int32_t OutCall(Call& call, const Line& s) {
  const int32_t r = call.OutCall(ArgText(s.Argument(0)));
  ApplyDialFailureRule(DialForm::kOutCall, r, call, *s.Acting());
  return r;
}

// "Dial(" (number: text): starts a call without waiting. The length test
// reads the stored integer, so an integer above 100 is refused too.
int32_t Dial(engine::TagTelBasic&, const Line& s) {
  if (ArgStoredInt(s.Argument(0)) > kMaxDialStoredLength) return kDialRefused;
  Call* call = s.Call();
  if (call == nullptr) return kNoCallObject;
  const int32_t r = call->Dial(ArgText(s.Argument(0)));
  ApplyDialFailureRule(DialForm::kDial, r, *call, *s.Acting());
  return r;
}

// "CheckDial(": 1 connected, 0 still dialing, below 0 failed.
int32_t CheckDial(Call& call, const Line& s) {
  const int32_t r = call.CheckDial();
  ApplyDialFailureRule(DialForm::kDial, r, call, *s.Acting());
  return r;
}

// The reading of one number of the call into a variable ("GetCallerId(",
// "GetCalleeId(", "GetFirstCalleeId("): the buffer starts empty, a
// non-empty number is traced, and the buffer goes into the variable.
template <int32_t (Call::*kRead)(std::string&)>
int32_t ReadNumber(Call& call, const Line& s) {
  std::string number;
  const int32_t r = (call.*kRead)(number);
  const std::string_view fitted = FitNumber(number);
  if (!fitted.empty()) call.TraceLog(fitted);
  s.Argument(0).AssignString(fitted);
  return r;
}

// "SetDialOn(" (mode: integer, value: integer): the mode.
int32_t SetDialOn(Call& call, const Line& s) {
  call.dialOnMode = ArgInt(s.Argument(0));
  call.dialOnValue = ArgInt(s.Argument(1));
  return call.dialOnMode;
}

// A statement that stores its integer argument into a field of the call
// object and gives the field ("SetDialFailedTo(", "SetHangupCause(",
// "SetCallType(").
template <int32_t Call::*kField>
int32_t SetField(Call& call, const Line& s) {
  call.*kField = ArgInt(s.Argument(0));
  return call.*kField;
}

}  // namespace

void RegisterCallStatements() {
  engine::StatementRegistry& r = engine::Statements();
  // Waiting for and answering calls; counts are stored integers, charge
  // flags integers.
  r.Register("WaitRing(", &CallOperation<[](Call& c, const Line& s) {
    return c.WaitRing(ArgStoredInt(s.Argument(0)));
  }>::Build);
  r.Register("IsRings(", &CallOperation<[](Call& c, const Line& s) {
    return c.IsRings(ArgStoredInt(s.Argument(0)));
  }>::Build);
  r.Register("IsRinging(", &CallOperation<IsRinging>::Build);
  r.Register("Answer(", &CallOperation<[](Call& c, const Line& s) {
    return c.Answer(Flag(ArgInt(s.Argument(0))));
  }>::Build);
  r.Register("SetCharge(", &CallOperation<[](Call& c, const Line& s) {
    return c.SetCharge(Flag(ArgInt(s.Argument(0))));
  }>::Build);
  // Placing calls.
  r.Register("OutCall(", &CallOperation<OutCall>::Build);
  r.Register("Dial(", &ScriptOperation<Dial, kNoCallObject>::Build);
  r.Register("CheckDial(", &CallOperation<CheckDial>::Build);
  r.Register("SetDialFailedTo(", &CallOperation<SetField<&Call::dialFailedTo>>::Build);
  // Releasing and transferring.
  r.Register("Hangup(", &CallOperation<[](Call& c, const Line&) {
    c.Hangup();
    return 0;
  }, 0>::Build);
  r.Register("SetMaxTalkTime(", &CallOperation<[](Call& c, const Line& s) {
    return SetMaxTalkTime(c, ArgInt(s.Argument(0)));
  }>::Build);
  // "TransferTo(" (number: text): no line kind of this system transfers,
  // so the operation does nothing and gives 0.
  r.Register("TransferTo(", &CallOperation<[](Call& c, const Line& s) {
    return c.TransferTo(ArgText(s.Argument(0)));
  }>::Build);
  // "MakeRing(" (caller number: text): rings a phone port.
  r.Register("MakeRing(", &CallOperation<[](Call& c, const Line& s) {
    return c.MakeRing(ArgText(s.Argument(0)));
  }>::Build);
  r.Register("GetHookState(",
             &CallOperation<[](Call& c, const Line&) { return c.GetHookState(); }>::Build);
  // Numbers: set for the next call (texts; the value an integer), or read.
  r.Register("SetCallerId(", &CallOperation<[](Call& c, const Line& s) {
    c.SetCallerId(ArgText(s.Argument(0)));
    return 0;
  }, 0>::Build);
  r.Register("SetFirstCalleeId(", &CallOperation<[](Call& c, const Line& s) {
    c.SetFirstCalleeId(ArgText(s.Argument(0)), ArgInt(s.Argument(1)));
    return 0;
  }, 0>::Build);
  r.Register("SetSubAddr(", &CallOperation<[](Call& c, const Line& s) {
    c.SetSubAddr(ArgText(s.Argument(0)), ArgText(s.Argument(1)));
    return 0;
  }, 0>::Build);
  r.Register("GetCallerId(", &CallOperation<ReadNumber<&Call::GetCallerId>>::Build);
  r.Register("GetCalleeId(", &CallOperation<ReadNumber<&Call::GetCalleeId>>::Build);
  r.Register("GetFirstCalleeId(", &CallOperation<ReadNumber<&Call::GetFirstCalleeId>>::Build);
  // Line and call parameters. "SetNobkringAns(" (flag: stored integer):
  // answer without ring-back.
  r.Register("SetNobkringAns(", &CallOperation<[](Call& c, const Line& s) {
    c.SetNobkringAns(Flag(ArgStoredInt(s.Argument(0))));
    return 0;
  }, 0>::Build);
  r.Register("OpenLine(", &CallOperation<[](Call& c, const Line&) {
    c.OpenLine();
    return 0;
  }, 0>::Build);
  r.Register("CloseLine(", &CallOperation<[](Call& c, const Line&) {
    c.CloseLine();
    return 0;
  }, 0>::Build);
  r.Register("SetDialOn(", &CallOperation<SetDialOn>::Build);
  r.Register("SetHangupCause(", &CallOperation<SetField<&Call::hangupCause>>::Build);
  r.Register("SetCallType(", &CallOperation<SetField<&Call::callType>>::Build);
}

}  // namespace telephony
