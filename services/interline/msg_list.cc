#include "services/interline/msg_list.h"

#include <algorithm>
#include <iterator>

#include "frame/settings.h"

namespace services {

using engine::TagVar;

namespace {

// The selectors of ReadMsg and WriteMsg.
constexpr int32_t kReadFirst = -1;
constexpr int32_t kReadByType = -2;

bool Same(const TagVar& a, const TagVar& b) { return TagVar::Equals(a, b) != 0; }

void GiveBack(TagVar& v) {
  if (v.kind == engine::kVarMap) v.ReleaseMap();
}

}  // namespace

// --- TagMsgFields -------------------------------------------------------------

TagMsgFields::~TagMsgFields() {
  GiveBack(type);
  for (TagVar& f : fields) GiveBack(f);
}

void TagMsgFields::CopyFrom(const TagMsgFields& from) {
  if (&from == this) return;
  count = from.count;
  sender = from.sender;
  type.Assign(from.type);
  for (int32_t i = 0; i < from.count; ++i) fields[i].Assign(from.fields[i]);
}

void TagMsgFields::SetCount(int32_t n) { count = std::clamp(n, 0, kMsgFields); }

bool TagMsgFields::SetField(int32_t i, const TagVar& value) {
  if (i < 0 || i >= kMsgFields) return false;
  fields[i].Assign(value);
  return true;
}

bool TagMsgFields::GetField(int32_t i, TagVar& out) const {
  if (i < 0 || i >= kMsgFields) return false;
  out.Assign(fields[i]);
  return true;
}

bool TagMsgFields::FieldMatches(int32_t i, const TagVar& value) const {
  return i >= 0 && i < count && Same(fields[i], value);
}

bool TagMsgFields::TypeMatches(const TagVar& value) const { return Same(type, value); }

// --- TagMsgList: order --------------------------------------------------------

bool TagMsgList::Before(const TagMsgFields& a, const TagMsgFields& b) const {
  for (const TagOrderCol& key : keys_) {
    const TagVar& va = a.Column(key.column);
    const TagVar& vb = b.Column(key.column);
    if (Same(va, vb)) continue;
    return (key.descending ? TagVar::Greater(va, vb) : TagVar::Less(va, vb)) != 0;
  }
  return false;
}

void TagMsgList::SortIfStale() {
  if (sorted_) return;
  std::stable_sort(messages_.begin(), messages_.end(),
                   [this](const Message& a, const Message& b) { return Before(*a, *b); });
  sorted_ = true;
}

void TagMsgList::Reposition(size_t index) {
  if (keys_.empty()) return;
  Message moved = std::move(messages_[index]);
  messages_.erase(messages_.begin() + static_cast<std::ptrdiff_t>(index));
  // Among its equals the message keeps its place: behind those that stood
  // before it, ahead of those that stood behind it.
  const auto lo = std::lower_bound(
      messages_.begin(), messages_.end(), moved,
      [this](const Message& e, const Message& m) { return Before(*e, *m); });
  const auto hi = std::upper_bound(
      lo, messages_.end(), moved,
      [this](const Message& m, const Message& e) { return Before(*m, *e); });
  const auto at = messages_.begin() + static_cast<std::ptrdiff_t>(index);
  messages_.insert(std::clamp(at, lo, hi), std::move(moved));
}

int32_t TagMsgList::SetOrderBy(int32_t column, int32_t direction) {
  if (column < kMsgTypeColumn || column >= kMsgFields) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  auto key = std::find_if(keys_.begin(), keys_.end(),
                          [column](const TagOrderCol& k) { return k.column == column; });
  if (direction >= 0) {
    const uint8_t descending = direction != 0 ? 1 : 0;
    if (key == keys_.end()) {
      keys_.push_back({column, descending});
      sorted_ = false;
    } else if (key->descending != descending) {
      key->descending = descending;
      sorted_ = false;
    }
  } else if (key != keys_.end()) {
    keys_.erase(key);
    sorted_ = keys_.empty();
  }
  return 0;
}

// --- TagMsgList: sending and receiving ----------------------------------------

int32_t TagMsgList::Send(const TagMsgFields& message) {
  auto copy = std::make_unique<TagMsgFields>();
  copy->CopyFrom(message);
  const uint32_t limit = frame::GetSettings().max_msg_num.load(std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(mu_);
  const size_t n = messages_.size();
  if (limit != 0 && n > limit) return 0;
  if (keys_.empty() || !sorted_) {
    messages_.push_back(std::move(copy));
    SortIfStale();
  } else {
    // Behind its equals: where a stable sort of the list with the new
    // message appended puts it.
    const auto at = std::upper_bound(
        messages_.begin(), messages_.end(), copy,
        [this](const Message& m, const Message& e) { return Before(*m, *e); });
    messages_.insert(at, std::move(copy));
  }
  return static_cast<int32_t>(n + 1);
}

template <typename Match>
bool TagMsgList::TakeFirst(Match match, TagMsgFields& out) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = std::find_if(messages_.begin(), messages_.end(),
                               [&](const Message& m) { return match(*m); });
  if (it == messages_.end()) return false;
  out.CopyFrom(**it);
  messages_.erase(it);
  return true;
}

bool TagMsgList::Recv(TagMsgFields& out) {
  return TakeFirst([](const TagMsgFields&) { return true; }, out);
}

bool TagMsgList::RecvForType(const TagVar& value, TagMsgFields& out) {
  return TakeFirst([&](const TagMsgFields& m) { return m.TypeMatches(value); }, out);
}

bool TagMsgList::RecvForField(int32_t i, const TagVar& value, TagMsgFields& out) {
  return TakeFirst([&](const TagMsgFields& m) { return m.FieldMatches(i, value); }, out);
}

bool TagMsgList::RecvFor2Field(int32_t index1, const TagVar& value1, int32_t or_flag,
                               int32_t index2, const TagVar& value2, TagMsgFields& out) {
  return TakeFirst(
      [&](const TagMsgFields& m) {
        if (index1 >= m.count || index2 >= m.count) return false;
        const bool first = Same(m.Column(index1), value1);
        const bool second = Same(m.Column(index2), value2);
        return or_flag != 0 ? first || second : first && second;
      },
      out);
}

TagMsgList::Queue::iterator TagMsgList::FindForRead(int32_t selector, const TagVar& value) {
  return std::find_if(messages_.begin(), messages_.end(), [&](const Message& m) {
    if (selector == kReadFirst) return true;
    if (selector == kReadByType) return m->TypeMatches(value);
    return m->FieldMatches(selector, value);
  });
}

bool TagMsgList::ReadMsg(int32_t selector, const TagVar& value, TagMsgFields& out) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = FindForRead(selector, value);
  if (it == messages_.end()) return false;
  out.CopyFrom(**it);
  return true;
}

int32_t TagMsgList::WriteMsg(int32_t selector, const TagVar& value, int32_t j,
                             const TagVar& new_value) {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = FindForRead(selector, value);
  const bool found = it != messages_.end();
  bool changed = false;
  if (found) {
    TagMsgFields& m = **it;
    if (j < 0) {
      m.type.Assign(new_value);
      changed = true;
    } else if (j < m.count) {
      m.fields[j].Assign(new_value);
      changed = true;
    }
  }
  if (!sorted_) {
    SortIfStale();
  } else if (changed) {
    Reposition(static_cast<size_t>(it - messages_.begin()));
  }
  return found ? 1 : 0;
}

// --- TagMsgList: reading many -------------------------------------------------

int32_t TagMsgList::ReadFor(int32_t i, const TagVar& value, int32_t j, std::string* text) {
  std::lock_guard<std::mutex> lock(mu_);
  text->clear();
  int32_t matched = 0;
  std::string piece;
  for (const Message& m : messages_) {
    const bool match = i == kMsgTypeColumn ? m->TypeMatches(value)
                       : i >= 0 && i < m->count ? m->FieldMatches(i, value)
                                                : true;
    if (!match) continue;
    if (j == kMsgTypeColumn) {
      m->type.ToText(piece);
    } else if (j >= 0 && j < m->count) {
      m->fields[j].ToText(piece);
    } else {
      piece.clear();
    }
    if (text->size() + piece.size() < kReadForTextLimit) {
      if (matched > 0) text->push_back(',');
      text->append(piece);
    }
    ++matched;
  }
  return matched;
}

template <typename Match>
int32_t TagMsgList::RemoveAll(Match match) {
  std::lock_guard<std::mutex> lock(mu_);
  const size_t before = messages_.size();
  std::erase_if(messages_, [&](const Message& m) { return match(*m); });
  return static_cast<int32_t>(before - messages_.size());
}

template <typename Match>
int32_t TagMsgList::CountAll(Match match) {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int32_t>(std::count_if(messages_.begin(), messages_.end(),
                                            [&](const Message& m) { return match(*m); }));
}

int32_t TagMsgList::Clear() {
  return RemoveAll([](const TagMsgFields&) { return true; });
}

int32_t TagMsgList::ClearFrom(int32_t sender) {
  return RemoveAll([sender](const TagMsgFields& m) { return m.sender == sender; });
}

int32_t TagMsgList::ClearForType(const TagVar& value) {
  return RemoveAll([&](const TagMsgFields& m) { return m.TypeMatches(value); });
}

int32_t TagMsgList::ClearForField(int32_t i, const TagVar& value) {
  return RemoveAll([&](const TagMsgFields& m) { return m.FieldMatches(i, value); });
}

int32_t TagMsgList::GetMsgNum() {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int32_t>(messages_.size());
}

int32_t TagMsgList::CountForType(const TagVar& value) {
  return CountAll([&](const TagMsgFields& m) { return m.TypeMatches(value); });
}

int32_t TagMsgList::CountForField(int32_t i, const TagVar& value) {
  return CountAll([&](const TagMsgFields& m) { return m.FieldMatches(i, value); });
}

int32_t TagMsgList::CountMsg(int32_t i, TagVar& dictionary) {
  std::lock_guard<std::mutex> lock(mu_);
  int32_t started = 0;
  for (const Message& m : messages_) {
    if (i >= 0 && i >= m->count) continue;
    const TagVar& key = m->Column(i);
    const TagVar* seen = dictionary.GetElement(key);
    if (seen->kind == engine::kVarInt) {
      // Script integers wrap as two's complement.
      const auto next = static_cast<int32_t>(static_cast<uint32_t>(seen->intValue) + 1u);
      dictionary.Element(key)->AssignInt(next);
    } else {
      dictionary.Element(key)->AssignInt(1);
      ++started;
    }
  }
  return started;
}

}  // namespace services
