#include "engine/map_int_keys.h"

#include <bit>
#include <new>

#include "engine/run_fault.h"

namespace engine {

size_t MapIntKeys::SegmentOf(int32_t k) {
  return static_cast<size_t>(std::bit_width(static_cast<uint32_t>(k) / kFirstSegmentKeys));
}

int32_t MapIntKeys::SegmentStart(size_t s) {
  return s == 0 ? 0 : kFirstSegmentKeys << (s - 1);
}

TagVar* MapIntKeys::Slot(int32_t k) const {
  const size_t s = SegmentOf(k);
  return segments_[s].get() + (k - SegmentStart(s));
}

bool MapIntKeys::MayGrowFor(int32_t k) const {
  const size_t s = segments_.size();
  if (k < 0 || s >= kMaxSegments || SegmentOf(k) != s) return false;
  if (denseCount_ * 2 < static_cast<size_t>(denseLimit_)) return false;
  auto in_tree = tree_.lower_bound(denseLimit_);
  return in_tree == tree_.end() || in_tree->first >= SegmentEnd(s);
}

int32_t MapIntKeys::SegmentEnd(size_t s) {
  return s + 1 == kMaxSegments ? INT32_MAX : SegmentStart(s + 1);
}

void MapIntKeys::AddSegment() {
  const size_t s = segments_.size();
  const int32_t end = SegmentEnd(s);
  const size_t keys = static_cast<size_t>(end - denseLimit_);
  // Each step may throw std::bad_alloc and leaves the keys as they were.
  present_.resize(static_cast<size_t>(end), false);
  std::unique_ptr<TagVar, FreeRaw> segment(
      static_cast<TagVar*>(::operator new(keys * sizeof(TagVar))));
  segments_.push_back(std::move(segment));
  denseLimit_ = end;
}

TagVar* MapIntKeys::Find(int32_t k) {
  if (k >= 0 && k < denseLimit_) return Present(k) ? Slot(k) : nullptr;
  auto it = tree_.find(k);
  return it == tree_.end() ? nullptr : &it->second;
}

TagVar* MapIntKeys::GetOrInsert(int32_t k) {
  const bool dense = k >= 0 && k < denseLimit_;
  if (dense && Present(k)) return Slot(k);
  if (dense || MayGrowFor(k)) {
    CheckScriptDataRoom();
    if (!dense) AddSegment();
    TagVar* slot = Slot(k);
    new (slot) TagVar();
    present_[static_cast<size_t>(k)] = true;
    ++denseCount_;
    return slot;
  }
  // One walk: the place found is where a new key goes.
  auto it = tree_.lower_bound(k);
  if (it == tree_.end() || it->first != k) {
    CheckScriptDataRoom();
    it = tree_.emplace_hint(it, k, TagVar());
  }
  return &it->second;
}

bool MapIntKeys::Erase(int32_t k, int32_t* released) {
  TagVar* e = Find(k);
  if (e == nullptr) return false;
  if (e->kind == kVarMap) *released = e->mapHandle;
  if (k >= 0 && k < denseLimit_) {
    e->~TagVar();
    present_[static_cast<size_t>(k)] = false;
    --denseCount_;
  } else {
    tree_.erase(k);
  }
  return true;
}

void MapIntKeys::clear(std::vector<int32_t>* held) {
  // Segment by segment: no per-key segment lookup.
  for (size_t s = 0; s < segments_.size(); ++s) {
    TagVar* segment = segments_[s].get();
    for (int32_t k = SegmentStart(s); k < SegmentEnd(s) && k < denseLimit_; ++k) {
      if (!Present(k)) continue;
      TagVar& e = segment[k - SegmentStart(s)];
      if (held != nullptr && e.kind == kVarMap) held->push_back(e.mapHandle);
      e.~TagVar();
    }
  }
  if (held != nullptr) {
    for (const auto& [k, v] : tree_) {
      if (v.kind == kVarMap) held->push_back(v.mapHandle);
    }
  }
  segments_.clear();
  present_.clear();
  denseLimit_ = 0;
  denseCount_ = 0;
  tree_.clear();
}

}  // namespace engine
