// LineStatement: the base of the telephony statements, which act on the
// line: the script that compiled the statement and, at run time, the acting
// script (the owner main script for a statement inside a script function)
// and its call object.
#ifndef VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_
#define VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_

#include <cstdint>

#include "engine/statement.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "telephony/vt_call.h"

namespace telephony {

// The result of a statement whose script has no call object.
inline constexpr int32_t kNoCallObject = -1;

// A script's call object as the telephony layer's; null when it has none
// (or one that is not a TagVtCall).
TagVtCall* LineCallOf(const engine::TagTelBasic& script);

class LineStatement : public engine::TagOper {
 protected:
  explicit LineStatement(const engine::StatementBuild& build) : script_(build.script) {}
  // The script whose per-line stores the statement uses (never null while
  // the statement runs in a script).
  engine::TagTelBasic* Acting() const;
  // The acting script's call object, or null.
  TagVtCall* Call() const;

 private:
  engine::TagTelBasic* script_;  // the compiling script; owns the statement
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_LINE_STATEMENT_H_
