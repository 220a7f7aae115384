// The per-line stores the engine knows by their base: the script timers,
// ticked after every statement, and the print output, closed at the end of
// a run, which the run loop drives, and the database store, whose last
// error text other layers read. Their subsystems implement them in the
// store slots kTimers, kPrint and kDatabases (script_store.h).
#ifndef VTTEL_ENGINE_RUN_STORES_H_
#define VTTEL_ENGINE_RUN_STORES_H_

#include <cstddef>
#include <string>

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

// The part of a line's database store other layers read: the text of the
// line's last database error. Used on the line's thread only.
class DatabaseErrorStore : public ScriptStore {
 public:
  std::string lastDbError;
};

// The last database error text of the acting script of script ("" when it
// has no database store).
std::string LastDatabaseError(const TagTelBasic& script);

}  // namespace engine

#endif  // VTTEL_ENGINE_RUN_STORES_H_
