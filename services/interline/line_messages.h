// The message store of a line: the queues of the line's script (0..63 for
// the message statements, 64 the reply queue of inter-line calls) and its
// current message, the working record of the message statements. It is
// the store of slot kMessages of the line's main script; the statements of
// a function or a child script reach it through the run context.
//
// Ownership: made with the main script and released with it; another
// line that sends into one of its queues holds the store (not the script)
// for the length of the statement, so a reload never frees a script on a
// sender's thread. A message sent while the line is reloaded lands in the
// old script's queues or in the new one's.
//
// Thread rules: the queues are locked (msg_list.h) and shared by every
// line; the current message is used on the line's thread only. The store
// keeps no reference to its script.
#ifndef VTTEL_SERVICES_INTERLINE_LINE_MESSAGES_H_
#define VTTEL_SERVICES_INTERLINE_LINE_MESSAGES_H_

#include <array>
#include <cstdint>
#include <memory>

#include "engine/script_store.h"
#include "services/interline/msg_list.h"

namespace engine {
class TagTelBasic;
}

namespace services {

// The line's queue of inter-line call replies.
inline constexpr int32_t kReplyQueue = 64;

class LineMessages : public engine::ScriptStore {
 public:
  // n: 0..kReplyQueue.
  TagMsgList& Queue(int32_t n) { return queues_.at(static_cast<size_t>(n)); }
  TagMsgFields& current() { return current_; }

 private:
  std::array<TagMsgList, kMsgQueues + 1> queues_;
  TagMsgFields current_;
};

// The store of the script a statement compiled in script acts on (its run
// context's); null when it has none.
LineMessages* MessagesOf(engine::TagTelBasic* script);
// The message store of the script running on a line (engine::LineStore);
// null when the line has none.
std::shared_ptr<LineMessages> LineMessagesOf(int32_t line);

// The store factory of slot kMessages.
std::unique_ptr<engine::ScriptStore> NewLineMessages(engine::TagTelBasic& script);

// Results of the addressing of a queue by (line, queue).
inline constexpr int32_t kMsgBadQueue = -1;
inline constexpr int32_t kMsgBadLine = -2;
inline constexpr int32_t kMsgNoScript = -3;

// A queue found by (line, queue): queue is null and error holds the
// result when there is none. holder keeps a line's store alive while the
// queue is used.
struct MsgQueueRef {
  TagMsgList* queue = nullptr;
  int32_t error = 0;
  std::shared_ptr<LineMessages> holder;
};
// Checked in this order: the queue outside 0..63 gives kMsgBadQueue; a line
// at or above the line count kMsgBadLine; a negative line names the
// process-wide queue; a line without a compiled script gives kMsgNoScript.
MsgQueueRef FindMsgQueue(int32_t line, int32_t queue);

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_LINE_MESSAGES_H_
