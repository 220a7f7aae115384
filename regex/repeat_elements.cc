#include "regex/repeat_elements.h"

namespace regex {

// --- CRepeatElxT

CRepeatElxT::CRepeatElxT(const ElxInterface* element, int count)
    : element_(element), count_(count), set_(element->SingleByteSet()),
      reverse_(element->reverse()) {}

int CRepeatElxT::ScanRun(const CContext& ctx, int max) const {
  const uint8_t* t = ctx.text;
  int n = 0;
  if (reverse_) {
    int p = ctx.position;
    while (n < max && p > 0 && set_->Has(t[p - 1])) {
      --p;
      ++n;
    }
  } else {
    int room = ctx.length - ctx.position;
    if (max > room) max = room;
    const uint8_t* p = t + ctx.position;
    while (n < max && set_->Has(p[n])) ++n;
  }
  return n;
}

bool CRepeatElxT::RunForward(CContext& ctx, int i) const {
  while (i < count_) {
    if (element_->Match(ctx)) {
      ++i;
      continue;
    }
    for (;;) {
      if (i == 0) return false;
      --i;
      if (element_->MatchNext(ctx)) {
        ++i;
        break;
      }
    }
  }
  return true;
}

bool CRepeatElxT::MatchMinimum(CContext& ctx) const {
  if (count_ == 0) return true;
  if (set_ != nullptr) {
    if (ScanRun(ctx, count_) < count_) return false;
    ctx.Charge(count_ >> 3);
    Move(ctx, count_);
    return true;
  }
  return RunForward(ctx, 0);
}

bool CRepeatElxT::MatchNextMinimum(CContext& ctx) const {
  if (set_ != nullptr) {  // one way only: undo
    Move(ctx, -count_);
    return false;
  }
  int i = count_;
  for (;;) {
    if (i == 0) return false;
    --i;
    if (element_->MatchNext(ctx)) break;
  }
  return RunForward(ctx, i + 1);
}

bool CRepeatElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  return MatchMinimum(ctx);
}

bool CRepeatElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (count_ == 0) return false;
  return MatchNextMinimum(ctx);
}

FirstBytes CRepeatElxT::First() const {
  if (count_ == 0) return FirstBytes{ByteSet(), true};
  return element_->First();
}

// --- CGreedyElxT

CGreedyElxT::CGreedyElxT(const ElxInterface* element, int minimum, int extra)
    : CRepeatElxT(element, minimum), extra_(extra) {}

FirstBytes CGreedyElxT::First() const {
  FirstBytes f = element_->First();
  if (count_ == 0) f.nullable = true;
  return f;
}

int CGreedyElxT::TakeExtras(CContext& ctx, int k) const {
  while (k < extra_) {
    const int start = ctx.position;
    if (!element_->Match(ctx)) break;
    if (ctx.position == start) {
      // An empty repetition is not taken; look for a way that moves.
      bool moved = false;
      while (element_->MatchNext(ctx)) {
        if (ctx.position != start) {
          moved = true;
          break;
        }
      }
      if (!moved) break;
    }
    ctx.stack.Push(start);
    ++k;
  }
  return k;
}

bool CGreedyElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (set_ != nullptr) {
    const int max = count_ + extra_;  // never above 2147483647
    const int n = ScanRun(ctx, max);
    if (n < count_) return false;
    ctx.Charge(n >> 3);
    Move(ctx, n);
    ctx.stack.Push(n - count_);
    return true;
  }
  if (!MatchMinimum(ctx)) return false;
  ctx.stack.Push(TakeExtras(ctx, 0));
  return true;
}

bool CGreedyElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  int k = ctx.stack.Pop();
  if (set_ != nullptr) {
    if (k == 0 || gives_all_back_) {
      Move(ctx, -(count_ + k));
      return false;
    }
    Move(ctx, -1);
    ctx.stack.Push(k - 1);
    return true;
  }
  if (k > 0) {
    const int start = ctx.stack.Pop();
    while (element_->MatchNext(ctx)) {
      if (ctx.position != start) {
        // The last repetition matched another way: take further ones after it.
        ctx.stack.Push(start);
        ctx.stack.Push(TakeExtras(ctx, k));
        return true;
      }
    }
    // The last repetition is given up.
    ctx.stack.Push(k - 1);
    return true;
  }
  if (count_ == 0 || !MatchNextMinimum(ctx)) return false;
  ctx.stack.Push(TakeExtras(ctx, 0));
  return true;
}

// --- CReluctantElxT

bool CReluctantElxT::Match(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  if (!MatchMinimum(ctx)) return false;
  ctx.stack.Push(0);
  return true;
}

bool CReluctantElxT::MatchNext(CContext& ctx) const {
  ctx.Step();
  ctx.CheckStack();
  int k = ctx.stack.Pop();
  if (set_ != nullptr) {
    if (k < extra_ && ScanRun(ctx, 1) == 1) {
      Move(ctx, 1);
      ctx.stack.Push(k + 1);
      return true;
    }
    Move(ctx, -(k + count_));
    return false;
  }
  const int here = ctx.position;
  if (k < extra_ && element_->Match(ctx)) {
    bool moved = ctx.position != here;
    while (!moved && element_->MatchNext(ctx)) moved = ctx.position != here;
    if (moved) {
      ctx.stack.Push(here);
      ctx.stack.Push(k + 1);
      return true;
    }
  }
  while (k > 0) {
    const int start = ctx.stack.Pop();
    while (element_->MatchNext(ctx)) {
      if (ctx.position != start) {
        ctx.stack.Push(start);
        ctx.stack.Push(k);
        return true;
      }
    }
    --k;
  }
  if (count_ == 0 || !MatchNextMinimum(ctx)) return false;
  ctx.stack.Push(0);
  return true;
}

// --- CPossessiveElxT
//
// Backtrack records: the position before the match and the capture-stack
// size, nothing of the repetitions themselves.

bool CPossessiveElxT::Match(CContext& ctx) const {
  const int position = ctx.position;
  const size_t stack_size = ctx.stack.size();
  const size_t captures = ctx.captures.size();
  if (!CGreedyElxT::Match(ctx)) return false;
  ctx.stack.Cut(stack_size);
  ctx.stack.Push(position);
  ctx.stack.Push(static_cast<int>(captures));
  return true;
}

bool CPossessiveElxT::MatchNext(CContext& ctx) const {
  ctx.CutCaptures(static_cast<size_t>(ctx.stack.Pop()));
  ctx.position = ctx.stack.Pop();
  return false;
}

}  // namespace regex
