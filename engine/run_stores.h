// The two per-line stores the run loop itself drives: the script timers,
// ticked after every statement, and the print output, closed at the end of
// a run. Their subsystems implement them in the store slots kTimers and
// kPrint (script_store.h).
#ifndef VTTEL_ENGINE_RUN_STORES_H_
#define VTTEL_ENGINE_RUN_STORES_H_

#include <cstddef>

#include "engine/script_store.h"

namespace engine {

class ScriptTimers : public ScriptStore {
 public:
  // Runs the timer functions that are due; called on the line's thread
  // after each statement of the script or of its functions, only while
  // HasTimers() (a test without a call on the statement path).
  virtual void Tick(TagTelBasic& script) = 0;
  bool HasTimers() const { return timerCount_ != 0; }

 protected:
  // The derived table keeps this equal to its number of timers.
  size_t timerCount_ = 0;
};

class PrintOutput : public ScriptStore {
 public:
  virtual void Close() = 0;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_RUN_STORES_H_
