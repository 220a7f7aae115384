// ElxInterface, the abstract node of a compiled pattern, and ByteSet, the
// set of bytes a one-byte element accepts.
//
// Every node obeys one stack discipline: Match returns true and leaves on
// the context's backtrack stack whatever its MatchNext will need, or returns
// false and leaves the stacks and the position as it found them. MatchNext
// either finds another way to match (true, its records pushed anew) or pops
// its records, puts the position back where it was before Match, and returns
// false. Nodes never own each other: the builder owns all of them, so a node
// may be shared by several parents. A compiled tree is only read while
// matching, so several threads may match one pattern, each with its own
// context.
#ifndef VTTEL_REGEX_ELEMENT_H_
#define VTTEL_REGEX_ELEMENT_H_

#include <cstdint>

#include "regex/context.h"

namespace regex {

class CAlternativeElxT;
class CBoundaryElxT;
class CIndependentElxT;
class CListElxT;
class CRepeatElxT;
class CStringElxT;

// 256 bits, one per byte value (unsigned).
class ByteSet {
 public:
  bool Has(uint8_t b) const { return (bits_[b >> 6] >> (b & 63)) & 1; }
  void Add(uint8_t b) { bits_[b >> 6] |= uint64_t{1} << (b & 63); }
  void AddRange(uint8_t low, uint8_t high) {
    for (int b = low; b <= high; ++b) Add(static_cast<uint8_t>(b));
  }
  void AddAll(const ByteSet& o) {
    for (int i = 0; i < 4; ++i) bits_[i] |= o.bits_[i];
  }
  void Invert() {
    for (uint64_t& w : bits_) w = ~w;
  }
  bool Intersects(const ByteSet& o) const {
    return ((bits_[0] & o.bits_[0]) | (bits_[1] & o.bits_[1]) | (bits_[2] & o.bits_[2]) |
            (bits_[3] & o.bits_[3])) != 0;
  }
  // The smallest byte of the set, -1 when it is empty.
  int Lowest() const {
    for (int i = 0; i < 4; ++i) {
      if (bits_[i] != 0) return i * 64 + __builtin_ctzll(bits_[i]);
    }
    return -1;
  }
  int Count() const {
    int n = 0;
    for (uint64_t w : bits_) n += __builtin_popcountll(w);
    return n;
  }
  static ByteSet All() {
    ByteSet s;
    s.Invert();
    return s;
  }

 private:
  uint64_t bits_[4] = {0, 0, 0, 0};
};

// What a match of an element can begin with (left to right): the bytes its
// first consumed byte may take, and whether it may match the empty text.
struct FirstBytes {
  ByteSet bytes = ByteSet::All();
  bool nullable = true;
};

class ElxInterface {
 public:
  ElxInterface() = default;
  virtual ~ElxInterface() = default;
  ElxInterface(const ElxInterface&) = delete;
  ElxInterface& operator=(const ElxInterface&) = delete;

  virtual bool Match(CContext& ctx) const = 0;
  virtual bool MatchNext(CContext& ctx) const = 0;

  // A one-byte element that pushes nothing and cannot match another way
  // (classes, a one-byte literal) gives its byte set; others give null.
  // Repetitions use it to scan runs of bytes without calling Match.
  virtual const ByteSet* SingleByteSet() const { return nullptr; }
  // True when the element reads backwards (built for look-behind).
  virtual bool reverse() const { return false; }
  // What a left-to-right match can begin with; the default knows nothing.
  virtual FirstBytes First() const { return FirstBytes(); }

  // The node as one of the classes the compiler looks into (its search aids
  // and its marks), or null: cheaper than dynamic_cast, which compares type
  // names on every miss.
  virtual const CListElxT* AsList() const { return nullptr; }
  virtual const CAlternativeElxT* AsAlternative() const { return nullptr; }
  virtual const CRepeatElxT* AsRepeat() const { return nullptr; }
  virtual const CIndependentElxT* AsIndependent() const { return nullptr; }
  virtual const CBoundaryElxT* AsBoundary() const { return nullptr; }
  virtual const CStringElxT* AsString() const { return nullptr; }
};

}  // namespace regex

#endif  // VTTEL_REGEX_ELEMENT_H_
