// The faults that end a line's run without taking the process down: a
// script nested deeper than the line thread's stack allows, and script-sized
// data that cannot be allocated.
//
// A fault is thrown as a RunFault where it is found (a call past the depth
// limit; a std::bad_alloc is turned into one at the statement boundary of
// the run loops) and unwinds every script level of the line up to the run
// of the line's own script, which ends the run with the fault's log line
// (TagTelBasic::Run). Everything a level changes for the time of a nested
// run is put back by its destructors on the way.
//
// Thread rules: the depth is counted per thread (the stack it protects is
// the thread's); a line's scripts run on its own thread only.
#ifndef VTTEL_ENGINE_RUN_FAULT_H_
#define VTTEL_ENGINE_RUN_FAULT_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>

#include "platform/memory_reserve.h"

namespace engine {

class TagOper;
class TagTelBasic;

// The deepest nesting of script-function calls, "Eval(", "RunVts(" and
// "RunLine(" on one line, in levels; the call that would go deeper ends the
// line's run.
//
// The line threads have 512 KiB stacks. Stack used per level, measured on
// x86-64 with g++ 12 as the distance between the frame addresses at depth 1
// and depth 101 of a script calling itself:
//                             release (-O2)   ASan build (-O1)
//   script-function call          240 B            816 B
//   "RunVts(" of a script         656 B           2480 B
//   "RunLine(" of a line          400 B           2224 B
// ("Eval(" runs an expression, which calls no function: it nests only
// inside the levels above.) "RunVts(" and "RunLine(" compile at every level
// and count kCompiledLevelCost levels each, so a level costs at most 816 B
// in the ASan build: 300 levels take at most 240 KiB there (72 KiB in the
// release build), less than half of the stack; the rest is the margin for
// the statement at the deepest level, the fault's unwinding and its log
// line.
inline constexpr int32_t kMaxScriptDepth = 300;
inline constexpr int32_t kCompiledLevelCost = 4;

enum class RunFaultKind { kDepth, kMemory };

// The fault; its text (formatted when thrown, without allocating) names the
// line, the script file and the statement where it happened.
class RunFault : public std::exception {
 public:
  // statement may be null (a fault between statements).
  RunFault(RunFaultKind kind, const TagTelBasic& script, const TagOper* statement) noexcept;
  RunFaultKind kind() const noexcept { return kind_; }
  const char* what() const noexcept override { return text_; }

 private:
  static constexpr size_t kTextBytes = 512;
  RunFaultKind kind_;
  char text_[kTextBytes];
};

// One level of script nesting for as long as it lives: counts cost levels on
// the thread, and throws RunFault (kDepth) instead when that passes
// kMaxScriptDepth. An integer increment and decrement: no allocation, no
// lock.
class ScriptDepth {
 public:
  ScriptDepth(const TagTelBasic& script, const TagOper& statement, int32_t cost = 1)
      : cost_(cost) {
    if (depth_ + cost > kMaxScriptDepth) throw RunFault(RunFaultKind::kDepth, script, &statement);
    depth_ += cost;
  }
  ~ScriptDepth() { depth_ -= cost_; }
  ScriptDepth(const ScriptDepth&) = delete;
  ScriptDepth& operator=(const ScriptDepth&) = delete;

  // The levels in use on the calling thread.
  static int32_t Current() { return depth_; }

 private:
  static constinit thread_local int32_t depth_;
  int32_t cost_;
};

// Before script data grows (text, dictionary entries): throws
// std::bad_alloc while the program's memory reserve is given out
// (platform/memory_reserve.h), so that the line asking for more ends its run
// (and takes the reserve back once its data is given back) while the rest
// of the program lives on the reserve. One relaxed load.
inline void CheckScriptDataRoom() {
  if (platform::MemoryLow()) throw std::bad_alloc();
}

}  // namespace engine

#endif  // VTTEL_ENGINE_RUN_FAULT_H_
