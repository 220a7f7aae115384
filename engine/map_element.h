// The writes by value that statements make into map elements
// (ElementWrite), and the 16-byte element of a map's dense integer keys
// (MapCell).
//
// A MapCell:
//
//   tag        0 absent key, 1 full form, 2 + kind compact form
//   intValue   compact: the element's intValue
//   payload    compact: kind 0, 2, 3 (NULL, integer, float) the floatValue;
//              kind 4 (map) the mapHandle; kind 5 (function) the function;
//              full: the element, a TagVar of its own on the heap
//
// Most elements hold a number, NULL, a map or a function with nothing else
// left over in them; those are compact. An element takes the full form when
// its value does not fit (a string, a text left over from one, a map or a
// function with other fields left over, a name, readOnly), and when the
// element itself is handed out as a TagVar*; a write by value that leaves
// it fitting makes it compact again. Zeroed bytes are absent keys.
//
// A compact map element holds its reference as the TagVar would. The cell
// has no destructor: its owner calls Destroy for each present cell.
// Thread rules: none; the map's lock guards its cells.
#ifndef VTTEL_ENGINE_MAP_ELEMENT_H_
#define VTTEL_ENGINE_MAP_ELEMENT_H_

#include <bit>
#include <cstdint>

#include "engine/tag_var.h"

namespace engine {

// A write of one element by value, as a statement stores its result:
// AssignInt, AssignFloat or Assign of a value; or none (Keep: the key is
// only made present). Run under the map's lock, it
// gives back no map there: a map the element held is pinned with a
// reference of its own while the write runs, and whoever took the lock
// gives that back after it (pinned).
struct ElementWrite {
  enum How : uint8_t { kInt, kFloat, kValue, kKeep };

  static ElementWrite Int(int32_t v) { return ElementWrite{kInt, v, 0.0, nullptr}; }
  static ElementWrite Float(double v) { return ElementWrite{kFloat, 0, v, nullptr}; }
  static ElementWrite Value(const TagVar& v) { return ElementWrite{kValue, 0, 0.0, &v}; }
  static ElementWrite Keep() { return ElementWrite{kKeep, 0, 0.0, nullptr}; }

  // Performs the write on e, pinning a map e held first.
  void ApplyTo(TagVar& e) const;

  How how;
  int32_t intValue;
  double floatValue;
  const TagVar* value;
  // The map ApplyTo pinned, 0 when none.
  mutable int32_t pinned = 0;
};

class MapCell {
 public:
  // True when v can be kept in the compact form.
  static bool Fits(const TagVar& v);

  bool present() const { return tag_ != kAbsent; }
  bool full() const { return tag_ == kFull; }
  // REQUIRES: full().
  TagVar* Full() const { return reinterpret_cast<TagVar*>(payload_); }
  // The map handle a map element holds, else 0. REQUIRES: present().
  int32_t HeldMap() const;

  // The element as a value: itself in the full form, else scratch holding
  // its fields (scratch: a TagVar() used for nothing else, whose text and
  // name stay as they are). REQUIRES: present().
  const TagVar& View(TagVar& scratch) const {
    if (full()) return *Full();
    Decode(scratch);
    return scratch;
  }
  // out.Assign of a compact element that holds no map, into out that is
  // writable and holds no map: the element's fields copied into out's
  // (Assign's plain copy); false, nothing done, for any other element or
  // out. REQUIRES: present().
  bool CopyNumbersTo(TagVar& out) const {
    if (tag_ < kCompact || tag_ == kCompact + kVarMap) return false;
    if (out.readOnly != 0 || out.kind == kVarMap) return false;
    Decode(out);
    return true;
  }
  // An absent cell becomes a NULL element.
  void Insert();
  // The element in the full form, for good until a write by value fits it
  // again; may throw std::bad_alloc (the cell then is as it was).
  // REQUIRES: present().
  TagVar* Promote();
  // Writes the element by value and keeps the form its new value allows.
  // REQUIRES: present().
  void Write(const ElementWrite& w) {
    if (full() || !WriteNumber(w)) WriteGeneral(w);
  }
  // Destroys the element; the cell is absent after. A map reference is not
  // given back (read HeldMap first).
  void Destroy();

 private:
  static constexpr uint32_t kAbsent = 0;
  static constexpr uint32_t kFull = 1;
  static constexpr uint32_t kCompact = 2;  // + the kind

  // Fits, as far as the kind and the numeric fields go.
  static bool NumbersFit(const TagVar& v);
  // REQUIRES: compact. True when the element still fits after w.
  bool FitsAfter(const ElementWrite& w) const;
  // REQUIRES: compact. The frequent writes, of a number over a number,
  // straight into the cell; false (nothing done) for the others.
  bool WriteNumber(const ElementWrite& w);
  // Write for the other cases.
  void WriteGeneral(const ElementWrite& w);
  // REQUIRES: Fits(v).
  void Encode(const TagVar& v);
  // REQUIRES: compact.
  void Decode(TagVar& out) const;

  uint32_t tag_;
  int32_t intValue_;
  uint64_t payload_;
};

inline bool MapCell::NumbersFit(const TagVar& v) {
  switch (v.kind) {
    case kVarNull:
    case kVarInt:
    case kVarFloat: return v.function == nullptr && v.mapHandle == 0;
    case kVarMap: return v.function == nullptr && std::bit_cast<uint64_t>(v.floatValue) == 0;
    case kVarFunction: return v.mapHandle == 0 && std::bit_cast<uint64_t>(v.floatValue) == 0;
    default: return false;
  }
}

inline void MapCell::Encode(const TagVar& v) {
  tag_ = kCompact + static_cast<uint32_t>(v.kind);
  intValue_ = v.intValue;
  switch (v.kind) {
    case kVarMap: payload_ = static_cast<uint32_t>(v.mapHandle); break;
    case kVarFunction: payload_ = reinterpret_cast<uintptr_t>(v.function); break;
    default: payload_ = std::bit_cast<uint64_t>(v.floatValue); break;
  }
}

inline void MapCell::Decode(TagVar& out) const {
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

inline bool MapCell::WriteNumber(const ElementWrite& w) {
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

}  // namespace engine

#endif  // VTTEL_ENGINE_MAP_ELEMENT_H_
