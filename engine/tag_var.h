// TagVar: the one value type of the script language.
//
// Every variable, constant, parameter, temporary, map element and
// out-argument is a TagVar. It carries a kind and the storage of all kinds
// side by side, and the left-over fields are part of the language: setting
// an integer keeps the old text buffer, a string's intValue is its byte
// length + 1, and several operations read intValue or floatValue whatever
// the kind. Field by field:
//
//   kind        0 NULL, 1 string, 2 integer, 3 float, 4 map, 5 function
//   name        the variable's name; "" for constants and anonymous values
//   readOnly    non-zero: every setter and Assign refuses to change the value
//   text        kind 1: the bytes (zero bytes allowed) and one more zero
//               byte; "" until a string is stored; other setters keep it
//   intValue    kind 2: the integer; kind 1: byte length + 1; else left over
//   floatValue  kind 3: the number; else left over
//   mapHandle   kind 4: the handle of a map in the map table (map_table.h)
//   function    kind 5: the script function named (not owned)
//
// A kind-4 value holds one reference on its map when it got there through
// Assign, Element or an arithmetic result; the destructor does not give it
// back: Assign, the setters (a map overwritten by an integer, a float or a
// string) and ReleaseMap do. A copy made by the copy constructor holds no
// reference: it is for reading, never set it or release it while it is a
// map. The setters and Assign take no lock unless a map is involved; the
// scalar setters never allocate, SetString at most once.
//
// Thread rules: a value belongs to one script and is used on its line's
// thread only. Maps are shared through the map table, which has its locks.
#ifndef VTTEL_ENGINE_TAG_VAR_H_
#define VTTEL_ENGINE_TAG_VAR_H_

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/script_function.h"

namespace engine {

struct TagVarP;
struct ElementWrite;

enum VarKind : int32_t {
  kVarNull = 0,
  kVarString = 1,
  kVarInt = 2,
  kVarFloat = 3,
  kVarMap = 4,
  kVarFunction = 5,
};

// Length of a value that is neither a string nor a map.
inline constexpr int32_t kScalarLength = 4;
// The longest string a value may hold (its intValue must fit 32 bits).
inline constexpr int64_t kMaxStringBytes = INT32_MAX - 1;

// The text of every value that holds no string of its own, and the name of
// every anonymous value: one shared, never written, empty text.
inline char kSharedEmptyText[1] = {'\0'};

// A malloc'ed text buffer of n bytes and a terminator; throws
// std::bad_alloc when the memory cannot be had (the run loops turn that
// into the end of the line's run, run_fault.h).
char* AllocateText(size_t n);

class TagVar {
 public:
  TagVar() : name_(kSharedEmptyText), text_(kSharedEmptyText) {}
  explicit TagVar(uint8_t read_only) : TagVar() { readOnly = read_only; }
  // Copies name, kind, readOnly and the numbers; a string gets its own copy
  // of its bytes, other kinds a fresh "" text. Takes no map reference.
  TagVar(const TagVar& other);
  TagVar& operator=(const TagVar&) = delete;
  ~TagVar() {
    if (name_ != kSharedEmptyText) std::free(name_);
    if (OwnsText()) std::free(text_);
  }

  // Definitions made by the compiler; they ignore the old readOnly. The
  // note is accepted and not kept.
  int32_t InitInt(std::string_view name, const char* note, int32_t value, uint8_t read_only);
  double InitFloat(std::string_view name, const char* note, double value, uint8_t read_only);
  void InitString(std::string_view name, const char* note, std::string_view text,
                  uint8_t read_only);
  void InitFunction(std::string_view name, const char* note, ScriptFunction* function,
                    uint8_t read_only);

  // Setters; on a read-only value they change nothing and return null / 0.
  // A map the value held is given back.
  char* SetString(const char* text);                 // up to its zero byte
  char* SetString(std::string_view text) { return SetBytes(text.data(), text.size()); }
  char* SetBytes(const char* bytes, size_t n);       // zero bytes allowed
  int32_t SetInt(int32_t v) {
    if (readOnly) return 0;
    if (kind == kVarMap) ReleaseMap();
    kind = kVarInt;
    intValue = v;
    return v;
  }
  int32_t SetHandle(int32_t v) { return SetInt(v); }
  double SetFloat(double v) {
    if (readOnly) return 0;
    if (kind == kVarMap) ReleaseMap();
    kind = kVarFloat;
    floatValue = v;
    return v;
  }
  TagVar& AssignInt(int32_t v) {
    SetInt(v);
    return *this;
  }
  TagVar& AssignString(std::string_view text);
  TagVar& AssignFloat(double v) {
    SetFloat(v);
    return *this;
  }
  // The value copy of the language (the name is not copied); map
  // references follow the handle. Numbers, NULL and functions over a value
  // that holds no map are copied inline (their fields as they are).
  TagVar& Assign(const TagVar& source) {
    if (source.kind == kVarString || source.kind == kVarMap || kind == kVarMap) {
      return AssignSlow(source);
    }
    if (&source == this || readOnly) return *this;
    kind = source.kind;
    intValue = source.intValue;
    floatValue = source.floatValue;
    mapHandle = source.mapHandle;
    function = source.function;
    return *this;
  }

  // Conversions.
  int32_t GetInt() const;
  double GetFloat() const;
  double GetDouble() const { return GetFloat(); }
  // The text form (replacing out): strings as they are (between double
  // quotes when quote is set), "%d", "%f" without trailing zeros, the map
  // dump, "function <name>", "NULL".
  void ToText(std::string& out, bool quote = false) const;
  std::string ToText(bool quote = false) const;
  // Byte length of a string, element count of a map (-1 when the handle
  // names no map), kScalarLength for the other kinds.
  int32_t Length() const;

  // Comparisons of the language; each gives 0 or 1.
  static int32_t Equals(const TagVar& a, const TagVar& b);
  static int32_t Greater(const TagVar& a, const TagVar& b);
  static int32_t Less(const TagVar& a, const TagVar& b);

  // Arithmetic of the language into *this (which must be neither a nor b;
  // its previous contents are replaced as by Assign); a read-only target
  // refuses with -1, else the result's intValue is returned. A map made for
  // the result is held by *this with one reference.
  int32_t AddAssign(const TagVar& a, const TagVar& b);
  int32_t SubtractAssign(const TagVar& a, const TagVar& b);
  int32_t MultiplyAssign(const TagVar& a, const TagVar& b);
  // The bytes of unit repeated count times (a negative count is 0) become
  // this string; unit may be *this. A result longer than kMaxStringBytes
  // leaves the value unchanged and gives -1; read-only gives -1.
  int32_t RepeatAssign(const TagVar& unit, int32_t count);

  // Map access. GetElement reads (the read-only NULL value when this is not
  // a map or the key is absent); Element writes: a non-map value becomes a
  // new empty map first, and an absent key gets a NULL element. The element
  // returned stays valid while the map lives, the key is not erased and no
  // write by value below makes it compact again (map_table.h).
  TagVar* GetElement(const TagVar& key) const;
  TagVar* Element(const TagVar& key);
  // The statements' own element access, which keeps a compact element
  // compact. PeekElement reads at once: the element, or scratch (a TagVar()
  // used for nothing else) holding its value, or the read-only NULL value as
  // GetElement gives it. The writes are Element(key)->AssignInt(v),
  // ->AssignFloat(v) and ->Assign(value), made under the map's lock.
  const TagVar* PeekElement(const TagVar& key, TagVar& scratch) const;
  // ElementValue reads as Element (this becomes a map, the key is made
  // present) without handing the element out: the element or scratch.
  const TagVar* ElementValue(const TagVar& key, TagVar& scratch);
  void AssignElementInt(const TagVar& key, int32_t v);
  void AssignElementFloat(const TagVar& key, double v);
  void AssignElement(const TagVar& key, const TagVar& value);
  // The i-th entry in iteration order into key and value; -1 when this is
  // not a map, -2 past the last entry.
  int32_t GetItem(int32_t i, TagVar& key, TagVar& value) const;
  // The keys in iteration order; the list's length, 0 when not a map.
  int32_t GetKeys(std::vector<TagVarP>& list) const;

  // Gives back the map reference a map value holds and makes it NULL (the
  // run-time resets).
  void ReleaseMap();

  // Field access.
  const char* name() const { return name_; }
  void SetName(std::string_view name);
  const char* text() const { return text_; }
  // A string's bytes (intValue - 1 of them; empty for other kinds).
  std::string_view Bytes() const;
  // Writable text of a string value and its capacity (bytes before the
  // terminator that may be written); SetLength makes n bytes the string.
  char* MutableText() { return text_; }
  void SetLength(size_t n);
  // Bytes an owned text holds before its terminator (the allocator's usable
  // size less the terminator); 0 for the shared empty text, which no one
  // may write.
  size_t TextCapacity() const;
  // False while the value holds the shared empty text (no text of its own).
  bool OwnsText() const { return text_ != kSharedEmptyText; }

  // The fields are laid out so that a value takes 48 bytes (maps hold one
  // per element).
  int32_t kind = kVarNull;
  uint8_t readOnly = 0;
  int32_t intValue = 0;
  int32_t mapHandle = 0;
  double floatValue = 0.0;
  ScriptFunction* function = nullptr;

 private:
  // Makes room for n text bytes and a terminator; keeps no old contents.
  void ReserveText(size_t n);
  // Takes a buffer from AllocateText as the text.
  void AdoptText(char* text);
  // The handle of the map that element writes go to: a non-map value
  // becomes a new empty map first (as Element does); 0 when read-only.
  int32_t MapToWrite();
  // A write by value into the element of key (map_element.h).
  void WriteElement(const TagVar& key, const ElementWrite& w);
  // Assign where a text or a map is involved.
  TagVar& AssignSlow(const TagVar& source);
  void TakeMapReference(int32_t handle);
  void SetIntResult(int32_t v);
  void SetFloatResult(double v);
  void SetMapResult(int32_t h);
  bool SetConcatResult(std::string_view left, std::string_view right);
  template <typename FloatOp, typename IntOp, typename MapOp>
  int32_t NumericOrMapAssign(const TagVar& a, const TagVar& b, FloatOp float_op, IntOp int_op,
                             MapOp map_op);

  char* name_;
  char* text_;
};

// The process-wide read-only NULL value: reads that find nothing return it.
TagVar& NullVar();

}  // namespace engine

#endif  // VTTEL_ENGINE_TAG_VAR_H_
