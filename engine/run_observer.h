// What the run loops tell the world: the line's status word, the statement
// about to run (the monitor's run-information cell and the debugger page)
// and the refresh of the debugger's variable lists. The frame and the
// debugger install an observer; without one nothing is shown. Observers are
// called on the line's thread and must not block it.
#ifndef VTTEL_ENGINE_RUN_OBSERVER_H_
#define VTTEL_ENGINE_RUN_OBSERVER_H_

#include <cstdint>
#include <string_view>

namespace engine {

class TagTelBasic;

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The line's status cell ("运行", "已停止").
  virtual void SetLineStatus(int32_t line_no, std::string_view status) = 0;
  // A main script's statement is about to run.
  virtual void OnStepMain(const TagTelBasic& script, int32_t index, std::string_view source,
                          int32_t line_no) = 0;
  // A function's statement is about to run.
  virtual void OnStepSub(const TagTelBasic& function, int32_t index, std::string_view source,
                         int32_t line_no, bool is_call, bool after_call) = 0;
  // The debugger refreshes its variable lists once when a step wait begins.
  virtual void RefreshDebugVars(const TagTelBasic& script) = 0;
  // Whether a debugger page is open for the line ("Assert(" then stops
  // the line for the operator). Any line thread; must not block.
  virtual bool HasDebugPage(int32_t /*line_no*/) const { return false; }
};

// The observer in use (null: none). Set before lines run.
void SetRunObserver(RunObserver* observer);
RunObserver* GetRunObserver();

}  // namespace engine

#endif  // VTTEL_ENGINE_RUN_OBSERVER_H_
