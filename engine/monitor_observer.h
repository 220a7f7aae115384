// The run loops' observer of a program without the debugger: the line's
// status word goes to the monitor table, and the statement about to run to
// the line's Run Info cell (by IS_DISP_SENTE). A main script's statement is
// only marked (the cell's text is built from the statement index when the
// cell is read, so a step costs no copy); a function's or a child
// script's statement text is shown as it is. Nothing is shown while the
// frame is closing.
//
// Ownership: the closing flag must outlive the observer, and the observer
// every run loop it is installed for. Thread rules: called on line threads.
#ifndef VTTEL_ENGINE_MONITOR_OBSERVER_H_
#define VTTEL_ENGINE_MONITOR_OBSERVER_H_

#include <atomic>

#include "engine/run_observer.h"

namespace engine {

class MonitorRunObserver : public RunObserver {
 public:
  explicit MonitorRunObserver(const std::atomic<bool>* closing) : closing_(closing) {}

  void SetLineStatus(int32_t line_no, std::string_view status) override;
  void OnStepMain(const TagTelBasic& script, int32_t index, std::string_view source,
                  int32_t line_no) override;
  void OnStepSub(const TagTelBasic& function, int32_t index, std::string_view source,
                 int32_t line_no, bool is_call, bool after_call) override;
  // Variable lists belong to the debugger's pages; without them there is
  // nothing to refresh.
  void RefreshDebugVars(const TagTelBasic&) override {}

 protected:
  bool Closing() const { return closing_->load(std::memory_order_relaxed); }

 private:

  const std::atomic<bool>* closing_;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_MONITOR_OBSERVER_H_
