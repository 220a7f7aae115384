// The script timers: "StartTimer(" arms a timer that calls a script
// function every so many seconds, "StopTimer(" disarms one or all.
//
// Timers have no thread of their own: the run loop ticks the timer table
// of the main script after every statement (of the script and of its
// functions), and a due timer's function runs right there, through
// TagTelBasic::RunSub, between two statements. A statement that blocks
// delays every timer until it returns, and a timer that was due several
// times over fires once.
//
// One table (TagSysTimers) per main script, in its store slot kTimers. The
// statements act on the table of the acting script (GetRunContext): a child
// script of "RunVts(" arms its timers in its parent's table, which only the
// parent's run loop ticks.
//
// A timer is keyed by the function object it calls, never by the
// function's name: a child script may have a function of the same name as
// its parent's. Each "StartTimer(" statement holds its timer while it
// lives: the timer is created by the first statement that names the
// function (at compile time) and goes away with the last one, so the
// timers of a child script, or of a function the compiler removed, leave
// the table when their statements are deleted, before the function itself.
//
// Thread rules: the table is used on its line's thread only.
#ifndef VTTEL_ENGINE_TIMERS_H_
#define VTTEL_ENGINE_TIMERS_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_attention.h"
#include "engine/run_stores.h"
#include "engine/tag_var.h"

namespace engine {

class TagTelBasic;

struct TagTimer {
  uint32_t startTick = 0;           // tick of the last start or firing
  int32_t intervalMs = 1000;        // interval in milliseconds
  uint8_t enabled = 0;              // armed
  TagTelBasic* function = nullptr;  // the script function called (not owned)
  // The scripts whose "StartTimer(" statements name the function, one entry
  // per statement; the first is the calling script, whose "_retVal" gets the
  // function's "_retVal" after a firing.
  std::vector<TagTelBasic*> holders;
  bool removed = false;             // its last statement is gone
};

class TagSysTimers : public ScriptTimers {
 public:
  // attention: the run-loop attention word of the table's script, raised
  // when the table gains a timer (null: none).
  explicit TagSysTimers(RunAttention* attention = nullptr) : attention_(attention) {}
  ~TagSysTimers() override;
  TagSysTimers(const TagSysTimers&) = delete;
  TagSysTimers& operator=(const TagSysTimers&) = delete;

  // At compile time, for each "StartTimer(" statement: -1 when the variable
  // holds no function; 0 when the function has a timer already (the
  // statement becomes one more holder); 1 a new, disarmed timer.
  int32_t Create(const TagVar& function, TagTelBasic* compiling);
  // The statement of compiling that named function is deleted: one holder
  // less; without holders the timer leaves the table (at once, or at the
  // end of the tick in progress).
  void Release(const ScriptFunction* function, TagTelBasic* compiling);
  // Arms the timer of the variable's function: interval ms, started now.
  // 0; -1 no timer for it.
  int32_t Start(const TagVar& function, int32_t ms);
  // Disarms the timer of the variable's function: 0; -1 no timer for it.
  // The integer 0 (kind integer, value 0) disarms every timer and gives 0.
  int32_t Stop(const TagVar& function);

  // Runs the due timers in the order of their functions' names (a function
  // run with its timer's interval elapsed since its last start or firing,
  // as a signed 32-bit tick difference); each restarts after its function
  // returned. Does nothing while a timer function is running.
  void Tick(TagTelBasic& script) override;

  // The timer of a function, or null (tests and the debugger look).
  const TagTimer* Find(const ScriptFunction* function) const;
  size_t size() const;

 private:
  // Ordered by function name, then by creation.
  using Key = std::pair<std::string, uint64_t>;
  using Table = std::map<Key, std::unique_ptr<TagTimer>>;

  Table::iterator FindEntry(const ScriptFunction* function);
  void Fire(TagTimer& timer);

  RunAttention* attention_ = nullptr;
  Table timers_;
  uint64_t created_ = 0;
  uint8_t reentry_ = 0;
  // A timer lost its last statement while a tick was in progress: it is
  // marked removed and erased when the tick ends.
  bool sweep_ = false;
};

// The timer table of the acting script of a compiling script, or null.
TagSysTimers* ActingTimers(TagTelBasic& script);

// Registers "StartTimer(" and "StopTimer(" and the timer table's factory.
void RegisterTimerStatements();

// Registers the timers and the print output (print_output.h): their
// statements and their store factories. Called once at start, before any
// script compiles.
void RegisterTimerAndPrintStatements();

}  // namespace engine

#endif  // VTTEL_ENGINE_TIMERS_H_
