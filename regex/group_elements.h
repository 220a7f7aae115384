// The elements that combine others: sequences (and every group), the
// alternation, atomic groups, look-ahead and look-behind assertions,
// conditions and recursions.
//
// The builder owns every element; these only point at their parts. Cutting
// the capture stack (assertions, atomic groups, conditions) also restores
// the capture index, so a group captured inside a failed assertion counts
// as not captured afterwards.
#ifndef VTTEL_REGEX_GROUP_ELEMENTS_H_
#define VTTEL_REGEX_GROUP_ELEMENTS_H_

#include <string>
#include <vector>

#include "regex/element.h"

namespace regex {

// A sequence: elements matched one after the other (last to first when
// built right to left); backtracking goes into the elements before the one
// that failed, last first.
class CListElxT : public ElxInterface {
 public:
  // elements in pattern order.
  CListElxT(std::vector<const ElxInterface*> elements, bool reverse);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  bool reverse() const override { return reverse_; }
  FirstBytes First() const override;
  const CListElxT* AsList() const override { return this; }
  // Elements in matching order.
  const std::vector<const ElxInterface*>& elements() const { return elements_; }

 private:
  // Runs elements i.. forwards, backtracking earlier ones on a failure.
  bool RunForward(CContext& ctx, size_t i) const;
  // MatchNext on the elements before i, last first, until one succeeds;
  // returns the index after it, or 0 when none did.
  size_t Backtrack(CContext& ctx, size_t i) const;

  std::vector<const ElxInterface*> elements_;  // matching order
  bool reverse_;
};

// a|b|c: the alternatives in order. Backtrack record: the index taken.
class CAlternativeElxT : public ElxInterface {
 public:
  explicit CAlternativeElxT(std::vector<const ElxInterface*> alternatives);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override;
  const CAlternativeElxT* AsAlternative() const override { return this; }
  const std::vector<const ElxInterface*>& alternatives() const { return alternatives_; }

 private:
  bool MatchFrom(CContext& ctx, size_t i) const;

  std::vector<const ElxInterface*> alternatives_;
};

// (?>x): x matches once; what it left to backtrack into is dropped.
// Backtrack records: the position before and the capture-stack size.
class CIndependentElxT : public ElxInterface {
 public:
  explicit CIndependentElxT(const ElxInterface* element) : element_(element) {}
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return element_->First(); }
  const CIndependentElxT* AsIndependent() const override { return this; }
  const ElxInterface* element() const { return element_; }

 private:
  const ElxInterface* element_;
};

// (?=x), (?!x), (?<=x), (?<!x): tests x at the position without moving.
// A positive assertion keeps the captures x made. Backtrack record: the
// capture-stack size before.
class CAssertElxT : public ElxInterface {
 public:
  CAssertElxT(const ElxInterface* element, bool positive)
      : element_(element), positive_(positive) {}
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  FirstBytes First() const override { return FirstBytes{ByteSet(), true}; }

 private:
  const ElxInterface* element_;
  bool positive_;
};

// (?(cond)yes|no). The condition is a group number (holds when the group has
// a capture record) or an assertion element. Backtrack records: the
// capture-stack size and which branch was taken.
class CConditionElxT : public ElxInterface {
 public:
  // number: the group tested, or -1 for an assertion condition. Missing
  // branches match the empty text.
  CConditionElxT(int number, std::string text, const ElxInterface* condition,
                 const ElxInterface* yes, const ElxInterface* no);
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  const std::string& text() const { return text_; }
  // The builder turns a text condition naming a group into a group test.
  void set_group(int number) {
    number_ = number;
    condition_ = nullptr;
  }

 private:
  bool Holds(CContext& ctx) const;

  int number_;
  std::string text_;
  const ElxInterface* condition_;
  const ElxInterface* yes_;
  const ElxInterface* no_;
};

// (?R), (?n), (?R<name>): matches the whole target group again (brackets
// included). Without a target it matches the empty text. Entering the same
// target again at the same position without having moved (left recursion)
// fails. Backtrack record: the position it was entered at.
class CDelegateElxT : public ElxInterface {
 public:
  CDelegateElxT(int number, std::string name) : number_(number), name_(std::move(name)) {}
  bool Match(CContext& ctx) const override;
  bool MatchNext(CContext& ctx) const override;
  int number() const { return number_; }
  const std::string& name() const { return name_; }
  void Resolve(const ElxInterface* target, int number) {
    target_ = target;
    number_ = number;
  }

 private:
  bool LeftRecursion(const CContext& ctx) const;

  const ElxInterface* target_ = nullptr;
  int number_;  // -3 while only named
  std::string name_;
};

}  // namespace regex

#endif  // VTTEL_REGEX_GROUP_ELEMENTS_H_
