#include "services/line_messages.h"

#include "engine/line_call.h"
#include "engine/tel_basic.h"

namespace services {

LineMessages* MessagesOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return static_cast<LineMessages*>(script->GetRunContext()->store(engine::StoreSlot::kMessages));
}

std::shared_ptr<LineMessages> LineMessagesOf(int32_t line) {
  return std::static_pointer_cast<LineMessages>(
      engine::LineStore(line, engine::StoreSlot::kMessages));
}

std::unique_ptr<engine::ScriptStore> NewLineMessages(engine::TagTelBasic&) {
  return std::make_unique<LineMessages>();
}

}  // namespace services
