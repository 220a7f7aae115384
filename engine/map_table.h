// Script maps: TagMapItem (one map) and TagMapObject (the process-wide
// table that owns every map under an integer handle).
//
// A map keeps its elements in four ordered collections chosen by the key's
// kind: integers (also NULL and function keys, by their intValue), strings
// (up to the first zero byte, ordered as unsigned bytes), floats and maps
// (by the key map's handle). The integer 1, the string "1" and the float
// 1.0 are three keys. A whole map iterates the integer keys, then the
// string, float and map keys; positions count in that order from 0.
//
// Maps are shared by reference: a kind-4 value holds the handle and one
// reference; the release that brings the count to 0 or below deletes the
// map and gives back the references its elements held. A map made by an
// operation holds no reference until a value takes it.
//
// Locks. The table's lock (re-entrant) guards the handles and every
// reference count; each map has a lock of its own that makes every
// operation on it atomic, so two lines sharing a map cannot corrupt it.
// Element access (Find, GetOrInsert) by a thread that used the same map
// last takes only the map's lock: each thread keeps its last map (and a
// share of its ownership), and the map's alive flag tells it when the
// table has let the map go.
// Order: a map's lock, then the table's lock; never two maps' locks at
// once (operations on two maps take a snapshot of one first); the maps
// held by a map that is deleted are released after its lock is dropped.
//
// Element references: Find and GetOrInsert return the element itself (a
// dense integer key's element takes its full form for it, map_int_keys.h).
// It stays valid while the map lives, the key is not erased and no write by
// value (Write, Store) makes the element compact again, and is meant for
// the calling line's statement at hand on a map that no other line uses at
// that moment (read it, assign to it). Peek reads and Write writes an
// element by value without changing its form: the statements' own element
// reads and assignments. A map shared between lines is read and written
// with Load and Store, which copy under the map's lock.
#ifndef VTTEL_ENGINE_MAP_TABLE_H_
#define VTTEL_ENGINE_MAP_TABLE_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/map_element.h"
#include "engine/map_int_keys.h"
#include "engine/tag_var.h"

namespace engine {

// Results of the table's operations.
inline constexpr int32_t kInvalidHandle = -1;
inline constexpr int32_t kInvalidSecond = -2;  // second map of an operation
inline constexpr int32_t kPastLastEntry = -2;

// Key collections, as GetKeys reports them.
enum MapKeyKind : int32_t {
  kStringKeys = 1,
  kIntKeys = 2,
  kFloatKeys = 3,
  kMapKeys = 4,
};

// One entry of a key list: a copy of the key, so that the list stays
// usable whatever happens to the map afterwards.
struct TagVarP {
  int32_t kind = kIntKeys;  // MapKeyKind
  int32_t intKey = 0;       // integer keys, and map keys (the handle)
  double floatKey = 0.0;
  std::string stringKey;
};

// Orders float keys totally: NaN after every number, all NaNs one key.
struct FloatKeyLess {
  bool operator()(double a, double b) const;
};

// MapLock: the lock of one map. Taken and given back inline with one
// atomic exchange each while nobody waits; a thread that finds it held
// sleeps on it (no spinning) until the holder gives it back and wakes it.
// Not re-entrant; for std::lock_guard (BasicLockable).
class MapLock {
 public:
  void lock() {
    uint32_t expected = kFree;
    if (!state_.compare_exchange_strong(expected, kHeld, std::memory_order_acquire)) {
      LockContended();
    }
  }
  void unlock() {
    if (state_.exchange(kFree, std::memory_order_release) == kHeldWaited) state_.notify_one();
  }

 private:
  static constexpr uint32_t kFree = 0;
  static constexpr uint32_t kHeld = 1;
  static constexpr uint32_t kHeldWaited = 2;  // held, and a thread may sleep on it

  void LockContended() {
    // Whoever takes it this way marks it waited, so that its unlock wakes
    // the next sleeper (at worst one needless wake).
    while (state_.exchange(kHeldWaited, std::memory_order_acquire) != kFree) {
      state_.wait(kHeldWaited, std::memory_order_relaxed);
    }
  }

  std::atomic<uint32_t> state_{kFree};
};

class TagMapItem {
 public:
  // REQUIRES for every member below: mu held.
  TagVar* Find(const TagVar& key);
  TagVar* GetOrInsert(const TagVar& key);
  // The element for reading at once (MapIntKeys::Peek); null when absent.
  const TagVar* Peek(const TagVar& key, TagVar& scratch) {
    return IntegerKey(key) ? intKeys.Peek(key.intValue, scratch) : PeekOther(key);
  }
  // MapIntKeys::CopyNumbersTo for an integer key; false for the others.
  bool CopyNumbersTo(const TagVar& key, TagVar& out) const {
    return IntegerKey(key) && intKeys.CopyNumbersTo(key.intValue, out);
  }
  // Writes the element by value, inserting the key when absent.
  void Write(const TagVar& key, const ElementWrite& w) {
    if (IntegerKey(key)) {
      intKeys.Write(key.intValue, w);
    } else {
      WriteOther(key, w);
    }
  }
  bool Erase(const TagVar& key, int32_t* released_handle);
  int32_t Count() const;
  // The table lets the map go: alive becomes false and every element is
  // destroyed; the handles of the maps they held are appended to held (the
  // caller gives those references back after dropping mu).
  void Retire(std::vector<int32_t>& held);
  // Calls f(key kind, int key, string key, float key, value) in order; f
  // returns false to stop.
  template <typename F>
  void ForEach(F f) const;

  MapLock mu;
  // False once the table has let the map go (guarded by mu): a line that
  // reached it through its last-map cache finds it gone.
  bool alive = true;
  MapIntKeys intKeys;
  std::map<std::string, TagVar, std::less<>> stringKeys;
  std::map<double, TagVar, FloatKeyLess> floatKeys;
  std::map<int32_t, TagVar> mapKeys;
  int32_t refCount = 0;  // guarded by the table's lock

 private:
  // Keys of the integer collection: integers, NULL and functions.
  static bool IntegerKey(const TagVar& key) {
    return key.kind != kVarString && key.kind != kVarFloat && key.kind != kVarMap;
  }
  // Peek and Write for the string, float and map keys.
  const TagVar* PeekOther(const TagVar& key);
  void WriteOther(const TagVar& key, const ElementWrite& w);
};

class TagMapObject {
 public:
  TagMapObject();
  ~TagMapObject();  // deletes every map without walking their elements
  TagMapObject(const TagMapObject&) = delete;
  TagMapObject& operator=(const TagMapObject&) = delete;

  int32_t NewMap();
  int32_t AddRef(int32_t h);   // the new count, or kInvalidHandle
  int32_t Release(int32_t h);  // 0, or kInvalidHandle

  TagVar* Find(int32_t h, const TagVar& key);         // null when absent
  TagVar* GetOrInsert(int32_t h, const TagVar& key);  // null for a bad handle
  // The element for reading at once: itself, or scratch (a TagVar() used
  // for nothing else) holding a compact element; null when absent.
  const TagVar* Peek(int32_t h, const TagVar& key, TagVar& scratch);
  // w on the element (inserted when absent) under the map's lock, and the
  // map it pinned given back after; false for a bad handle.
  bool Write(int32_t h, const TagVar& key, const ElementWrite& w);
  // out.Assign(element) under the map's lock where that is a plain copy of
  // numbers (MapCell::CopyNumbersTo: an integer key's compact element that
  // holds no map); false, nothing done, for every other case.
  bool CopyNumbersTo(int32_t h, const TagVar& key, TagVar& out);
  int32_t Count(int32_t h);
  int32_t GetItem(int32_t h, int32_t i, TagVar& key, TagVar& value);
  int32_t GetKeys(int32_t h, std::vector<TagVarP>& list);
  int32_t Erase(int32_t h, const TagVar& key);  // 1 removed, 0 absent or bad handle
  // Copies the element out (false, out unchanged, when absent or a bad
  // handle) or assigns it (inserting it; false for a bad handle), atomically.
  bool Load(int32_t h, const TagVar& key, TagVar& out);
  bool Store(int32_t h, const TagVar& key, const TagVar& value);
  // True when map h holds key.
  bool Has(int32_t h, const TagVar& key);

  // New maps (no reference yet) from the script's +, * and - on maps.
  int32_t Copy(int32_t h);
  int32_t Union(int32_t a, int32_t b);
  int32_t Intersect(int32_t a, int32_t b);
  int32_t Difference(int32_t a, int32_t b);

  // The text form: "{\r\n", entries joined by ",\r\n", "\r\n}".
  int32_t Dump(int32_t h, std::string& out);

  // Live maps, the reference count of one and whether its integer key k
  // holds a compact element (tests, diagnostics).
  size_t LiveMaps();
  int32_t RefCount(int32_t h);
  bool IsCompact(int32_t h, int32_t k);
  // Moves the handle counter (tests of its wrap).
  void SetLastHandleForTest(int32_t h);

 private:
  struct Entry;
  class Snapshot;

  std::shared_ptr<TagMapItem> Lookup(int32_t h);
  // op(map) on map h under its lock; false when there is no live map h.
  // The calling thread's last map answers without the table's lock.
  template <typename Op>
  bool OnLiveMap(int32_t h, const Op& op);
  // Map h from the table, made the calling thread's last map; null when
  // there is no map h.
  [[gnu::noinline]] TagMapItem* CacheMap(int32_t h);
  void ReleaseAll(std::vector<int32_t> handles);
  void AppendDump(int32_t h, std::vector<int32_t>& open, std::string& out);

  std::recursive_mutex mu_;
  std::map<int32_t, std::shared_ptr<TagMapItem>> items_;  // guarded by mu_
  int32_t lastHandle_ = 0;                                // guarded by mu_
};

// The process-wide table (built before any script runs).
inline TagMapObject& MapTable() {
  static TagMapObject table;
  return table;
}

// Nested maps deeper than this are dumped as "{...}".
inline constexpr int kMaxDumpDepth = 64;

template <typename F>
void TagMapItem::ForEach(F f) const {
  const bool whole = intKeys.ForEach(
      [&](int32_t k, const TagVar& v) { return f(kIntKeys, k, std::string_view(), 0.0, v); });
  if (!whole) return;
  for (const auto& [k, v] : stringKeys) {
    if (!f(kStringKeys, 0, std::string_view(k), 0.0, v)) return;
  }
  for (const auto& [k, v] : floatKeys) {
    if (!f(kFloatKeys, 0, std::string_view(), k, v)) return;
  }
  for (const auto& [k, v] : mapKeys) {
    if (!f(kMapKeys, k, std::string_view(), 0.0, v)) return;
  }
}

}  // namespace engine

#endif  // VTTEL_ENGINE_MAP_TABLE_H_
