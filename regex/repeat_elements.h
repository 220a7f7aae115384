// The quantified elements: a fixed count ({n}), greedy (*, +, ?, {n,m}),
// reluctant (the same followed by "?") and possessive (followed by "+").
//
// The element is matched repeatedly in a loop, never by native recursion;
// what backtracking needs lives on the context's backtrack stack. An
// element that can match the empty text never loops: an extra repetition
// that does not move the position is not taken. An element that reads one
// byte (ElxInterface::SingleByteSet) is scanned as a run of bytes without
// calling it, and then only the count goes on the stack.
//
// Backtrack records (general form), from the bottom:
//   the records of the minimum repetitions,
//   for each extra repetition: its records, then its start position,
//   the number of extra repetitions.
// One-byte form: the number of extra repetitions only.
#ifndef VTTEL_REGEX_REPEAT_ELEMENTS_H_
#define VTTEL_REGEX_REPEAT_ELEMENTS_H_

#include "regex/element.h"

namespace regex {

// Matches its element exactly count times.
class CRepeatElxT : public ElxInterface {
 public:
  CRepeatElxT(const ElxInterface* element, int count);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override;
  const CRepeatElxT* AsRepeat() const override { return this; }
  const ElxInterface* element() const { return element_; }

 protected:
  // Matches the minimum part (count_ repetitions) from the position.
  bool MatchMinimum(CContext& ctx) const;
  // Finds the next way to match the minimum part; false when none is left
  // (the minimum part is then undone).
  bool MatchNextMinimum(CContext& ctx) const;
  // Bytes of set_ in a row from the position in the element's direction, at
  // most max.
  int ScanRun(const CContext& ctx, int max) const;
  void Move(CContext& ctx, int n) const { ctx.position += reverse_ ? -n : n; }

  const ElxInterface* element_;
  int count_;              // the minimum (for CRepeatElxT the count)
  const ByteSet* set_;     // the element's byte set for the one-byte form
  bool reverse_;

 private:
  // Runs repetitions i..count_-1 forwards, backtracking earlier ones.
  bool RunForward(CContext& ctx, int i) const;
};

// Takes as many extra repetitions as it can, then gives them back one by one.
class CGreedyElxT : public CRepeatElxT {
 public:
  // extra: maximum - minimum.
  CGreedyElxT(const ElxInterface* element, int minimum, int extra);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override;
  // The builder sets this for a one-byte repetition that nothing after it
  // can begin with one of its bytes: giving bytes back cannot help, so
  // backtracking gives them all back at once.
  void set_gives_all_back() { gives_all_back_ = set_ != nullptr; }

 protected:
  // Adds extra repetitions to the k already taken; returns the new count.
  int TakeExtras(CContext& ctx, int k) const;

  int extra_;
  bool gives_all_back_ = false;
};

// Takes no extra repetition first, then one more each time it is asked.
class CReluctantElxT : public CGreedyElxT {
 public:
  using CGreedyElxT::CGreedyElxT;
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
};

// Matches as CGreedyElxT and never gives anything back.
class CPossessiveElxT : public CGreedyElxT {
 public:
  using CGreedyElxT::CGreedyElxT;
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
};

}  // namespace regex

#endif  // VTTEL_REGEX_REPEAT_ELEMENTS_H_
