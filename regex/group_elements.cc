#include "regex/group_elements.h"

#include <algorithm>
#include <utility>

namespace regex {

// --- CListElxT

CListElxT::CListElxT(std::vector<const ElxInterface*> elements, bool reverse)
    : elements_(std::move(elements)), reverse_(reverse) {
  if (reverse_) std::reverse(elements_.begin(), elements_.end());
}

size_t CListElxT::Backtrack(CContext& ctx, size_t i) const {
  while (i > 0) {
    --i;
    if (elements_[i]->MatchNext(ctx)) return i + 1;
  }
  return 0;
}

bool CListElxT::RunForward(CContext& ctx, size_t i) const {
  const size_t n = elements_.size();
  while (i < n) {
    if (elements_[i]->Match(ctx)) {
      ++i;
      continue;
    }
    i = Backtrack(ctx, i);
    if (i == 0) return false;
  }
  return true;
}

bool CListElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  return RunForward(ctx, 0);
}

bool CListElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  size_t i = Backtrack(ctx, elements_.size());
  if (i == 0) return false;
  return RunForward(ctx, i);
}

FirstBytes CListElxT::First() const {
  if (reverse_) return FirstBytes();
  FirstBytes result{ByteSet(), true};
  for (const ElxInterface* e : elements_) {
    FirstBytes f = e->First();
    result.bytes.AddAll(f.bytes);
    if (!f.nullable) {
      result.nullable = false;
      break;
    }
  }
  return result;
}

// --- CAlternativeElxT

CAlternativeElxT::CAlternativeElxT(std::vector<const ElxInterface*> alternatives)
    : alternatives_(std::move(alternatives)) {}

bool CAlternativeElxT::MatchFrom(CContext& ctx, size_t i) const {
  for (; i < alternatives_.size(); ++i) {
    if (alternatives_[i]->Match(ctx)) {
      ctx.stack.Push(static_cast<int>(i));
      return true;
    }
  }
  return false;
}

bool CAlternativeElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (alternatives_.empty()) return true;
  return MatchFrom(ctx, 0);
}

bool CAlternativeElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (alternatives_.empty()) return false;
  const size_t i = static_cast<size_t>(ctx.stack.Pop());
  if (alternatives_[i]->MatchNext(ctx)) {
    ctx.stack.Push(static_cast<int>(i));
    return true;
  }
  return MatchFrom(ctx, i + 1);
}

FirstBytes CAlternativeElxT::First() const {
  FirstBytes result{ByteSet(), false};
  for (const ElxInterface* e : alternatives_) {
    FirstBytes f = e->First();
    result.bytes.AddAll(f.bytes);
    result.nullable = result.nullable || f.nullable;
  }
  return result;
}

// --- CIndependentElxT

bool CIndependentElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  const int position = ctx.position;
  const size_t stack_size = ctx.stack.size();
  const size_t captures = ctx.captures.size();
  if (!element_->Match(ctx)) return false;
  ctx.stack.Cut(stack_size);
  ctx.stack.Push(position);
  ctx.stack.Push(static_cast<int>(captures));
  return true;
}

bool CIndependentElxT::MatchNext(CContext& ctx) const {
  ctx.CutCaptures(static_cast<size_t>(ctx.stack.Pop()));
  ctx.position = ctx.stack.Pop();
  return false;
}

// --- CAssertElxT

bool CAssertElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  const int position = ctx.position;
  const size_t stack_size = ctx.stack.size();
  const size_t captures = ctx.captures.size();
  const bool matched = element_->Match(ctx);
  ctx.stack.Cut(stack_size);
  ctx.position = position;
  if (matched != positive_) {
    ctx.CutCaptures(captures);
    return false;
  }
  ctx.stack.Push(static_cast<int>(captures));
  return true;
}

bool CAssertElxT::MatchNext(CContext& ctx) const {
  ctx.CutCaptures(static_cast<size_t>(ctx.stack.Pop()));
  return false;
}

// --- CConditionElxT

CConditionElxT::CConditionElxT(int number, std::string text, const ElxInterface* condition,
                               const ElxInterface* yes, const ElxInterface* no)
    : number_(number), text_(std::move(text)), condition_(condition), yes_(yes), no_(no) {}

bool CConditionElxT::Holds(CContext& ctx) const {
  if (number_ >= 0) {
    return number_ < static_cast<int>(ctx.capture_index.size()) &&
           ctx.capture_index[number_] >= 0;
  }
  if (condition_ == nullptr) return true;
  const int position = ctx.position;
  const size_t stack_size = ctx.stack.size();
  if (!condition_->Match(ctx)) return false;
  ctx.stack.Cut(stack_size);
  ctx.position = position;
  return true;
}

bool CConditionElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  const size_t captures = ctx.captures.size();
  const bool holds = Holds(ctx);
  const ElxInterface* branch = holds ? yes_ : no_;
  if (branch != nullptr && !branch->Match(ctx)) {
    ctx.CutCaptures(captures);
    return false;
  }
  ctx.stack.Push(static_cast<int>(captures));
  ctx.stack.Push(holds ? 1 : 0);
  return true;
}

bool CConditionElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  const bool holds = ctx.stack.Pop() != 0;
  const int captures = ctx.stack.Pop();
  const ElxInterface* branch = holds ? yes_ : no_;
  if (branch != nullptr && branch->MatchNext(ctx)) {
    ctx.stack.Push(captures);
    ctx.stack.Push(holds ? 1 : 0);
    return true;
  }
  ctx.CutCaptures(static_cast<size_t>(captures));
  return false;
}

// --- CDelegateElxT

bool CDelegateElxT::LeftRecursion(const CContext& ctx) const {
  for (auto it = ctx.recursions.rbegin(); it != ctx.recursions.rend(); ++it) {
    if (it->target == target_ && it->position == ctx.position) return true;
  }
  return false;
}

bool CDelegateElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (target_ == nullptr) return true;
  if (LeftRecursion(ctx)) return false;
  const int position = ctx.position;
  ctx.recursions.push_back({target_, position});
  const bool matched = target_->Match(ctx);
  ctx.recursions.pop_back();
  if (!matched) return false;
  ctx.stack.Push(position);
  return true;
}

bool CDelegateElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (target_ == nullptr) return false;
  const int position = ctx.stack.Pop();
  ctx.recursions.push_back({target_, position});
  const bool matched = target_->MatchNext(ctx);
  ctx.recursions.pop_back();
  if (!matched) return false;
  ctx.stack.Push(position);
  return true;
}

}  // namespace regex
