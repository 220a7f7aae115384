// The ACD list: one process-wide store of named groups of waiting messages
// that the lines' scripts use to hand calls out to agent lines. A group is
// a message queue with a last-activity tick and an owner line.
//
// Groups are kept in byte-wise name order. Send makes a group when it is
// absent; a group goes when Recv or Clear empties it. Read picks, among
// the groups free or owned by the reader, the one idle longest (now - last
// activity, as 32-bit unsigned, so the pick survives the tick's wrap; ties
// keep name order; a group active at this very tick is never picked),
// claims it for the reader and copies its first message without removing
// it. The tick of Send, Read and Recv is taken under the list's lock, so no
// group's activity can follow the now of a Read.
//
// Thread rules: any thread may call any operation; each holds the list's
// lock from start to end and takes one group queue's lock inside it (list
// lock, then a queue lock).
#ifndef VTTEL_SERVICES_INTERLINE_ACD_LIST_H_
#define VTTEL_SERVICES_INTERLINE_ACD_LIST_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/tag_var.h"
#include "services/interline/msg_list.h"

namespace services {

// A group's owner when no line has claimed it.
inline constexpr int32_t kAcdNoOwner = -1;

struct TagAcdGroupNode {
  TagMsgList messages;  // oldest first, no sort keys
  uint32_t lastActivity = 0;
  int32_t owner = kAcdNoOwner;
};

class TagAcdList {
 public:
  TagAcdList() = default;
  ~TagAcdList();
  TagAcdList(const TagAcdList&) = delete;
  TagAcdList& operator=(const TagAcdList&) = delete;

  // Files a copy of the message into the group (made when absent) and
  // stamps it: the group's message count afterwards (a full group keeps
  // its count and drops the message).
  int32_t Send(std::string_view group, const TagMsgFields& message);
  // The group's message count; 0 when absent (nothing is made).
  int32_t Num(std::string_view group);
  // Picks and claims a group for line and copies its first message into
  // out: 1, or 0 when no group qualified or the picked one is empty.
  int32_t Read(int32_t line, TagMsgFields& out);
  // The first group (name order) holding a message whose field i matches
  // gives it up into out, is stamped and handed to line; a group left
  // empty goes. 1, or 0.
  int32_t Recv(int32_t line, int32_t i, const engine::TagVar& value, TagMsgFields& out);
  // Removes the matching messages of the first group (name order) that has
  // any; a group left empty goes. 1, or 0. Later groups are not touched.
  int32_t Clear(int32_t i, const engine::TagVar& value);
  // WriteMsg on the first group (name order) where it finds a message: 1, or 0.
  int32_t Write(int32_t selector, const engine::TagVar& value, int32_t j,
                const engine::TagVar& new_value);

 private:
  using Groups = std::map<std::string, std::unique_ptr<TagAcdGroupNode>, std::less<>>;
  // Deletes the group when it holds no message.
  void DropIfEmpty(Groups::iterator it);

  std::mutex mu_;
  Groups groups_;  // guarded by mu_
};

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_ACD_LIST_H_
