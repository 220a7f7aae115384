// DebugRunObserver: the run loops' observer while the script debugger
// exists. It does what the monitor's observer does and, for a line with a
// debugger page, keeps what the page shows up to date without any line
// thread touching the window:
//  - each statement about to run is stored as the line's latest mark (one
//    relaxed store) and the line is queued once for the window, which
//    takes the queued lines at its own pace (TakeUpdates): a busy line
//    costs the window one mark per take, however many statements ran;
//  - a snapshot of the variables the window asked for (RequestSnapshot)
//    is taken by the line itself between two statements, where no
//    statement writes them, and handed over (TakeSnapshot);
//  - the step wait's refresh queues the line with its refresh flag.
// A line without a page costs one relaxed load per statement more than the
// monitor's observer.
//
// Ownership: the closing flag outlives the observer, the observer every
// run loop it is installed for. Thread rules: the hooks run on line
// threads; OpenPage, ClosePage, SetAutoRefresh, RequestSnapshot,
// TakeUpdates and TakeSnapshot on any thread (the window's).
#ifndef VTTEL_ENGINE_DEBUG_OBSERVER_H_
#define VTTEL_ENGINE_DEBUG_OBSERVER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/monitor_observer.h"
#include "engine/script_debug.h"

namespace engine {

// The statement a line is about to run, as the hooks saw it last.
struct StepMark {
  int32_t mainIndex = -1;  // the main flow's statement (-1 none yet)
  int32_t subIndex = -1;   // the function's statement (-1: the main flow runs)
  bool afterCall = false;  // the function's previous statement was a call
};

// The variables of a line's script between two statements.
struct DebugSnapshot {
  const TagTelBasic* script = nullptr;  // the main script it was taken from
  std::vector<VarRow> mainRows;
  std::string functionHeader;           // its definition line; empty: none runs
  std::vector<VarRow> functionRows;
  // The call stack from the function running: names and rows.
  std::vector<std::string> stackNames;
  std::vector<std::vector<VarRow>> stackRows;
};

// Takes a snapshot of a main script on its line's thread (or while it is
// held in its step wait).
std::shared_ptr<DebugSnapshot> TakeDebugSnapshot(const TagTelBasic& main);

// What the window takes for one queued line.
struct DebugUpdate {
  int32_t line = -1;
  StepMark mark;
  bool refresh = false;   // the line entered its step wait
  bool snapshot = false;  // a requested snapshot is ready
};

class DebugRunObserver : public MonitorRunObserver {
 public:
  // Lines 0 .. line_count-1 can have a page.
  DebugRunObserver(const std::atomic<bool>* closing, int32_t line_count);
  ~DebugRunObserver() override;

  void OnStepMain(const TagTelBasic& script, int32_t index, std::string_view source,
                  int32_t line_no) override;
  void OnStepSub(const TagTelBasic& function, int32_t index, std::string_view source,
                 int32_t line_no, bool is_call, bool after_call) override;
  void RefreshDebugVars(const TagTelBasic& script) override;
  bool HasDebugPage(int32_t line_no) const override;

  // A page for the line opens / closes (false: no such line, or already
  // in that state). Closing drops the line's queued update and snapshot.
  bool OpenPage(int32_t line_no);
  bool ClosePage(int32_t line_no);
  // Marks are queued for the window only while auto-refresh is on.
  void SetAutoRefresh(bool on) { autoRefresh_.store(on, std::memory_order_relaxed); }
  bool AutoRefresh() const { return autoRefresh_.load(std::memory_order_relaxed); }

  // The queued lines with their latest marks, in queueing order; each
  // line is queued again by its next statement.
  std::vector<DebugUpdate> TakeUpdates();
  // Asks the line to take a snapshot before its next statement.
  void RequestSnapshot(int32_t line_no);
  // The latest snapshot of the line (null none); *fresh is false while a
  // request is still unanswered (the line is busy in a long statement).
  std::shared_ptr<const DebugSnapshot> TakeSnapshot(int32_t line_no, bool* fresh);

 private:
  struct LineSlot;
  LineSlot* Slot(int32_t line_no) const;
  void Step(const TagTelBasic& main, int32_t line_no, uint64_t packed);
  void Queue(LineSlot& slot, int32_t line_no);

  std::unique_ptr<LineSlot[]> slots_;
  int32_t lineCount_;
  std::atomic<bool> autoRefresh_{false};
  std::mutex queueMu_;
  std::vector<int32_t> queue_;  // guarded by queueMu_
};

}  // namespace engine

#endif  // VTTEL_ENGINE_DEBUG_OBSERVER_H_
