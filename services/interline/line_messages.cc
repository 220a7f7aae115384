#include "services/interline/line_messages.h"

#include "engine/line_call.h"
#include "engine/tel_basic.h"
#include "services/interline/process_queues.h"

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

MsgQueueRef FindMsgQueue(int32_t line, int32_t queue) {
  MsgQueueRef ref;
  if (queue < 0 || queue >= kMsgQueues) {
    ref.error = kMsgBadQueue;
  } else if (line >= engine::LinesCount()) {
    ref.error = kMsgBadLine;
  } else if (line < 0) {
    ref.queue = &ProcessQueue(queue);
  } else if ((ref.holder = LineMessagesOf(line)) == nullptr) {
    ref.error = kMsgNoScript;
  } else {
    ref.queue = &ref.holder->Queue(queue);
  }
  return ref;
}

}  // namespace services
