// RunAttention: the one word a line's run loops test after each statement.
//
// While it is down the loops run a statement with no more than the
// statement needs (its arguments, Execute, the result, Next). Whoever
// changes anything the loops must act on between statements raises it: a
// quit or reload request, the end of the run, step mode, a breakpoint, a
// timer of the line. The loop that finds it raised takes it down, looks at
// every condition (today's whole per-statement work) and raises it again
// while one of them still holds, so a script with breakpoints, timers or a
// disconnect handler keeps the full treatment for as long as they exist.
//
// A breakpoint count rides along: a statement counts its breakpoint byte
// here when it is set or cleared, so the loops know without a walk whether
// any statement of the line's script holds one.
//
// Ownership: one per main script (its functions use their owner's).
// Thread rules: Raise and the breakpoint count from any thread; Lower on
// the line's thread. A writer stores its condition before it raises the
// word (release); Lower takes the word down with acquire, so a loop that
// saw the word raised also sees the condition.
#ifndef VTTEL_ENGINE_RUN_ATTENTION_H_
#define VTTEL_ENGINE_RUN_ATTENTION_H_

#include <atomic>
#include <cstdint>

namespace engine {

class RunAttention {
 public:
  void Raise() { word_.store(1, std::memory_order_release); }
  bool Raised() const { return word_.load(std::memory_order_relaxed) != 0; }
  // Takes the word down before the conditions are looked at.
  void Lower() { word_.exchange(0, std::memory_order_acq_rel); }

  // A breakpoint byte went from off to on (+1) or from on to off (-1).
  void CountBreakpoint(int32_t change) {
    breakpoints_.fetch_add(change, std::memory_order_relaxed);
    Raise();
  }
  bool HasBreakpoints() const { return breakpoints_.load(std::memory_order_relaxed) > 0; }

 private:
  std::atomic<uint32_t> word_{1};
  std::atomic<int32_t> breakpoints_{0};
};

}  // namespace engine

#endif  // VTTEL_ENGINE_RUN_ATTENTION_H_
