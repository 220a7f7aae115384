#include "engine/map_int_keys.h"

#include <new>

#include "engine/run_fault.h"
#include "platform/memory_reserve.h"

namespace engine {

bool MapIntKeys::MayGrowFor(int32_t k) const {
  const size_t s = segments_.size();
  if (k < 0 || s >= kMaxSegments || SegmentOf(k) != s) return false;
  if (denseCount_ * 2 < static_cast<size_t>(denseLimit_)) return false;
  auto in_tree = tree_.lower_bound(denseLimit_);
  return in_tree == tree_.end() || in_tree->first >= SegmentEnd(s);
}

void MapIntKeys::AddSegment() {
  const size_t s = segments_.size();
  const int32_t end = SegmentEnd(s);
  const size_t keys = static_cast<size_t>(end - denseLimit_);
  segments_.reserve(s + 1);
  // Zeroed cells are absent keys; the allocator maps a large segment
  // fresh, so its pages are touched only as keys arrive.
  auto* cells = static_cast<MapCell*>(std::calloc(keys, sizeof(MapCell)));
  if (cells == nullptr) {
    platform::ReleaseMemoryReserve();
    throw std::bad_alloc();
  }
  segments_.emplace_back(cells);
  denseLimit_ = end;
}

MapCell* MapIntKeys::InsertCell(int32_t k) {
  if (!Dense(k)) {
    if (!MayGrowFor(k)) return nullptr;
    CheckScriptDataRoom();
    AddSegment();
    if (!Dense(k)) return nullptr;
  }
  MapCell& cell = Cell(k);
  if (!cell.present()) {
    CheckScriptDataRoom();
    cell.Insert();
    ++denseCount_;
  }
  return &cell;
}

TagVar& MapIntKeys::TreeElement(int32_t k) {
  // One walk: the place found is where a new key goes.
  auto it = tree_.lower_bound(k);
  if (it == tree_.end() || it->first != k) {
    CheckScriptDataRoom();
    it = tree_.emplace_hint(it, k, TagVar());
  }
  return it->second;
}

TagVar* MapIntKeys::Find(int32_t k) {
  if (Dense(k)) {
    MapCell& cell = Cell(k);
    return cell.present() ? cell.Promote() : nullptr;
  }
  auto it = tree_.find(k);
  return it == tree_.end() ? nullptr : &it->second;
}

TagVar* MapIntKeys::GetOrInsert(int32_t k) {
  MapCell* cell = CellToWrite(k);
  return cell != nullptr ? cell->Promote() : &TreeElement(k);
}

const TagVar* MapIntKeys::PeekTree(int32_t k) const {
  auto it = tree_.find(k);
  return it == tree_.end() ? nullptr : &it->second;
}

bool MapIntKeys::Erase(int32_t k, int32_t* released) {
  if (Dense(k)) {
    MapCell& cell = Cell(k);
    if (!cell.present()) return false;
    if (int32_t h = cell.HeldMap()) *released = h;
    cell.Destroy();
    --denseCount_;
    return true;
  }
  auto it = tree_.find(k);
  if (it == tree_.end()) return false;
  if (it->second.kind == kVarMap) *released = it->second.mapHandle;
  tree_.erase(it);
  return true;
}

bool MapIntKeys::IsCompact(int32_t k) const {
  return Dense(k) && Cell(k).present() && !Cell(k).full();
}

void MapIntKeys::clear(std::vector<int32_t>* held) {
  // Segment by segment (no per-key segment lookup), up to the last dense
  // key (the pages past it were never touched).
  size_t left = denseCount_;
  for (size_t s = 0; s < segments_.size() && left != 0; ++s) {
    MapCell* segment = segments_[s].get();
    const int32_t cells = SegmentEnd(s) - SegmentStart(s);
    for (int32_t i = 0; i < cells && left != 0; ++i) {
      MapCell& cell = segment[i];
      if (!cell.present()) continue;
      --left;
      if (held != nullptr) {
        if (int32_t h = cell.HeldMap()) held->push_back(h);
      }
      cell.Destroy();
    }
  }
  if (held != nullptr) {
    for (const auto& [k, v] : tree_) {
      if (v.kind == kVarMap) held->push_back(v.mapHandle);
    }
  }
  segments_.clear();
  denseLimit_ = 0;
  denseCount_ = 0;
  tree_.clear();
}

}  // namespace engine
