#include "regex/context.h"

#include <algorithm>
#include <cstring>

namespace regex {

void IntStack::Grow() {
  if (capacity_ >= limit_) throw MatchAbort{LimitKind::kBacktrack};
  size_t next = std::min(std::max<size_t>(capacity_ * 2, 256), limit_);
  std::unique_ptr<int[]> grown(new int[next]);
  if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_ * sizeof(int));
  data_ = std::move(grown);
  capacity_ = next;
}

void CContext::PushCapture(int g) {
  if (captures.size() >= limits.max_capture_records) throw MatchAbort{LimitKind::kCaptures};
  captures.push_back(CaptureRecord{g, position, -1, 0, capture_index[g]});
  capture_index[g] = static_cast<int>(captures.size()) - 1;
}

void CContext::CutCaptures(size_t n) {
  while (captures.size() > n) {
    const CaptureRecord& r = captures.back();
    capture_index[r.group] = r.prev;
    captures.pop_back();
  }
}

void CContext::StartBudget(uintptr_t stack_base) {
  stack_base_ = stack_base;
  budget_left_ = limits.max_steps + limits.steps_per_text_byte * length;
  chunk_ = std::min<int64_t>(kStopPollSteps, budget_left_);
  steps_left_ = chunk_;
  stack.set_limit(limits.max_backtrack_entries);
  limit_hit = LimitKind::kNone;
}

void CContext::RefillSteps() {
  budget_left_ -= chunk_ - steps_left_;  // the steps of the chunk that ended
  chunk_ = 0;
  steps_left_ = 0;
  if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) {
    throw MatchAbort{LimitKind::kStopped};
  }
  if (budget_left_ <= 0) throw MatchAbort{LimitKind::kSteps};
  chunk_ = std::min<int64_t>(kStopPollSteps, budget_left_);
  steps_left_ = chunk_;
}

void CContext::StackExhausted() const { throw MatchAbort{LimitKind::kStack}; }

}  // namespace regex
