#include "engine/tag_var.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/map_table.h"
#include "engine/run_fault.h"
#include "platform/number_text.h"

namespace engine {
namespace {

char* CopyName(std::string_view name) {
  if (name.empty()) return kSharedEmptyText;
  char* p = AllocateText(name.size());
  std::memcpy(p, name.data(), name.size());
  p[name.size()] = '\0';
  return p;
}

void FreeName(char* name) {
  if (name != kSharedEmptyText) std::free(name);
}

}  // namespace

// Maps hold a value per element: keep it at six words on 64-bit targets.
static_assert(sizeof(void*) != 8 || sizeof(TagVar) == 48);

TagVar::TagVar(const TagVar& other)
    : kind(other.kind),
      readOnly(other.readOnly),
      intValue(other.intValue),
      mapHandle(other.mapHandle),
      floatValue(other.floatValue),
      function(other.function),
      name_(CopyName(other.name_)),
      text_(kSharedEmptyText) {
  if (kind == kVarString) {
    const size_t n = static_cast<size_t>(intValue > 0 ? intValue - 1 : 0);
    ReserveText(n);
    std::memcpy(text_, other.text_, n);
    text_[n] = '\0';
  }
}

size_t TagVar::TextCapacity() const { return OwnsText() ? malloc_usable_size(text_) - 1 : 0; }

char* AllocateText(size_t n) {
  CheckScriptDataRoom();
  auto* p = static_cast<char*>(std::malloc(n + 1));
  if (p == nullptr) {
    // The rest of the program goes on with the reserve while this line's
    // run ends.
    platform::ReleaseMemoryReserve();
    throw std::bad_alloc();
  }
  return p;
}

void TagVar::ReserveText(size_t n) {
  if (OwnsText() && n <= TextCapacity()) return;
  char* p = AllocateText(n);
  if (OwnsText()) std::free(text_);
  text_ = p;
}

void TagVar::AdoptText(char* text) {
  if (OwnsText()) std::free(text_);
  text_ = text;
}

void TagVar::SetName(std::string_view name) {
  FreeName(name_);
  name_ = CopyName(name);
}

std::string_view TagVar::Bytes() const {
  if (kind != kVarString || intValue <= 1) return std::string_view();
  return std::string_view(text_, static_cast<size_t>(intValue - 1));
}

void TagVar::SetLength(size_t n) {
  n = std::min(n, TextCapacity());
  text_[n] = '\0';
  intValue = static_cast<int32_t>(n + 1);
}

// --- definitions -----------------------------------------------------------

int32_t TagVar::InitInt(std::string_view name, const char*, int32_t value, uint8_t read_only) {
  SetName(name);
  readOnly = read_only;
  kind = kVarInt;
  intValue = value;
  floatValue = 0.0;
  function = nullptr;
  return value;
}

double TagVar::InitFloat(std::string_view name, const char*, double value, uint8_t read_only) {
  SetName(name);
  readOnly = read_only;
  kind = kVarFloat;
  floatValue = value;
  intValue = 0;
  function = nullptr;
  return value;
}

void TagVar::InitString(std::string_view name, const char*, std::string_view text,
                        uint8_t read_only) {
  SetName(name);
  readOnly = 0;
  SetBytes(text.data(), text.size());
  readOnly = read_only;
  floatValue = 0.0;
  function = nullptr;
}

void TagVar::InitFunction(std::string_view name, const char*, ScriptFunction* fn,
                          uint8_t read_only) {
  SetName(name);
  readOnly = read_only;
  kind = kVarFunction;
  function = fn;
  intValue = 0;
  floatValue = 0.0;
}

// --- setters ---------------------------------------------------------------

char* TagVar::SetString(const char* text) { return SetBytes(text, std::strlen(text)); }

char* TagVar::SetBytes(const char* bytes, size_t n) {
  if (readOnly || static_cast<int64_t>(n) > kMaxStringBytes) return nullptr;
  if (OwnsText() && bytes >= text_ && bytes <= text_ + TextCapacity()) {
    // Setting a value to a piece of its own text.
    std::memmove(text_, bytes, n);
  } else {
    ReserveText(n);
    if (n != 0) std::memcpy(text_, bytes, n);
  }
  text_[n] = '\0';
  ReleaseMap();
  kind = kVarString;
  intValue = static_cast<int32_t>(n + 1);
  return text_;
}

TagVar& TagVar::AssignString(std::string_view text) {
  SetBytes(text.data(), text.size());
  return *this;
}

void TagVar::TakeMapReference(int32_t handle) {
  const bool was_map = kind == kVarMap;
  if (was_map && mapHandle == handle) return;
  MapTable().AddRef(handle);
  if (was_map) MapTable().Release(mapHandle);
}

TagVar& TagVar::AssignSlow(const TagVar& source) {
  if (&source == this || readOnly) return *this;
  // The room for a string first: when it cannot be had, nothing changed.
  const size_t n = static_cast<size_t>(source.intValue > 0 ? source.intValue - 1 : 0);
  if (source.kind == kVarString) ReserveText(n);
  if (source.kind == kVarMap) {
    TakeMapReference(source.mapHandle);
  } else if (kind == kVarMap) {
    MapTable().Release(mapHandle);
  }
  kind = source.kind;
  if (kind == kVarString) {
    std::memcpy(text_, source.text_, n);
    text_[n] = '\0';
    intValue = source.intValue;
  } else {
    intValue = source.intValue;
    floatValue = source.floatValue;
    mapHandle = source.mapHandle;
    function = source.function;
  }
  return *this;
}

void TagVar::ReleaseMap() {
  if (kind != kVarMap) return;
  MapTable().Release(mapHandle);
  kind = kVarNull;
}

// --- conversions -----------------------------------------------------------

int32_t TagVar::GetInt() const {
  switch (kind) {
    case kVarFloat: {
      // Beyond 32 bits: the low 32 bits of the 64-bit truncation; NaN and
      // values beyond 64 bits read as 0.
      if (!(std::fabs(floatValue) < 9223372036854775808.0)) return 0;
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(floatValue)));
    }
    case kVarString: return platform::AtoL(text_);
    case kVarMap: return mapHandle;
    default: return intValue;
  }
}

double TagVar::GetFloat() const {
  switch (kind) {
    case kVarInt: return intValue;
    case kVarString: return platform::StrToD(text_);
    case kVarMap: return mapHandle;
    default: return floatValue;
  }
}

void TagVar::ToText(std::string& out, bool quote) const {
  out.clear();
  switch (kind) {
    case kVarString:
      if (quote) out.push_back('"');
      out.append(Bytes());
      if (quote) out.push_back('"');
      break;
    case kVarInt: platform::AppendInt(intValue, out); break;
    case kVarFloat: platform::AppendFloatText(floatValue, out); break;
    case kVarMap: MapTable().Dump(mapHandle, out); break;
    case kVarFunction:
      out.append("function ");
      if (function != nullptr) out.append(function->FunctionName());
      break;
    default: out.append("NULL"); break;
  }
}

std::string TagVar::ToText(bool quote) const {
  std::string out;
  ToText(out, quote);
  return out;
}

int32_t TagVar::Length() const {
  switch (kind) {
    case kVarString: return intValue > 0 ? intValue - 1 : 0;
    case kVarMap: return MapTable().Count(mapHandle);
    default: return kScalarLength;
  }
}

// --- comparisons -----------------------------------------------------------

int32_t TagVar::Equals(const TagVar& a, const TagVar& b) {
  if (a.kind == kVarNull && b.kind == kVarNull) return 1;
  const bool odd_kind = a.kind == kVarNull || b.kind == kVarNull || a.kind == kVarFunction ||
                        b.kind == kVarFunction;
  if (odd_kind && a.kind != b.kind) return 0;
  if (a.kind == kVarFloat || b.kind == kVarFloat) return a.GetFloat() == b.GetFloat();
  if (a.kind == kVarInt || b.kind == kVarInt) return a.GetInt() == b.GetInt();
  if (a.kind != b.kind) return 0;
  switch (a.kind) {
    case kVarMap: return a.mapHandle == b.mapHandle;
    case kVarString: return std::strcmp(a.text_, b.text_) == 0;
    default: return a.function == b.function;
  }
}

int32_t TagVar::Greater(const TagVar& a, const TagVar& b) {
  if (a.kind == kVarFloat || b.kind == kVarFloat) return a.GetFloat() > b.GetFloat();
  if (a.kind == kVarInt || b.kind == kVarInt) return a.GetInt() > b.GetInt();
  if (a.kind == kVarMap && b.kind == kVarMap) return a.Length() > b.Length();
  if (a.kind == kVarString && b.kind == kVarString) return std::strcmp(a.text_, b.text_) > 0;
  return 0;
}

int32_t TagVar::Less(const TagVar& a, const TagVar& b) {
  if (a.kind == kVarFloat || b.kind == kVarFloat) return !(a.GetFloat() >= b.GetFloat());
  if (a.kind == kVarInt || b.kind == kVarInt) return a.GetInt() < b.GetInt();
  if (a.kind == kVarMap && b.kind == kVarMap) return a.Length() < b.Length();
  if (a.kind == kVarString && b.kind == kVarString) return std::strcmp(a.text_, b.text_) < 0;
  return 0;
}

}  // namespace engine
