#include "telephony/statements/line_statement.h"

namespace telephony {

TagVtCall* LineCallOf(const engine::TagTelBasic& script) {
  return dynamic_cast<TagVtCall*>(script.call);
}

engine::TagTelBasic* LineStatement::Acting() const {
  return script_ != nullptr ? script_->GetRunContext() : nullptr;
}

TagVtCall* LineStatement::Call() const {
  engine::TagTelBasic* acting = Acting();
  return acting != nullptr ? LineCallOf(*acting) : nullptr;
}

}  // namespace telephony
