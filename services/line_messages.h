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
#ifndef VTTEL_SERVICES_LINE_MESSAGES_H_
#define VTTEL_SERVICES_LINE_MESSAGES_H_

#include <array>
#include <cstdint>
#include <memory>

#include "engine/script_store.h"
#include "services/msg_list.h"

namespace engine {
class TagTelBasic;
}

namespace services {

// Queues 0..63 of a line (and of the process) are the message statements'.
inline constexpr int32_t kMsgQueues = 64;
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

}  // namespace services

#endif  // VTTEL_SERVICES_LINE_MESSAGES_H_
