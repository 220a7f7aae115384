// The part of a line's call object that the script engine itself uses, and
// the facts of the line table it reads. The telephony layer derives the
// call object (TagVtCall) from LineCallBase and the line drive implements
// LineTableFacts; tests use plain implementations.
#ifndef VTTEL_ENGINE_LINE_CALL_H_
#define VTTEL_ENGINE_LINE_CALL_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/script_store.h"
#include "frame/line_facts.h"
#include "platform/change_bell.h"

namespace engine {

// Call states (callState).
enum CallState : int32_t {
  kCallNone = -1,
  kCallDialing = 0,
  kCallConnected = 1,
  kCallReleased = 2,
  kCallFailed = 4,
  kCallOffered = 6,
  kCallDialFailedHandled = 11,
  kCallReleasedHandled = 12,
};

// Line kinds (lineKind).
enum LineKind : uint8_t {
  kLineVirtual = 0,
  kLineAnalogTrunk = 1,
  kLineAnalogPhone = 2,
  kLineE1 = 4,
  // An analog port of a type the board names neither phone nor trunk: it
  // is listed and runs a script but takes and places no calls.
  kLineOther = 255,
};

// What moves a line's change count besides a stop (LineCallBase::ToldChanges).
enum ToldChange : uint8_t {
  // Every change made outside the line's thread that IsOnline could see,
  // and nothing of the line's own that needs IsOnline's regular passes: the
  // line's waits look at it only when the count moves.
  kToldOnline = 1,
  // Every change of the line's Keys cell in the line monitor.
  kToldKeysCell = 2,
};

// Thread rules: the line's thread uses the object; the line drive and other
// threads set stopFlag and read the state, which are atomics.
class LineCallBase {
 public:
  virtual ~LineCallBase() = default;

  // The line is still in its call (the telephony layer adds its watchdog).
  virtual bool IsOnline() { return callState.load(std::memory_order_relaxed) == kCallConnected; }
  // "lcnt=%d, %s" trace lines of the line.
  virtual void TraceLog(std::string_view text);
  virtual void ErrorLog(std::string_view text);

  // Raises stopFlag and ends at once a wait of the line that does not look
  // at the flag by itself. Any thread.
  void RaiseStop() {
    stopFlag.store(1, std::memory_order_relaxed);
    stopBell_.Ring();
    WakeStopWait();
  }
  // Ends a wait of the line on a count other than its stop bell (its board
  // channel, its Keys cell); nothing for a line kind without one. Any thread.
  virtual void WakeStopWait() {}

  // The line's change count: it moves at every RaiseStop and at the changes
  // that ToldChanges names. A wait reads it, looks at the line, then calls
  // WaitChange: a change made after the read ends the wait at once, so none
  // is missed. Any thread reads it; the line's thread waits.
  virtual uint32_t ChangeCount() { return stopBell_.Count(); }
  // Waits until the count differs from seen or timeout_ms have passed, on
  // the installed clock (Clock::WaitChange).
  virtual void WaitChange(uint32_t seen, uint32_t timeout_ms);
  // The ToldChange bits that hold now; 0: the line's waits look at the
  // line at the pace of their polls. Line's thread.
  virtual uint8_t ToldChanges() { return 0; }

  int32_t lineNo = -1;
  uint8_t lineKind = kLineVirtual;
  std::atomic<uint8_t> stopFlag{0};
  std::atomic<int32_t> callState{kCallNone};
  // The change count read before the last online check of a wait: while
  // the count has not moved since and the line is told of its changes, a
  // new wait need not look at the line first. Line's thread.
  std::optional<uint32_t> lastLookCount;

 protected:
  // The line's stop bell: rung at every RaiseStop; the change count of a
  // line kind that is told of nothing else.
  platform::ChangeBell stopBell_;
};

// What the engine reads of the line table.
class LineTableFacts {
 public:
  virtual ~LineTableFacts() = default;
  virtual int32_t LineCount() const = 0;
  // The store of a slot of the script that runs on a line, shared (it
  // outlives a reload of the line while the caller holds it); null when
  // the line has no script, its script did not compile, or the table
  // gives no stores. Any thread.
  virtual std::shared_ptr<ScriptStore> LineStore(int32_t /*line*/, StoreSlot /*slot*/) const {
    return nullptr;
  }
  // The line drive's facts (connected counts, block states, talk times);
  // null when the table has no drive (stand-alone runs).
  virtual const frame::LineDriveFacts* DriveFacts() const { return nullptr; }
};

// The line table in use (null: none, 0 lines). Set by the line drive.
void SetLineTableFacts(const LineTableFacts* facts);
int32_t LinesCount();
// DriveFacts of the table in use; null without a table or a drive.
const frame::LineDriveFacts* LineDriveFacts();
// LineStore of the table in use; null without one.
std::shared_ptr<ScriptStore> LineStore(int32_t line, StoreSlot slot);

}  // namespace engine

#endif  // VTTEL_ENGINE_LINE_CALL_H_
