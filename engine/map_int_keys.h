// MapIntKeys: the integer keys of one map and their elements, in ascending
// key order.
//
// Keys from 0 up that arrive densely live in segments indexed by the key
// (no tree node per key): segment 0 holds keys 0-7, segment s > 0 the keys
// from 8 << (s - 1) below 8 << s. A segment is added when a new key falls
// into the next one, no tree key lies there and the segments are at least
// half full; its storage is raw, an element is built when its key arrives,
// so the pages of keys never used are never touched. Every other key lives
// in an ordered tree. An element never moves while its key is in the map.
//
// Ownership: owns its elements; a map element's reference is not given
// back here (Erase reports it, the map table releases it).
// Thread rules: none of its own; the map's lock guards it.
#ifndef VTTEL_ENGINE_MAP_INT_KEYS_H_
#define VTTEL_ENGINE_MAP_INT_KEYS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/tag_var.h"

namespace engine {

class MapIntKeys {
 public:
  MapIntKeys() = default;
  ~MapIntKeys() { clear(); }
  MapIntKeys(const MapIntKeys&) = delete;
  MapIntKeys& operator=(const MapIntKeys&) = delete;

  TagVar* Find(int32_t k);
  // The element of k; a new key gets a NULL element, after the script data
  // check (CheckScriptDataRoom, which may throw std::bad_alloc).
  TagVar* GetOrInsert(int32_t k);
  // False when k is absent; a map element's handle into *released.
  bool Erase(int32_t k, int32_t* released);
  size_t size() const { return denseCount_ + tree_.size(); }
  // Destroys every element and empties the keys; the handles of map
  // elements are appended to *held when it is given.
  void clear(std::vector<int32_t>* held = nullptr);

  // Calls f(key, element) in ascending key order; f returns false to stop.
  // Returns false when f stopped it.
  template <typename F>
  bool ForEach(F f) const;

 private:
  // The first segment's keys; each later one doubles the dense limit.
  static constexpr int32_t kFirstSegmentKeys = 8;
  // Segments enough for every non-negative 32-bit key.
  static constexpr size_t kMaxSegments = 29;

  struct FreeRaw {
    void operator()(TagVar* p) const { ::operator delete(static_cast<void*>(p)); }
  };
  static size_t SegmentOf(int32_t k);
  static int32_t SegmentStart(size_t s);
  static int32_t SegmentEnd(size_t s);  // the first key past segment s
  TagVar* Slot(int32_t k) const;
  bool Present(int32_t k) const { return present_[static_cast<size_t>(k)]; }
  // True when k (at or above the dense limit) falls into the next segment
  // and the rule above allows adding it.
  bool MayGrowFor(int32_t k) const;
  // Adds the next segment; on std::bad_alloc the keys are as they were.
  void AddSegment();

  std::vector<std::unique_ptr<TagVar, FreeRaw>> segments_;
  std::vector<bool> present_;  // one bit per dense key
  int32_t denseLimit_ = 0;        // the keys below it are dense
  size_t denseCount_ = 0;
  std::map<int32_t, TagVar> tree_;
};

template <typename F>
bool MapIntKeys::ForEach(F f) const {
  // Negative keys (all in the tree), then the dense keys, then the tree's
  // keys at or above the dense limit.
  auto it = tree_.begin();
  for (; it != tree_.end() && it->first < 0; ++it) {
    if (!f(it->first, it->second)) return false;
  }
  for (int32_t k = 0; k < denseLimit_; ++k) {
    if (Present(k) && !f(k, *Slot(k))) return false;
  }
  for (; it != tree_.end(); ++it) {
    if (!f(it->first, it->second)) return false;
  }
  return true;
}

}  // namespace engine

#endif  // VTTEL_ENGINE_MAP_INT_KEYS_H_
