#include "engine/map_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/run_fault.h"
#include "platform/number_text.h"

namespace engine {

bool FloatKeyLess::operator()(double a, double b) const {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

namespace {

std::string_view StringKey(const TagVar& key) {
  const char* t = key.text();
  return std::string_view(t, std::strlen(t));
}

template <typename Map, typename K>
TagVar* FindIn(Map& m, const K& k) {
  auto it = m.find(k);
  return it == m.end() ? nullptr : &it->second;
}

// One walk: the place found is where a new key goes.
template <typename Map, typename K>
TagVar* InsertIn(Map& m, const K& k) {
  auto it = m.lower_bound(k);
  if (it == m.end() || m.key_comp()(k, it->first)) {
    CheckScriptDataRoom();
    it = m.emplace_hint(it, typename Map::key_type(k), TagVar());
  }
  return &it->second;
}

template <typename Map, typename K>
bool EraseIn(Map& m, const K& k, int32_t* released) {
  auto it = m.find(k);
  if (it == m.end()) return false;
  if (it->second.kind == kVarMap) *released = it->second.mapHandle;
  m.erase(it);
  return true;
}

}  // namespace

TagVar* TagMapItem::Find(const TagVar& key) {
  switch (key.kind) {
    case kVarString: return FindIn(stringKeys, StringKey(key));
    case kVarFloat: return FindIn(floatKeys, key.floatValue);
    case kVarMap: return FindIn(mapKeys, key.mapHandle);
    default: return intKeys.Find(key.intValue);
  }
}

TagVar* TagMapItem::GetOrInsert(const TagVar& key) {
  switch (key.kind) {
    case kVarString: return InsertIn(stringKeys, StringKey(key));
    case kVarFloat: return InsertIn(floatKeys, key.floatValue);
    case kVarMap: return InsertIn(mapKeys, key.mapHandle);
    default: return intKeys.GetOrInsert(key.intValue);
  }
}

const TagVar* TagMapItem::PeekOther(const TagVar& key) {
  switch (key.kind) {
    case kVarString: return FindIn(stringKeys, StringKey(key));
    case kVarFloat: return FindIn(floatKeys, key.floatValue);
    default: return FindIn(mapKeys, key.mapHandle);
  }
}

void TagMapItem::WriteOther(const TagVar& key, const ElementWrite& w) {
  switch (key.kind) {
    case kVarString: w.ApplyTo(*InsertIn(stringKeys, StringKey(key))); break;
    case kVarFloat: w.ApplyTo(*InsertIn(floatKeys, key.floatValue)); break;
    default: w.ApplyTo(*InsertIn(mapKeys, key.mapHandle)); break;
  }
}

bool TagMapItem::Erase(const TagVar& key, int32_t* released_handle) {
  *released_handle = 0;
  switch (key.kind) {
    case kVarString: return EraseIn(stringKeys, StringKey(key), released_handle);
    case kVarFloat: return EraseIn(floatKeys, key.floatValue, released_handle);
    case kVarMap: return EraseIn(mapKeys, key.mapHandle, released_handle);
    default: return intKeys.Erase(key.intValue, released_handle);
  }
}

int32_t TagMapItem::Count() const {
  return static_cast<int32_t>(intKeys.size() + stringKeys.size() + floatKeys.size() +
                              mapKeys.size());
}

namespace {

// Empties one tree of keys; the handles its map elements hold go to held.
template <typename Tree>
void ClearTree(Tree& tree, std::vector<int32_t>& held) {
  for (const auto& [k, v] : tree) {
    if (v.kind == kVarMap) held.push_back(v.mapHandle);
  }
  tree.clear();
}

}  // namespace

void TagMapItem::Retire(std::vector<int32_t>& held) {
  alive = false;
  intKeys.clear(&held);
  ClearTree(stringKeys, held);
  ClearTree(floatKeys, held);
  ClearTree(mapKeys, held);
}

// One entry of a map as GetItem gives it: the key as a value (a map key
// becomes the integer of its handle) and a copy of the element.
struct TagMapObject::Entry {
  int32_t kind;
  TagVar key;
  TagVar value;
};

// A copy of a map's entries taken under its lock. The maps that the values
// hold get a reference for the life of the snapshot, so that another line
// cannot delete them before the entries are used.
class TagMapObject::Snapshot {
 public:
  Snapshot(TagMapObject* table, int32_t h) : table_(table) {
    std::shared_ptr<TagMapItem> item = table->Lookup(h);
    if (!item) return;
    valid_ = true;
    std::lock_guard<MapLock> lock(item->mu);
    entries_.reserve(static_cast<size_t>(item->Count()));
    item->ForEach([&](int32_t kind, int32_t ik, std::string_view sk, double fk, const TagVar& v) {
      Entry& e = entries_.emplace_back(Entry{kind, TagVar(), TagVar(v)});
      if (kind == kStringKeys) {
        e.key.AssignString(sk);
      } else if (kind == kFloatKeys) {
        e.key.AssignFloat(fk);
      } else {
        e.key.AssignInt(ik);
      }
      if (v.kind == kVarMap) table_->AddRef(v.mapHandle);
      return true;
    });
  }
  ~Snapshot() {
    for (Entry& e : entries_) {
      if (e.value.kind == kVarMap) table_->Release(e.value.mapHandle);
    }
  }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  bool valid() const { return valid_; }
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  TagMapObject* table_;
  bool valid_ = false;
  std::vector<Entry> entries_;
};

namespace {

// The map a thread reached last, kept so that its next access needs no
// table lock.
struct LastMap {
  const TagMapObject* table = nullptr;
  int32_t handle = 0;
  std::shared_ptr<TagMapItem> item;
};
thread_local LastMap last_map;

// The table lets a map go: no thread's last-map cache uses it again.
void LetGo(TagMapItem& item) {
  std::lock_guard<MapLock> lock(item.mu);
  item.alive = false;
}

}  // namespace

TagMapObject::TagMapObject() = default;

TagMapObject::~TagMapObject() {
  // Tear-down: the elements are destroyed without releasing anything.
  std::lock_guard<std::recursive_mutex> lock(mu_);
  for (auto& [h, item] : items_) LetGo(*item);
  items_.clear();
}

TagMapItem* TagMapObject::CacheMap(int32_t h) {
  std::shared_ptr<TagMapItem> item = Lookup(h);
  if (!item) return nullptr;
  LastMap& last = last_map;
  last = LastMap{this, h, std::move(item)};
  return last.item.get();
}

template <typename Op>
[[gnu::always_inline]] inline bool TagMapObject::OnLiveMap(int32_t h, const Op& op) {
  const LastMap& last = last_map;
  // The cached map first; a second time from the table when it was let go.
  TagMapItem* map = last.table == this && last.handle == h ? last.item.get() : nullptr;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (map == nullptr || attempt > 0) {
      map = CacheMap(h);
      if (map == nullptr) return false;
    }
    std::lock_guard<MapLock> lock(map->mu);
    if (map->alive) {
      op(*map);
      return true;
    }
  }
  return false;
}

std::shared_ptr<TagMapItem> TagMapObject::Lookup(int32_t h) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  auto it = items_.find(h);
  return it == items_.end() ? nullptr : it->second;
}

int32_t TagMapObject::NewMap() {
  CheckScriptDataRoom();
  auto item = std::make_shared<TagMapItem>();
  std::lock_guard<std::recursive_mutex> lock(mu_);
  // Handles are never 0; the counter wraps to 1 before it overflows and
  // skips the handles still in use.
  do {
    lastHandle_ = lastHandle_ == std::numeric_limits<int32_t>::max() ? 1 : lastHandle_ + 1;
  } while (items_.count(lastHandle_) != 0);
  items_.emplace(lastHandle_, std::move(item));
  return lastHandle_;
}

int32_t TagMapObject::AddRef(int32_t h) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  auto it = items_.find(h);
  if (it == items_.end()) return kInvalidHandle;
  return ++it->second->refCount;
}

int32_t TagMapObject::Release(int32_t h) {
  std::shared_ptr<TagMapItem> dead;
  {
    std::lock_guard<std::recursive_mutex> lock(mu_);
    auto it = items_.find(h);
    if (it == items_.end()) return kInvalidHandle;
    if (--it->second->refCount > 0) return 0;
    dead = std::move(it->second);
    items_.erase(it);
  }
  // The dead map's elements give back the maps they hold, after its lock.
  std::vector<int32_t> nested;
  {
    std::lock_guard<MapLock> lock(dead->mu);
    dead->Retire(nested);
  }
  ReleaseAll(std::move(nested));
  return 0;
}

// Releases a list of handles and whatever their deletion releases in turn,
// with a work list instead of recursion (nesting may be deep).
void TagMapObject::ReleaseAll(std::vector<int32_t> handles) {
  while (!handles.empty()) {
    int32_t h = handles.back();
    handles.pop_back();
    std::shared_ptr<TagMapItem> dead;
    {
      std::lock_guard<std::recursive_mutex> lock(mu_);
      auto it = items_.find(h);
      if (it == items_.end() || --it->second->refCount > 0) continue;
      dead = std::move(it->second);
      items_.erase(it);
    }
    std::lock_guard<MapLock> lock(dead->mu);
    dead->Retire(handles);
  }
}

TagVar* TagMapObject::Find(int32_t h, const TagVar& key) {
  TagVar* e = nullptr;
  OnLiveMap(h, [&](TagMapItem& map) { e = map.Find(key); });
  return e;
}

TagVar* TagMapObject::GetOrInsert(int32_t h, const TagVar& key) {
  TagVar* e = nullptr;
  OnLiveMap(h, [&](TagMapItem& map) { e = map.GetOrInsert(key); });
  return e;
}

const TagVar* TagMapObject::Peek(int32_t h, const TagVar& key, TagVar& scratch) {
  const TagVar* e = nullptr;
  OnLiveMap(h, [&](TagMapItem& map) { e = map.Peek(key, scratch); });
  return e;
}

bool TagMapObject::CopyNumbersTo(int32_t h, const TagVar& key, TagVar& out) {
  bool copied = false;
  OnLiveMap(h, [&](TagMapItem& map) { copied = map.CopyNumbersTo(key, out); });
  return copied;
}

bool TagMapObject::Write(int32_t h, const TagVar& key, const ElementWrite& w) {
  bool live;
  try {
    live = OnLiveMap(h, [&](TagMapItem& map) { map.Write(key, w); });
  } catch (...) {
    // A write that found no memory changed nothing: only the pin goes.
    if (w.pinned != 0) Release(w.pinned);
    throw;
  }
  if (w.pinned != 0) Release(w.pinned);
  return live;
}

int32_t TagMapObject::Count(int32_t h) {
  std::shared_ptr<TagMapItem> item = Lookup(h);
  if (!item) return kInvalidHandle;
  std::lock_guard<MapLock> lock(item->mu);
  return item->Count();
}

int32_t TagMapObject::GetItem(int32_t h, int32_t i, TagVar& key, TagVar& value) {
  std::shared_ptr<TagMapItem> item = Lookup(h);
  if (!item) return kInvalidHandle;
  TagVar element;
  int32_t kind = 0, int_key = 0;
  std::string string_key;
  double float_key = 0.0;
  bool found = false;
  {
    std::lock_guard<MapLock> lock(item->mu);
    int32_t n = 0;
    item->ForEach([&](int32_t k, int32_t ik, std::string_view sk, double fk, const TagVar& v) {
      if (n++ != i) return true;
      kind = k;
      int_key = ik;
      string_key = sk;
      float_key = fk;
      element.Assign(v);  // holds a reference on a map element meanwhile
      found = true;
      return false;
    });
  }
  if (!found) return kPastLastEntry;
  if (kind == kStringKeys) {
    key.AssignString(string_key);
  } else if (kind == kFloatKeys) {
    key.AssignFloat(float_key);
  } else {
    key.AssignInt(int_key);
  }
  value.Assign(element);
  element.ReleaseMap();
  return i;
}

int32_t TagMapObject::GetKeys(int32_t h, std::vector<TagVarP>& list) {
  list.clear();
  std::shared_ptr<TagMapItem> item = Lookup(h);
  if (!item) return kInvalidHandle;
  std::lock_guard<MapLock> lock(item->mu);
  list.reserve(static_cast<size_t>(item->Count()));
  item->ForEach([&](int32_t k, int32_t ik, std::string_view sk, double fk, const TagVar&) {
    list.push_back(TagVarP{k, ik, fk, std::string(sk)});
    return true;
  });
  return static_cast<int32_t>(list.size());
}

int32_t TagMapObject::Erase(int32_t h, const TagVar& key) {
  std::shared_ptr<TagMapItem> item = Lookup(h);
  if (!item) return 0;
  int32_t released = 0;
  bool erased;
  {
    std::lock_guard<MapLock> lock(item->mu);
    erased = item->Erase(key, &released);
  }
  if (released != 0) Release(released);
  return erased ? 1 : 0;
}

bool TagMapObject::Load(int32_t h, const TagVar& key, TagVar& out) {
  TagVar element, scratch;
  bool found = false;
  OnLiveMap(h, [&](TagMapItem& map) {
    if (const TagVar* e = map.Peek(key, scratch)) {
      element.Assign(*e);  // a map element gets a reference meanwhile
      found = true;
    }
  });
  if (!found) return false;
  out.Assign(element);
  element.ReleaseMap();
  return true;
}

bool TagMapObject::Store(int32_t h, const TagVar& key, const TagVar& value) {
  return Write(h, key, ElementWrite::Value(value));
}

bool TagMapObject::Has(int32_t h, const TagVar& key) {
  TagVar scratch;
  return Peek(h, key, scratch) != nullptr;
}

int32_t TagMapObject::Copy(int32_t h) {
  Snapshot source(this, h);
  if (!source.valid()) return kInvalidHandle;
  int32_t copy = NewMap();
  for (const Entry& e : source.entries()) Store(copy, e.key, e.value);
  return copy;
}

int32_t TagMapObject::Union(int32_t a, int32_t b) {
  int32_t result = Copy(a);
  if (result == kInvalidHandle) return kInvalidHandle;
  Snapshot second(this, b);
  TagVar scratch;
  for (const Entry& e : second.entries()) {
    const TagVar* present = Peek(result, e.key, scratch);
    if (present == nullptr || present->kind == kVarNull) Store(result, e.key, e.value);
  }
  return result;
}

int32_t TagMapObject::Intersect(int32_t a, int32_t b) {
  if (!Lookup(a)) return kInvalidHandle;
  Snapshot second(this, b);
  if (!second.valid()) return kInvalidSecond;
  int32_t result = NewMap();
  for (const Entry& e : second.entries()) {
    if (Has(a, e.key)) Store(result, e.key, e.value);
  }
  return result;
}

int32_t TagMapObject::Difference(int32_t a, int32_t b) {
  Snapshot first(this, a);
  if (!first.valid()) return kInvalidHandle;
  if (!Lookup(b)) return kInvalidSecond;
  int32_t result = NewMap();
  for (const Entry& e : first.entries()) {
    if (!Has(b, e.key)) Store(result, e.key, e.value);
  }
  return result;
}

int32_t TagMapObject::Dump(int32_t h, std::string& out) {
  out.clear();
  if (!Lookup(h)) return kInvalidHandle;
  std::vector<int32_t> open;
  AppendDump(h, open, out);
  return 0;
}

// Appends the dump of map h; open holds the maps being dumped around it, so
// that a map met again inside itself is written "{...}".
void TagMapObject::AppendDump(int32_t h, std::vector<int32_t>& open, std::string& out) {
  Snapshot map(this, h);
  open.push_back(h);
  out.append("{\r\n");
  bool first = true;
  for (const Entry& e : map.entries()) {
    if (!first) out.append(",\r\n");
    first = false;
    if (e.kind == kStringKeys) {
      out.append("\"").append(e.key.text()).append("\":");
    } else if (e.kind == kFloatKeys) {
      platform::AppendFixed(e.key.floatValue, out);
      out.push_back(':');
    } else {
      platform::AppendInt(e.key.intValue, out);
      out.push_back(':');
    }
    const TagVar& v = e.value;
    bool repeated = v.kind == kVarMap &&
                    (std::find(open.begin(), open.end(), v.mapHandle) != open.end() ||
                     open.size() >= static_cast<size_t>(kMaxDumpDepth));
    if (repeated) {
      out.append("{...}");
    } else if (v.kind == kVarMap) {
      if (Lookup(v.mapHandle)) AppendDump(v.mapHandle, open, out);
    } else {
      std::string text;
      v.ToText(text, /*quote=*/true);
      out.append(text);
    }
  }
  out.append("\r\n}");
  open.pop_back();
}

size_t TagMapObject::LiveMaps() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return items_.size();
}

int32_t TagMapObject::RefCount(int32_t h) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  auto it = items_.find(h);
  return it == items_.end() ? kInvalidHandle : it->second->refCount;
}

bool TagMapObject::IsCompact(int32_t h, int32_t k) {
  bool compact = false;
  OnLiveMap(h, [&](TagMapItem& map) { compact = map.intKeys.IsCompact(k); });
  return compact;
}

void TagMapObject::SetLastHandleForTest(int32_t h) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  lastHandle_ = h;
}

}  // namespace engine
