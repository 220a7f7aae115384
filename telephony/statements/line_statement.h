// LineStatement: the base of the telephony statements, which act on the
// line: the script that compiled the statement and, at run time, the acting
// script (the owner main script for a statement inside a script function)
// and its call object.
//
// Most statements are one operation of the call object or one setting of
// the acting script; CallOperation and ScriptOperation build them from a
// body (a captureless lambda) so that a family lists each statement as its
// keyword and body:
//   r.Register("Hangup(", &CallOperation<[](TagVtCall& c, const LineStatement&) {
//     c.Hangup(); return 0; }, 0>::Build);
//
// Thread rules: statements run on their line's thread only.
#ifndef VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_
#define VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_

#include <cstdint>
#include <string>

#include "engine/statement.h"
#include "engine/statement_args.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "telephony/vt_call.h"

namespace telephony {

class LineStatement : public engine::ArgsStatement {
 public:
  // The script whose per-line stores the statement uses (never null while
  // the statement runs in a script).
  engine::TagTelBasic* Acting() const;
  // The acting script's call object, or null.
  TagVtCall* Call() const;

 protected:
  explicit LineStatement(const engine::StatementBuild& build) : ArgsStatement(build) {}
};

// A statement that is one operation of the call object: its result is
// kBody(call, statement), or kWithoutCall when the acting script has no
// call object.
template <auto kBody, int32_t kWithoutCall = kNoCallObject>
class CallOperation final : public LineStatement {
 public:
  explicit CallOperation(const engine::StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    TagVtCall* call = Call();
    return call != nullptr ? kBody(*call, static_cast<const LineStatement&>(*this)) : kWithoutCall;
  }
  static engine::TagOper* Build(const engine::StatementBuild& b, std::string*) {
    return new CallOperation(b);
  }
};

// A statement that acts on the acting script: its result is kBody(script,
// statement), or kWithoutScript for a statement run outside a script.
template <auto kBody, int32_t kWithoutScript = 0>
class ScriptOperation final : public LineStatement {
 public:
  explicit ScriptOperation(const engine::StatementBuild& b) : LineStatement(b) {}
  int32_t Execute() override {
    engine::TagTelBasic* script = Acting();
    return script != nullptr ? kBody(*script, static_cast<const LineStatement&>(*this))
                             : kWithoutScript;
  }
  static engine::TagOper* Build(const engine::StatementBuild& b, std::string*) {
    return new ScriptOperation(b);
  }
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_
