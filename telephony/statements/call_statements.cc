#include "telephony/statements/call_statements.h"

#include <string>
#include <string_view>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "telephony/vt_call.h"

namespace telephony {

using engine::Arg;
using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

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

// A number an operation wrote, cut to the room of the statement's buffer.
std::string_view FitNumber(const std::string& number) {
  return std::string_view(number).substr(0, kNumberBufferBytes - 1);
}

// --- waiting for and answering calls ---------------------------------------

// "WaitRing(" (count: stored integer).
class TagWaitRing : public LineStatement {
 public:
  explicit TagWaitRing(const StatementBuild& b) : LineStatement(b), count_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->WaitRing(ArgStoredInt(*count_)) : kNoCallObject;
  }

 private:
  TagVar* count_;
};

// "IsRings(" (count: stored integer).
class TagIsRings : public LineStatement {
 public:
  explicit TagIsRings(const StatementBuild& b) : LineStatement(b), count_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->IsRings(ArgStoredInt(*count_)) : kNoCallObject;
  }

 private:
  TagVar* count_;
};

// "IsRinging(" (calling-number variable, called-number variable): both are
// written only when a call is offered.
class TagIsRinging : public LineStatement {
 public:
  explicit TagIsRinging(const StatementBuild& b)
      : LineStatement(b), calling_(Arg(b, 0)), called_(Arg(b, 1)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    std::string calling, called;
    const int32_t r = call->IsRinging(calling, called);
    if (r > 0) {
      calling_->AssignString(FitNumber(calling));
      called_->AssignString(FitNumber(called));
    }
    return r;
  }

 private:
  TagVar* calling_;
  TagVar* called_;
};

// "Answer(" (charge flag: integer).
class TagAnswer : public LineStatement {
 public:
  explicit TagAnswer(const StatementBuild& b) : LineStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->Answer(ArgInt(*flag_) != 0 ? 1 : 0) : kNoCallObject;
  }

 private:
  TagVar* flag_;
};

// "SetCharge(" (charge flag: integer).
class TagSetCharge : public LineStatement {
 public:
  explicit TagSetCharge(const StatementBuild& b) : LineStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->SetCharge(ArgInt(*flag_) != 0 ? 1 : 0) : kNoCallObject;
  }

 private:
  TagVar* flag_;
};

// --- placing calls --------------------------------------------------------------

// "OutCall(" (number: text): waits for the call's outcome.
class TagOutCall : public LineStatement {
 public:
  explicit TagOutCall(const StatementBuild& b) : LineStatement(b), number_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t r = call->OutCall(ArgText(*number_));
    ApplyDialFailureRule(DialForm::kOutCall, r, *call, *Acting());
    return r;
  }

 private:
  TagVar* number_;
};

// "Dial(" (number: text): starts a call without waiting. The length test
// reads the stored integer, so an integer above 100 is refused too.
class TagDial : public LineStatement {
 public:
  explicit TagDial(const StatementBuild& b) : LineStatement(b), number_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (ArgStoredInt(*number_) > kMaxDialStoredLength) return kDialRefused;
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t r = call->Dial(ArgText(*number_));
    ApplyDialFailureRule(DialForm::kDial, r, *call, *Acting());
    return r;
  }

 private:
  TagVar* number_;
};

// "CheckDial(": 1 connected, 0 still dialing, below 0 failed.
class TagCheckDial : public LineStatement {
 public:
  explicit TagCheckDial(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const int32_t r = call->CheckDial();
    ApplyDialFailureRule(DialForm::kDial, r, *call, *Acting());
    return r;
  }
};

// "SetDialFailedTo(" (flag: integer).
class TagSetDialFailedTo : public LineStatement {
 public:
  explicit TagSetDialFailedTo(const StatementBuild& b) : LineStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    call->dialFailedTo = ArgInt(*flag_);
    return call->dialFailedTo;
  }

 private:
  TagVar* flag_;
};

// --- releasing and transferring ------------------------------------------------

// "Hangup(".
class TagHangup : public LineStatement {
 public:
  explicit TagHangup(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->Hangup();
    return 0;
  }
};

// "SetMaxTalkTime(" (seconds: integer).
class TagSetMaxTalkTime : public LineStatement {
 public:
  explicit TagSetMaxTalkTime(const StatementBuild& b) : LineStatement(b), seconds_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? SetMaxTalkTime(*call, ArgInt(*seconds_)) : kNoCallObject;
  }

 private:
  TagVar* seconds_;
};

// "TransferTo(" (number: text). No line kind of this system carries out a
// transfer: the operation gives its base result, and the log says so, so
// that a script relying on it is noticed.
class TagTransferTo : public LineStatement {
 public:
  explicit TagTransferTo(const StatementBuild& b) : LineStatement(b), number_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    const char* number = ArgText(*number_);
    const int32_t r = call->TransferTo(number);
    call->ErrorLog("TransferTo(" + std::string(number) + ") is not supported on this line");
    return r;
  }

 private:
  TagVar* number_;
};

// "MakeRing(" (caller number: text): rings a phone port.
class TagMakeRing : public LineStatement {
 public:
  explicit TagMakeRing(const StatementBuild& b) : LineStatement(b), number_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->MakeRing(ArgText(*number_)) : kNoCallObject;
  }

 private:
  TagVar* number_;
};

// "GetHookState(".
class TagGetHookState : public LineStatement {
 public:
  explicit TagGetHookState(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? call->GetHookState() : kNoCallObject;
  }
};

// --- numbers ------------------------------------------------------------------------

// "SetCallerId(" (number: text): the calling number of the next call.
class TagSetCallerId : public LineStatement {
 public:
  explicit TagSetCallerId(const StatementBuild& b) : LineStatement(b), number_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->SetCallerId(ArgText(*number_));
    return 0;
  }

 private:
  TagVar* number_;
};

// "SetFirstCalleeId(" (number: text, value: integer).
class TagSetFirstCalleeId : public LineStatement {
 public:
  explicit TagSetFirstCalleeId(const StatementBuild& b)
      : LineStatement(b), number_(Arg(b, 0)), value_(Arg(b, 1)) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->SetFirstCalleeId(ArgText(*number_), ArgInt(*value_));
    return 0;
  }

 private:
  TagVar* number_;
  TagVar* value_;
};

// "SetSubAddr(" (first: text, second: text).
class TagSetSubAddr : public LineStatement {
 public:
  explicit TagSetSubAddr(const StatementBuild& b)
      : LineStatement(b), first_(Arg(b, 0)), second_(Arg(b, 1)) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->SetSubAddr(ArgText(*first_), ArgText(*second_));
    return 0;
  }

 private:
  TagVar* first_;
  TagVar* second_;
};

// The reading of one number of the call into a variable ("GetCallerId(",
// "GetCalleeId(", "GetFirstCalleeId("): the buffer starts empty, a
// non-empty number is traced, and the buffer goes into the variable.
template <int32_t (TagVtCall::*kRead)(std::string&)>
class NumberReadStatement : public LineStatement {
 public:
  explicit NumberReadStatement(const StatementBuild& b) : LineStatement(b), dest_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    std::string number;
    const int32_t r = (call->*kRead)(number);
    const std::string_view fitted = FitNumber(number);
    if (!fitted.empty()) call->TraceLog(fitted);
    dest_->AssignString(fitted);
    return r;
  }

 private:
  TagVar* dest_;
};

class TagGetCallerId : public NumberReadStatement<&TagVtCall::GetCallerId> {
  using NumberReadStatement::NumberReadStatement;
};
class TagGetCalleeId : public NumberReadStatement<&TagVtCall::GetCalleeId> {
  using NumberReadStatement::NumberReadStatement;
};
class TagGetFirstCalleeId : public NumberReadStatement<&TagVtCall::GetFirstCalleeId> {
  using NumberReadStatement::NumberReadStatement;
};

// --- line and call parameters --------------------------------------------------

// "SetNobkringAns(" (flag: stored integer): answer without ring-back.
class TagSetNobkringAns : public LineStatement {
 public:
  explicit TagSetNobkringAns(const StatementBuild& b) : LineStatement(b), flag_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->SetNobkringAns(ArgStoredInt(*flag_) != 0 ? 1 : 0);
    return 0;
  }

 private:
  TagVar* flag_;
};

// "OpenLine(".
class TagOpenLine : public LineStatement {
 public:
  explicit TagOpenLine(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->OpenLine();
    return 0;
  }
};

// "CloseLine(".
class TagCloseLine : public LineStatement {
 public:
  explicit TagCloseLine(const StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    if (TagVtCall* call = Call()) call->CloseLine();
    return 0;
  }
};

// "SetDialOn(" (mode: integer, value: integer).
class TagSetDialOn : public LineStatement {
 public:
  explicit TagSetDialOn(const StatementBuild& b)
      : LineStatement(b), mode_(Arg(b, 0)), value_(Arg(b, 1)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    call->dialOnMode = ArgInt(*mode_);
    call->dialOnValue = ArgInt(*value_);
    return call->dialOnMode;
  }

 private:
  TagVar* mode_;
  TagVar* value_;
};

// "SetHangupCause(" (cause: integer).
class TagSetHangupCause : public LineStatement {
 public:
  explicit TagSetHangupCause(const StatementBuild& b) : LineStatement(b), cause_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    call->hangupCause = ArgInt(*cause_);
    return call->hangupCause;
  }

 private:
  TagVar* cause_;
};

// "SetCallType(" (type: integer).
class TagSetCallType : public LineStatement {
 public:
  explicit TagSetCallType(const StatementBuild& b) : LineStatement(b), type_(Arg(b, 0)) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    if (call == nullptr) return kNoCallObject;
    call->callType = ArgInt(*type_);
    return call->callType;
  }

 private:
  TagVar* type_;
};

}  // namespace

void RegisterCallStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("WaitRing(", &BuildStatement<TagWaitRing>);
  r.Register("IsRings(", &BuildStatement<TagIsRings>);
  r.Register("IsRinging(", &BuildStatement<TagIsRinging>);
  r.Register("Answer(", &BuildStatement<TagAnswer>);
  r.Register("SetCharge(", &BuildStatement<TagSetCharge>);
  r.Register("OutCall(", &BuildStatement<TagOutCall>);
  r.Register("Dial(", &BuildStatement<TagDial>);
  r.Register("CheckDial(", &BuildStatement<TagCheckDial>);
  r.Register("SetDialFailedTo(", &BuildStatement<TagSetDialFailedTo>);
  r.Register("Hangup(", &BuildStatement<TagHangup>);
  r.Register("SetMaxTalkTime(", &BuildStatement<TagSetMaxTalkTime>);
  r.Register("TransferTo(", &BuildStatement<TagTransferTo>);
  r.Register("MakeRing(", &BuildStatement<TagMakeRing>);
  r.Register("GetHookState(", &BuildStatement<TagGetHookState>);
  r.Register("SetCallerId(", &BuildStatement<TagSetCallerId>);
  r.Register("SetFirstCalleeId(", &BuildStatement<TagSetFirstCalleeId>);
  r.Register("SetSubAddr(", &BuildStatement<TagSetSubAddr>);
  r.Register("GetCallerId(", &BuildStatement<TagGetCallerId>);
  r.Register("GetCalleeId(", &BuildStatement<TagGetCalleeId>);
  r.Register("GetFirstCalleeId(", &BuildStatement<TagGetFirstCalleeId>);
  r.Register("SetNobkringAns(", &BuildStatement<TagSetNobkringAns>);
  r.Register("OpenLine(", &BuildStatement<TagOpenLine>);
  r.Register("CloseLine(", &BuildStatement<TagCloseLine>);
  r.Register("SetDialOn(", &BuildStatement<TagSetDialOn>);
  r.Register("SetHangupCause(", &BuildStatement<TagSetHangupCause>);
  r.Register("SetCallType(", &BuildStatement<TagSetCallType>);
}

}  // namespace telephony
