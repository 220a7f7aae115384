// CContext: the state of one search over a text, and the budget it runs
// under.
//
// The compiled pattern is only read while matching; everything that changes
// lives here: the backtrack stack of ints that elements push in Match and pop
// in MatchNext, the capture records, the capture index, the positions, and
// the counters of the limits (steps, memory, native stack, the line's stop
// request). When a limit is reached the element that noticed throws
// MatchAbort; the search loop catches it, fails the search and reports the
// limit. Elements never catch it.
//
// A context serves one search, or a series of searches over the same text
// (replacing iterates matches this way). Thread rules: a context is used by
// one thread at a time; the stop flag may be raised from any thread.
#ifndef VTTEL_REGEX_CONTEXT_H_
#define VTTEL_REGEX_CONTEXT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "regex/limits.h"

namespace regex {

class ElxInterface;

// Thrown by the elements when a search must stop; caught by the search loop.
struct MatchAbort {
  LimitKind kind;
};

// The budget of one search; the defaults are the engine's limits.
struct MatchLimits {
  int64_t max_steps = kMaxSteps;               // plus steps_per_text_byte per byte
  int64_t steps_per_text_byte = kStepsPerTextByte;
  size_t max_backtrack_entries = kMaxBacktrackEntries;
  size_t max_capture_records = kMaxCaptureRecords;
  size_t max_stack_bytes = kMaxMatchStackBytes;
};

// A growable stack of ints that throws MatchAbort beyond its limit.
class IntStack {
 public:
  void Push(int v) {
    if (size_ == capacity_) Grow();
    data_[size_++] = v;
  }
  int Pop() { return data_[--size_]; }
  size_t size() const { return size_; }
  // Drops every entry above n.
  void Cut(size_t n) { size_ = n; }
  void Clear() { size_ = 0; }
  void set_limit(size_t limit) { limit_ = limit; }

 private:
  void Grow();

  std::unique_ptr<int[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t limit_ = kMaxBacktrackEntries;
};

// One capture of a group. end is -1 while the group is open; depth counts
// how often a recursion entered the group again while it was open; prev is
// the group's capture-index entry before this record was pushed.
struct CaptureRecord {
  int group;
  int start;
  int end;
  int depth;
  int prev;
};

struct CContext {
  CContext() = default;
  CContext(const CContext&) = delete;
  CContext& operator=(const CContext&) = delete;

  // --- Set by the caller before a search (kept across searches).
  // The line's stop request (a byte, non-zero: stop), polled every
  // kStopPollSteps steps; may be null.
  const std::atomic<uint8_t>* stop = nullptr;
  MatchLimits limits;

  // --- Read by the caller after a search.
  // Why the last search stopped early (kNone when it decided).
  LimitKind limit_hit = LimitKind::kNone;

  // --- The search state, used by the elements.
  IntStack stack;                       // backtrack stack
  std::vector<CaptureRecord> captures;  // capture stack
  std::vector<int> capture_index;       // per group: its record, or -1
  int position = 0;                     // where the next element looks
  int begin_position = 0;               // where this search began
  int last_begin_position = -1;         // begin position of the search before
  int empty_at = -1;                    // where the search before found an empty match
  const uint8_t* text = nullptr;
  int length = 0;

  // Recursions in progress: target and the position it was entered at.
  struct ActiveRecursion {
    const ElxInterface* target;
    int position;
  };
  std::vector<ActiveRecursion> recursions;

  // Counts one step; throws MatchAbort when the budget is used up or the
  // stop request is raised.
  void Step() {
    if (--steps_left_ < 0) RefillSteps();
  }
  // Charges n steps at once (an element that scanned n bytes by itself).
  void Charge(int64_t n) {
    steps_left_ -= n;
    if (steps_left_ < 0) RefillSteps();
  }
  // Throws MatchAbort when the nested node calls use more native stack than
  // the budget. Called by every element that calls other elements.
  void CheckStack() const {
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (stack_base_ > here && stack_base_ - here > limits.max_stack_bytes) StackExhausted();
  }

  // Opens a capture of group g at the position (pushes a record).
  void PushCapture(int g);
  // Removes capture records above n, restoring the capture index.
  void CutCaptures(size_t n);

  // Called by the search loop: budget for a new search, stack base here.
  void StartBudget(uintptr_t stack_base);

 private:
  void RefillSteps();
  [[noreturn]] void StackExhausted() const;

  int64_t steps_left_ = 0;   // steps left in the current chunk
  int64_t chunk_ = 0;        // size of the current chunk
  int64_t budget_left_ = 0;  // steps of the search not yet handed out
  uintptr_t stack_base_ = 0;
};

}  // namespace regex

#endif  // VTTEL_REGEX_CONTEXT_H_
