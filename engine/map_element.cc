#include "engine/map_element.h"

#include <bit>

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

bool MapCell::NumbersFit(const TagVar& v) {
  switch (v.kind) {
    case kVarNull:
    case kVarInt:
    case kVarFloat: return v.function == nullptr && v.mapHandle == 0;
    case kVarMap: return v.function == nullptr && std::bit_cast<uint64_t>(v.floatValue) == 0;
    case kVarFunction: return v.mapHandle == 0 && std::bit_cast<uint64_t>(v.floatValue) == 0;
    default: return false;
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

void MapCell::Encode(const TagVar& v) {
  tag_ = kCompact + static_cast<uint32_t>(v.kind);
  intValue_ = v.intValue;
  switch (v.kind) {
    case kVarMap: payload_ = static_cast<uint32_t>(v.mapHandle); break;
    case kVarFunction: payload_ = reinterpret_cast<uintptr_t>(v.function); break;
    default: payload_ = std::bit_cast<uint64_t>(v.floatValue); break;
  }
}

void MapCell::Decode(TagVar& out) const {
  out.kind = static_cast<int32_t>(tag_ - kCompact);
  out.intValue = intValue_;
  out.floatValue = 0.0;
  out.mapHandle = 0;
  out.function = nullptr;
  switch (out.kind) {
    case kVarMap: out.mapHandle = static_cast<int32_t>(payload_); break;
    case kVarFunction: out.function = reinterpret_cast<ScriptFunction*>(payload_); break;
    default: out.floatValue = std::bit_cast<double>(payload_); break;
  }
}

int32_t MapCell::HeldMap() const {
  if (full()) return Full()->kind == kVarMap ? Full()->mapHandle : 0;
  return tag_ == kCompact + kVarMap ? static_cast<int32_t>(payload_) : 0;
}

const TagVar& MapCell::View(TagVar& scratch) const {
  if (full()) return *Full();
  Decode(scratch);
  return scratch;
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

bool MapCell::WriteNumber(const ElementWrite& w) {
  const uint32_t kind = tag_ - kCompact;
  if (kind != kVarNull && kind != kVarInt && kind != kVarFloat) return false;
  // Over NULL or a number (no map to give back, no function or handle left
  // over), as AssignInt, AssignFloat and Assign of a plain number would.
  switch (w.how) {
    case ElementWrite::kInt:
      tag_ = kCompact + kVarInt;
      intValue_ = w.intValue;
      return true;
    case ElementWrite::kFloat:
      tag_ = kCompact + kVarFloat;
      payload_ = std::bit_cast<uint64_t>(w.floatValue);
      return true;
    case ElementWrite::kValue:
      if (w.value->kind == kVarMap || !NumbersFit(*w.value)) return false;
      Encode(*w.value);
      return true;
    default:
      return false;
  }
}

void MapCell::Write(const ElementWrite& w) {
  if (!full() && WriteNumber(w)) return;
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
