// MapIntKeys: the integer keys of one map and their elements, in ascending
// key order.
//
// Keys from 0 up that arrive densely live in segments of 16-byte cells
// indexed by the key (map_element.h: compact elements, no tree node per
// key): segment 0 holds keys 0-7, segment s > 0 the keys from 8 << (s - 1)
// below 8 << s. A segment is added when a new key falls into the next one,
// no tree key lies there and the segments are at least half full; its
// storage comes zeroed from the allocator (absent keys), so the pages of
// keys never used are never touched. Every other key lives in an ordered
// tree of full elements.
//
// Element pointers: Find and GetOrInsert hand out the element itself, a
// dense one in its full form from then on. It stays where it is until its
// key is erased or a write by value (Write) leaves it compact again. Peek
// and ForEach read without changing the form.
//
// Ownership: owns its elements; a map element's reference is not given
// back here (Erase reports it, the map table releases it).
// Thread rules: none of its own; the map's lock guards it.
#ifndef VTTEL_ENGINE_MAP_INT_KEYS_H_
#define VTTEL_ENGINE_MAP_INT_KEYS_H_

#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "engine/map_element.h"
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
  // The element of k for reading at once (itself, or scratch holding a
  // compact one: see MapCell::View); null when k is absent.
  const TagVar* Peek(int32_t k, TagVar& scratch) const;
  // MapCell::CopyNumbersTo for a dense key's element; false when k is not
  // a dense key present or the copy is no plain one.
  bool CopyNumbersTo(int32_t k, TagVar& out) const {
    return Dense(k) && Cell(k).present() && Cell(k).CopyNumbersTo(out);
  }
  // Writes the element of k by value, inserting k as GetOrInsert does.
  void Write(int32_t k, const ElementWrite& w);
  // False when k is absent; a map element's handle into *released.
  bool Erase(int32_t k, int32_t* released);
  size_t size() const { return denseCount_ + tree_.size(); }
  // Destroys every element and empties the keys; the handles of map
  // elements are appended to *held when it is given.
  void clear(std::vector<int32_t>* held = nullptr);
  // True when k is a dense key whose element is compact (tests).
  bool IsCompact(int32_t k) const;

  // Calls f(key, element) in ascending key order; f returns false to stop.
  // Returns false when f stopped it.
  template <typename F>
  bool ForEach(F f) const;

 private:
  // The first segment's keys; each later one doubles the dense limit.
  static constexpr int32_t kFirstSegmentKeys = 8;
  // Segments enough for every non-negative 32-bit key.
  static constexpr size_t kMaxSegments = 29;

  struct FreeCells {
    void operator()(MapCell* p) const { std::free(p); }
  };
  static size_t SegmentOf(int32_t k) {
    return static_cast<size_t>(std::bit_width(static_cast<uint32_t>(k) / kFirstSegmentKeys));
  }
  static int32_t SegmentStart(size_t s) { return s == 0 ? 0 : kFirstSegmentKeys << (s - 1); }
  // The first key past segment s.
  static int32_t SegmentEnd(size_t s) {
    return s + 1 == kMaxSegments ? INT32_MAX : SegmentStart(s + 1);
  }
  bool Dense(int32_t k) const { return k >= 0 && k < denseLimit_; }
  // REQUIRES: Dense(k).
  MapCell& Cell(int32_t k) const {
    const size_t s = SegmentOf(k);
    return segments_[s].get()[k - SegmentStart(s)];
  }
  // The cell of k, k inserted when absent; null when k belongs to the tree.
  MapCell* CellToWrite(int32_t k) {
    if (Dense(k) && Cell(k).present()) return &Cell(k);
    return InsertCell(k);
  }
  MapCell* InsertCell(int32_t k);
  const TagVar* PeekTree(int32_t k) const;
  // The tree's element of k, k inserted when absent.
  TagVar& TreeElement(int32_t k);
  // True when k (at or above the dense limit) falls into the next segment
  // and the rule above allows adding it.
  bool MayGrowFor(int32_t k) const;
  // Adds the next segment; on std::bad_alloc the keys are as they were.
  void AddSegment();

  std::vector<std::unique_ptr<MapCell, FreeCells>> segments_;
  int32_t denseLimit_ = 0;  // the keys below it are dense
  size_t denseCount_ = 0;
  std::map<int32_t, TagVar> tree_;
};

inline const TagVar* MapIntKeys::Peek(int32_t k, TagVar& scratch) const {
  if (!Dense(k)) return PeekTree(k);
  const MapCell& cell = Cell(k);
  return cell.present() ? &cell.View(scratch) : nullptr;
}

inline void MapIntKeys::Write(int32_t k, const ElementWrite& w) {
  if (MapCell* cell = CellToWrite(k)) {
    cell->Write(w);
  } else {
    w.ApplyTo(TreeElement(k));
  }
}

template <typename F>
bool MapIntKeys::ForEach(F f) const {
  // Negative keys (all in the tree), then the dense keys segment by
  // segment, then the tree's keys at or above the dense limit.
  auto it = tree_.begin();
  for (; it != tree_.end() && it->first < 0; ++it) {
    if (!f(it->first, it->second)) return false;
  }
  TagVar scratch;
  size_t left = denseCount_;  // the walk ends at the last dense key
  for (size_t s = 0; s < segments_.size() && left != 0; ++s) {
    const MapCell* segment = segments_[s].get();
    const int32_t start = SegmentStart(s);
    for (int32_t k = start; k < SegmentEnd(s) && left != 0; ++k) {
      const MapCell& cell = segment[k - start];
      if (!cell.present()) continue;
      --left;
      if (!f(k, cell.View(scratch))) return false;
    }
  }
  for (; it != tree_.end(); ++it) {
    if (!f(it->first, it->second)) return false;
  }
  return true;
}

}  // namespace engine

#endif  // VTTEL_ENGINE_MAP_INT_KEYS_H_
