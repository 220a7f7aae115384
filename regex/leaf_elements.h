// The elements that call no other element: the empty element, literal runs,
// byte classes (ranges, POSIX classes, the predefined \w \d \s and "."),
// boundaries, the continue anchor, back references and the two ends of a
// capture group.
//
// All are immutable after the builder has finished them (the builder sets
// the numbers of named back references and brackets once parsing is done).
// Positions move forwards, or backwards for an element built right to left
// (inside look-behind): such an element reads the byte before the position.
#ifndef VTTEL_REGEX_LEAF_ELEMENTS_H_
#define VTTEL_REGEX_LEAF_ELEMENTS_H_

#include <string>
#include <string_view>

#include "regex/element.h"

namespace regex {

// Matches the empty text.
class CEmptyElxT : public ElxInterface {
 public:
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return FirstBytes{ByteSet(), true}; }
};

// A run of literal bytes (own copy). With ignore_case ASCII letters compare
// without case; every other byte must be equal.
class CStringElxT : public ElxInterface {
 public:
  CStringElxT(std::string bytes, bool reverse, bool ignore_case);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  const CStringElxT* AsString() const override { return this; }
  const ByteSet* SingleByteSet() const override;
  bool reverse() const override { return reverse_; }
  FirstBytes First() const override;
  const std::string& bytes() const { return bytes_; }
  bool ignore_case() const { return ignore_case_; }

 private:
  std::string bytes_;
  bool reverse_;
  bool ignore_case_;
  ByteSet first_;  // the first byte (both cases with ignore_case)
};

// A class of single bytes: [...] (ranges compared as unsigned bytes, single
// members, nested classes), the predefined classes and "."; also the base of
// the POSIX class. The accepted set is computed once, when built.
class CRangeElxT : public ElxInterface {
 public:
  // positive false: the class is negated ([^...]).
  CRangeElxT(ByteSet members, bool reverse, bool positive);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  const ByteSet* SingleByteSet() const override { return &set_; }
  bool reverse() const override { return reverse_; }
  FirstBytes First() const override;
  // Whether byte b belongs to the class (negation applied).
  bool Accepts(uint8_t b) const { return set_.Has(b); }

 private:
  ByteSet set_;  // negation already applied
  bool reverse_;
};

// [:name:] and [:^name:] of a known name (IsPosixClassName); bytes 0x80-0xFF
// belong to no class. The builder makes an unknown name an element that
// never matches, negated or not.
class CPosixElxT : public CRangeElxT {
 public:
  CPosixElxT(std::string_view name, bool reverse, bool positive);
  // The members of a known POSIX class (empty for an unknown name).
  static ByteSet Members(std::string_view name);
};

// The boundary kinds.
enum class BoundaryKind : int {
  kTextStart = 0,     // position 0
  kTextEnd = 1,       // the end of the text
  kTextEndOrLf = 2,   // the end, or before a final LF or CR LF
  kLineStart = 3,     // text start, after LF, after CR not followed by LF
  kLineEnd = 4,       // text end, before CR, before LF not after CR
  kWordBoundary = 7,  // exactly one side is a word byte
};

class CBoundaryElxT : public ElxInterface {
 public:
  CBoundaryElxT(BoundaryKind kind, bool positive) : kind_(kind), positive_(positive) {}
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return FirstBytes{ByteSet(), true}; }
  const CBoundaryElxT* AsBoundary() const override { return this; }
  BoundaryKind kind() const { return kind_; }
  bool positive() const { return positive_; }

 private:
  BoundaryKind kind_;
  bool positive_;
};

// "\G" with the continue flag: holds where the search began.
class CGlobalElxT : public ElxInterface {
 public:
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return FirstBytes{ByteSet(), true}; }
};

// \1, \k<name>: the text the group captured (while the group is still open,
// what it holds so far).
class CBackrefElxT : public ElxInterface {
 public:
  CBackrefElxT(int number, bool reverse, bool ignore_case, std::string name);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  bool reverse() const override { return reverse_; }
  const std::string& name() const { return name_; }
  int number() const { return number_; }
  // Set by the builder when it resolves a named reference (-3: no group).
  void set_number(int number) { number_ = number; }

 private:
  int number_;  // -1 while only named
  bool reverse_;
  bool ignore_case_;
  std::string name_;
};

// One end of a capture group. The opening end starts a capture record (or,
// when a recursion enters the open group again, counts the depth); the
// closing end sets the record's end (or leaves one level of recursion).
class CBracketElxT : public ElxInterface {
 public:
  CBracketElxT(int number, bool closing) : number_(number), closing_(closing) {}
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return FirstBytes{ByteSet(), true}; }
  int number() const { return number_; }
  bool closing() const { return closing_; }
  void set_number(int number) { number_ = number; }

 private:
  int number_;  // -1 while only named
  bool closing_;
};

// Compares n bytes of text and literal, ASCII letters without case when
// ignore_case.
bool EqualBytes(const uint8_t* text, const uint8_t* literal, int n, bool ignore_case);

}  // namespace regex

#endif  // VTTEL_REGEX_LEAF_ELEMENTS_H_
