// TagVar arithmetic and map access.
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/int_math.h"
#include "engine/map_table.h"
#include "engine/tag_var.h"
#include "platform/number_text.h"

namespace engine {
namespace {

bool IsNumeric(const TagVar& v) { return v.kind == kVarInt || v.kind == kVarFloat; }

}  // namespace

// Result setters of the arithmetic: the previous contents are replaced as
// by Assign (a map held before is given back).
void TagVar::SetIntResult(int32_t v) {
  ReleaseMap();
  kind = kVarInt;
  intValue = v;
}

void TagVar::SetFloatResult(double v) {
  ReleaseMap();
  kind = kVarFloat;
  floatValue = v;
}

// h is a map just made (no reference yet), or negative when the operation
// failed; the value then becomes NULL.
void TagVar::SetMapResult(int32_t h) {
  ReleaseMap();
  if (h <= 0) {
    kind = kVarNull;
    return;
  }
  MapTable().AddRef(h);
  kind = kVarMap;
  mapHandle = h;
}

// left followed by right; refused (no change) beyond the longest string.
bool TagVar::SetConcatResult(std::string_view left, std::string_view right) {
  const size_t n = left.size() + right.size();
  if (static_cast<int64_t>(n) > kMaxStringBytes) return false;
  ReleaseMap();
  ReserveText(n);
  if (!left.empty()) std::memcpy(text_, left.data(), left.size());
  if (!right.empty()) std::memcpy(text_ + left.size(), right.data(), right.size());
  text_[n] = '\0';
  kind = kVarString;
  intValue = static_cast<int32_t>(n + 1);
  return true;
}

int32_t TagVar::AddAssign(const TagVar& a, const TagVar& b) {
  if (readOnly) return -1;
  if (a.kind == kVarString) {
    if (b.kind == kVarString || b.kind == kVarNull) {
      SetConcatResult(a.Bytes(), b.Bytes());
    } else {
      char number[128];
      std::string long_number;  // a float whose text passes the local area
      std::string_view right;
      if (b.kind == kVarInt) {
        auto r = std::to_chars(number, number + sizeof number, b.intValue);
        right = std::string_view(number, static_cast<size_t>(r.ptr - number));
      } else {
        platform::AppendFloatText(b.floatValue, long_number);
        right = long_number;
      }
      SetConcatResult(a.Bytes(), right);
    }
  } else if (a.kind == kVarMap && b.kind == kVarMap) {
    SetMapResult(MapTable().Union(a.mapHandle, b.mapHandle));
  } else if (a.kind == kVarFloat || b.kind == kVarFloat) {
    SetFloatResult(a.GetFloat() + b.GetFloat());
  } else if (a.kind == kVarInt || b.kind == kVarInt) {
    SetIntResult(WrapAdd(a.GetInt(), b.GetInt()));
  } else if (a.kind == kVarNull) {
    // NULL with NULL, a string, a map or a function: NULL carrying the sums.
    ReleaseMap();
    kind = kVarNull;
    intValue = WrapAdd(a.intValue, b.intValue);
    floatValue = a.floatValue + b.floatValue;
  } else {
    SetMapResult(-1);  // a map or a function with a non-map: nothing valid
  }
  return intValue;
}

// "-" and "*": numbers give a float result when either is a float, else a
// wrapping integer one; two maps give the map operation's new map; any
// other pair copies a.
template <typename FloatOp, typename IntOp, typename MapOp>
int32_t TagVar::NumericOrMapAssign(const TagVar& a, const TagVar& b, FloatOp float_op,
                                   IntOp int_op, MapOp map_op) {
  if (readOnly) return -1;
  if (IsNumeric(a) && IsNumeric(b)) {
    if (a.kind == kVarFloat || b.kind == kVarFloat) {
      SetFloatResult(float_op(a.GetFloat(), b.GetFloat()));
    } else {
      SetIntResult(int_op(a.intValue, b.intValue));
    }
  } else if (a.kind == kVarMap && b.kind == kVarMap) {
    SetMapResult(map_op(a.mapHandle, b.mapHandle));
  } else {
    Assign(a);
  }
  return intValue;
}

int32_t TagVar::SubtractAssign(const TagVar& a, const TagVar& b) {
  return NumericOrMapAssign(
      a, b, [](double x, double y) { return x - y; }, WrapSub,
      [](int32_t x, int32_t y) { return MapTable().Difference(x, y); });
}

int32_t TagVar::MultiplyAssign(const TagVar& a, const TagVar& b) {
  return NumericOrMapAssign(
      a, b, [](double x, double y) { return x * y; }, WrapMul,
      [](int32_t x, int32_t y) { return MapTable().Intersect(x, y); });
}

int32_t TagVar::RepeatAssign(const TagVar& unit, int32_t count) {
  if (readOnly) return -1;
  const std::string_view bytes = unit.Bytes();
  const int64_t n = count < 0 ? 0 : count;
  const int64_t total = static_cast<int64_t>(bytes.size()) * n;
  if (total > kMaxStringBytes) return -1;
  // The new text is built apart first: unit may be this very value.
  char* text = AllocateText(static_cast<size_t>(total));
  for (int64_t i = 0; i < n && !bytes.empty(); ++i) {
    std::memcpy(text + i * static_cast<int64_t>(bytes.size()), bytes.data(), bytes.size());
  }
  text[total] = '\0';
  ReleaseMap();
  AdoptText(text);
  kind = kVarString;
  intValue = static_cast<int32_t>(total + 1);
  return intValue;
}

TagVar* TagVar::GetElement(const TagVar& key) const {
  if (kind != kVarMap) return &NullVar();
  TagVar* e = MapTable().Find(mapHandle, key);
  return e != nullptr ? e : &NullVar();
}

int32_t TagVar::MapToWrite() {
  if (readOnly) return 0;
  if (kind != kVarMap) {
    // Whatever the value held before is superseded by a new empty map.
    mapHandle = MapTable().NewMap();
    MapTable().AddRef(mapHandle);
    kind = kVarMap;
  }
  return mapHandle;
}

TagVar* TagVar::Element(const TagVar& key) {
  const int32_t h = MapToWrite();
  TagVar* e = h != 0 ? MapTable().GetOrInsert(h, key) : nullptr;
  return e != nullptr ? e : &NullVar();
}

const TagVar* TagVar::PeekElement(const TagVar& key, TagVar& scratch) const {
  const TagVar* e = kind == kVarMap ? MapTable().Peek(mapHandle, key, scratch) : nullptr;
  return e != nullptr ? e : &NullVar();
}

void TagVar::WriteElement(const TagVar& key, const ElementWrite& w) {
  if (const int32_t h = MapToWrite()) MapTable().Write(h, key, w);
}

const TagVar* TagVar::ElementValue(const TagVar& key, TagVar& scratch) {
  WriteElement(key, ElementWrite::Keep());
  return PeekElement(key, scratch);
}

void TagVar::AssignElementInt(const TagVar& key, int32_t v) {
  WriteElement(key, ElementWrite::Int(v));
}

void TagVar::AssignElementFloat(const TagVar& key, double v) {
  WriteElement(key, ElementWrite::Float(v));
}

void TagVar::AssignElement(const TagVar& key, const TagVar& value) {
  WriteElement(key, ElementWrite::Value(value));
}

int32_t TagVar::GetItem(int32_t i, TagVar& key, TagVar& value) const {
  if (kind != kVarMap) return -1;
  return MapTable().GetItem(mapHandle, i, key, value);
}

int32_t TagVar::GetKeys(std::vector<TagVarP>& list) const {
  if (kind != kVarMap) {
    list.clear();
    return 0;
  }
  int32_t n = MapTable().GetKeys(mapHandle, list);
  return n < 0 ? 0 : n;
}

TagVar& NullVar() {
  MapTable();  // the table is built first and so outlives the NULL value
  static TagVar null_var(1);
  return null_var;
}

}  // namespace engine
