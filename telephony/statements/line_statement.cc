#include "telephony/statements/line_statement.h"

namespace telephony {

engine::TagTelBasic* LineStatement::Acting() const {
  engine::TagTelBasic* script = Compiling();
  return script != nullptr ? script->GetRunContext() : nullptr;
}

TagVtCall* LineStatement::Call() const {
  engine::TagTelBasic* acting = Acting();
  return acting != nullptr ? LineCallOf(*acting) : nullptr;
}

}  // namespace telephony
