// The base of the statements that work on the current message of their
// script's run context (the message and ACD statements).
//
// Thread rules: a statement runs on its line's thread only.
#ifndef VTTEL_SERVICES_INTERLINE_CURRENT_MSG_STATEMENT_H_
#define VTTEL_SERVICES_INTERLINE_CURRENT_MSG_STATEMENT_H_

#include <cstdint>
#include <memory>

#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "services/interline/line_messages.h"

namespace services {

class CurrentMsgStatement : public engine::ArgsStatement {
 public:
  explicit CurrentMsgStatement(const engine::StatementBuild& b) : ArgsStatement(b) {}

 protected:
  // The current message of the run context (a statement built outside a
  // script uses a record of its own).
  TagMsgFields& Current() {
    if (LineMessages* store = MessagesOf(Compiling())) return store->current();
    if (own_ == nullptr) own_ = std::make_unique<TagMsgFields>();
    return *own_;
  }
  // The line of the run context (0 outside a script).
  int32_t OwnLine() const {
    return Compiling() != nullptr ? Compiling()->GetRunContext()->lineNo : 0;
  }

 private:
  std::unique_ptr<TagMsgFields> own_;
};

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_CURRENT_MSG_STATEMENT_H_
