#include "engine/map_element.h"

#include "engine/map_table.h"
#include "engine/run_fault.h"

namespace engine {

// Maps keep one cell per dense key: as small as Lua's array slots.
static_assert(sizeof(MapCell) == 16);

void ElementWrite::ApplyTo(TagVar& e) const {
  if (how == kKeep) return;
  if (e.kind == kVarMap && pinned == 0) {
    MapTable().AddRef(e.mapHandle);
    pinned = e.mapHandle;
  }
  switch (how) {
    case kInt: e.AssignInt(intValue); break;
    case kFloat: e.AssignFloat(floatValue); break;
    case kValue: e.Assign(*value); break;
    case kKeep: break;
  }
}

bool MapCell::Fits(const TagVar& v) {
  return NumbersFit(v) && v.readOnly == 0 && !v.OwnsText() && v.name()[0] == '\0';
}

bool MapCell::FitsAfter(const ElementWrite& w) const {
  if (w.how == ElementWrite::kKeep) return true;
  if (w.how == ElementWrite::kValue) {
    // Assign takes every numeric field of a value that is no string.
    return w.value->kind != kVarString && NumbersFit(*w.value);
  }
  // A number written over a map or a function leaves its handle or the
  // function behind.
  const uint32_t kind = tag_ - kCompact;
  return kind != kVarMap && kind != kVarFunction;
}

int32_t MapCell::HeldMap() const {
  if (full()) return Full()->kind == kVarMap ? Full()->mapHandle : 0;
  return tag_ == kCompact + kVarMap ? static_cast<int32_t>(payload_) : 0;
}

void MapCell::Insert() {
  tag_ = kCompact + kVarNull;
  intValue_ = 0;
  payload_ = 0;
}

TagVar* MapCell::Promote() {
  if (full()) return Full();
  CheckScriptDataRoom();
  auto* e = new TagVar();
  Decode(*e);
  tag_ = kFull;
  payload_ = reinterpret_cast<uintptr_t>(e);
  return e;
}

void MapCell::WriteGeneral(const ElementWrite& w) {
  if (!full() && !FitsAfter(w)) Promote();
  if (full()) {
    TagVar* e = Full();
    w.ApplyTo(*e);
    if (Fits(*e)) {
      Encode(*e);
      delete e;
    }
    return;
  }
  TagVar scratch;
  Decode(scratch);
  w.ApplyTo(scratch);
  Encode(scratch);
}

void MapCell::Destroy() {
  if (full()) delete Full();
  tag_ = kAbsent;
}

}  // namespace engine
