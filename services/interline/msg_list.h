// Messages between the scripts of the lines, and the queues that carry them.
//
// TagMsgFields is one message: the sending line, a type and up to
// kMsgFields fields, all script values. Its values hold their map
// references (TagVar::Assign), so a map travels in a message by handle and
// lives until the last message or variable holding it lets go.
//
// TagMsgList is a queue of owned message copies. It may be kept sorted by
// keys (a column: -1 the type, 0..19 a field; ascending or descending):
// whenever a Send or a WriteMsg returns, the queue is in the order a
// stable sort of the whole list by the keys gives. Changing the keys does
// not re-sort; the next Send or WriteMsg does. Receiving never waits.
//
// Thread rules: a TagMsgFields belongs to its holder (a script's current
// message is used on its line's thread). Any thread may call any
// operation of a TagMsgList: each holds the queue's own lock from start to
// end and takes no other queue's lock; values of the caller (messages,
// match values, the dictionary of CountMsg) are read or written under it,
// and map values take the map table's lock inside (queue lock first).
#ifndef VTTEL_SERVICES_INTERLINE_MSG_LIST_H_
#define VTTEL_SERVICES_INTERLINE_MSG_LIST_H_

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/tag_var.h"

namespace services {

// The queues of a line, of the process and of the inter-line servers are
// numbered 0..kMsgQueues - 1.
inline constexpr int32_t kMsgQueues = 64;
// The fields of a message.
inline constexpr int32_t kMsgFields = 20;
// The selector of the type (sort columns, ReadFor, CountMsg).
inline constexpr int32_t kMsgTypeColumn = -1;
// ReadFor joins values while the text stays below this length.
inline constexpr size_t kReadForTextLimit = 2047;

struct TagMsgFields {
  TagMsgFields() = default;
  // Gives back the map references its values hold.
  ~TagMsgFields();
  TagMsgFields(const TagMsgFields&) = delete;
  TagMsgFields& operator=(const TagMsgFields&) = delete;

  // Copies count, sender, type and fields 0..count-1; the fields at and
  // above the count keep what they held.
  void CopyFrom(const TagMsgFields& from);
  // The count clamped to 0..kMsgFields.
  void SetCount(int32_t n);
  // Field i (0..19, whatever the count) = value / into out: false and
  // nothing done for any other i.
  bool SetField(int32_t i, const engine::TagVar& value);
  bool GetField(int32_t i, engine::TagVar& out) const;
  // The type for a negative column, else field column (0..19).
  const engine::TagVar& Column(int32_t column) const {
    return column < 0 ? type : fields[column];
  }
  // Field i (0 <= i < count) equals the value.
  bool FieldMatches(int32_t i, const engine::TagVar& value) const;
  bool TypeMatches(const engine::TagVar& value) const;

  int32_t count = 0;
  int32_t sender = 0;
  engine::TagVar type;
  engine::TagVar fields[kMsgFields];
};

// A sort key: column -1 the type, 0..19 a field.
struct TagOrderCol {
  int32_t column = 0;
  uint8_t descending = 0;
};

class TagMsgList {
 public:
  TagMsgList() = default;
  ~TagMsgList() = default;
  TagMsgList(const TagMsgList&) = delete;
  TagMsgList& operator=(const TagMsgList&) = delete;

  // Appends a copy (into its place when the queue has keys) unless the
  // queue already holds more than MAX_MSG_NUM messages (0: no limit): the
  // size after the append, or 0 when refused.
  int32_t Send(const TagMsgFields& message);
  // Remove the first message (that matches) into out: true, false when
  // there is none.
  bool Recv(TagMsgFields& out);
  bool RecvForType(const engine::TagVar& value, TagMsgFields& out);
  bool RecvForField(int32_t i, const engine::TagVar& value, TagMsgFields& out);
  // A message passes when index1 and index2 are both below its count and
  // its values at them (the type for a negative index) equal value1 and
  // value2: both with or_flag 0, either otherwise.
  bool RecvFor2Field(int32_t index1, const engine::TagVar& value1, int32_t or_flag,
                     int32_t index2, const engine::TagVar& value2, TagMsgFields& out);
  // Copies without removing: selector -1 the first message, -2 the first
  // whose type matches, else the first whose field (selector) matches.
  bool ReadMsg(int32_t selector, const engine::TagVar& value, TagMsgFields& out);
  // Finds as ReadMsg; j < 0 sets its type, 0 <= j < its count field j;
  // 1 when found (changed or not), else 0.
  int32_t WriteMsg(int32_t selector, const engine::TagVar& value, int32_t j,
                   const engine::TagVar& new_value);
  // Joins the output values (j: -1 the type, a field below the count,
  // else "") of the messages matching (i, value) with "," into *text while
  // it stays below kReadForTextLimit; the number of matching messages.
  int32_t ReadFor(int32_t i, const engine::TagVar& value, int32_t j, std::string* text);
  int32_t Clear();
  int32_t ClearFrom(int32_t sender);
  int32_t ClearForType(const engine::TagVar& value);
  int32_t ClearForField(int32_t i, const engine::TagVar& value);
  int32_t GetMsgNum();
  int32_t CountForType(const engine::TagVar& value);
  int32_t CountForField(int32_t i, const engine::TagVar& value);
  // Counts the messages per value of selector i (the type when negative)
  // into the dictionary variable; the number of keys started.
  int32_t CountMsg(int32_t i, engine::TagVar& dictionary);
  // Edits the keys: direction >= 0 sets or appends the column (descending
  // when non-zero), < 0 removes it. 0, or -1 for a column outside -1..19.
  int32_t SetOrderBy(int32_t column, int32_t direction);

 private:
  using Message = std::unique_ptr<TagMsgFields>;
  using Queue = std::deque<Message>;
  template <typename Match>
  bool TakeFirst(Match match, TagMsgFields& out);
  template <typename Match>
  int32_t RemoveAll(Match match);
  template <typename Match>
  int32_t CountAll(Match match);
  Queue::iterator FindForRead(int32_t selector, const engine::TagVar& value);
  // Whether a goes before b under the keys.
  bool Before(const TagMsgFields& a, const TagMsgFields& b) const;
  // Puts the queue in key order when a key change left it unsorted.
  void SortIfStale();
  // Moves the message at index to where a stable sort would put it.
  void Reposition(size_t index);

  std::mutex mu_;
  Queue messages_;                 // guarded by mu_
  std::vector<TagOrderCol> keys_;  // guarded by mu_
  // The queue is in key order (always true without keys); guarded by mu_.
  bool sorted_ = true;
};

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_MSG_LIST_H_
