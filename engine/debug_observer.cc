#include "engine/debug_observer.h"

#include "engine/tel_basic.h"

namespace engine {
namespace {

// A function's statement in the sub word: its index + 1, and the top bit
// when the statement before it was a call; 0 while the main flow runs.
constexpr uint32_t kAfterCallBit = 0x80000000u;

uint32_t PackSub(int32_t index, bool after_call) {
  return (static_cast<uint32_t>(index + 1) & ~kAfterCallBit) | (after_call ? kAfterCallBit : 0u);
}

StepMark Unpack(int32_t main_index, uint32_t sub) {
  StepMark mark;
  mark.mainIndex = main_index;
  mark.subIndex = static_cast<int32_t>(sub & ~kAfterCallBit) - 1;
  mark.afterCall = (sub & kAfterCallBit) != 0;
  return mark;
}

std::vector<VarRow> Rows(const TagTelBasic& script) {
  return VariableRows(script, VarOrder::kByNumber);
}

}  // namespace

struct DebugRunObserver::LineSlot {
  std::atomic<uint8_t> page{0};
  std::atomic<uint8_t> queued{0};
  std::atomic<uint8_t> refresh{0};
  std::atomic<uint8_t> snapshotWanted{0};
  std::atomic<uint8_t> snapshotReady{0};
  std::atomic<int32_t> mainIndex{-1};
  std::atomic<uint32_t> sub{0};
  std::mutex mu;
  std::shared_ptr<const DebugSnapshot> snapshot;  // guarded by mu
};

std::shared_ptr<DebugSnapshot> TakeDebugSnapshot(const TagTelBasic& main) {
  auto snap = std::make_shared<DebugSnapshot>();
  snap->script = &main;
  snap->mainRows = Rows(main);
  const TagTelBasic* running = main.runningFunction.load(std::memory_order_relaxed);
  if (running == nullptr) return snap;
  snap->functionHeader = running->headerText;
  snap->functionRows = Rows(*running);
  std::vector<const TagTelBasic*> frames;
  CallStack(*running, &frames);
  for (const TagTelBasic* f : frames) {
    snap->stackNames.push_back(f->name);
    snap->stackRows.push_back(Rows(*f));
  }
  return snap;
}

DebugRunObserver::DebugRunObserver(const std::atomic<bool>* closing, int32_t line_count)
    : MonitorRunObserver(closing),
      slots_(new LineSlot[static_cast<size_t>(line_count > 0 ? line_count : 0)]),
      lineCount_(line_count > 0 ? line_count : 0) {}

DebugRunObserver::~DebugRunObserver() = default;

DebugRunObserver::LineSlot* DebugRunObserver::Slot(int32_t line_no) const {
  if (line_no < 0 || line_no >= lineCount_) return nullptr;
  return &slots_[static_cast<size_t>(line_no)];
}

bool DebugRunObserver::HasDebugPage(int32_t line_no) const {
  if (Closing()) return false;
  const LineSlot* slot = Slot(line_no);
  return slot != nullptr && slot->page.load(std::memory_order_relaxed) != 0;
}

void DebugRunObserver::OnStepMain(const TagTelBasic& script, int32_t index,
                                  std::string_view source, int32_t line_no) {
  MonitorRunObserver::OnStepMain(script, index, source, line_no);
  const LineSlot* slot = Slot(line_no);
  if (slot == nullptr || slot->page.load(std::memory_order_relaxed) == 0 || script.isChild) return;
  slots_[static_cast<size_t>(line_no)].mainIndex.store(index, std::memory_order_relaxed);
  Step(script, line_no, 0);
}

void DebugRunObserver::OnStepSub(const TagTelBasic& function, int32_t index,
                                 std::string_view source, int32_t line_no, bool is_call,
                                 bool after_call) {
  MonitorRunObserver::OnStepSub(function, index, source, line_no, is_call, after_call);
  const LineSlot* slot = Slot(line_no);
  if (slot == nullptr || slot->page.load(std::memory_order_relaxed) == 0) return;
  const TagTelBasic* main = function.owner;
  if (main == nullptr || main->isChild) return;
  Step(*main, line_no, PackSub(index, after_call));
}

// The line's thread between two statements: the mark, a snapshot asked for,
// and the line queued once for the window.
void DebugRunObserver::Step(const TagTelBasic& main, int32_t line_no, uint64_t packed) {
  LineSlot& slot = slots_[static_cast<size_t>(line_no)];
  slot.sub.store(static_cast<uint32_t>(packed), std::memory_order_relaxed);
  bool queue = AutoRefresh();
  if (slot.snapshotWanted.load(std::memory_order_relaxed) != 0) {
    std::shared_ptr<const DebugSnapshot> snap = TakeDebugSnapshot(main);
    {
      std::lock_guard<std::mutex> lock(slot.mu);
      slot.snapshot = std::move(snap);
    }
    slot.snapshotWanted.store(0, std::memory_order_relaxed);
    slot.snapshotReady.store(1, std::memory_order_relaxed);
    queue = true;
  }
  if (queue) Queue(slot, line_no);
}

void DebugRunObserver::RefreshDebugVars(const TagTelBasic& script) {
  const TagTelBasic* main = script.owner != nullptr ? script.owner : &script;
  LineSlot* slot = Slot(main->lineNo);
  if (slot == nullptr || slot->page.load(std::memory_order_relaxed) == 0 || main->isChild) return;
  slot->refresh.store(1, std::memory_order_relaxed);
  Queue(*slot, main->lineNo);
}

void DebugRunObserver::Queue(LineSlot& slot, int32_t line_no) {
  if (slot.queued.load(std::memory_order_relaxed) != 0 ||
      slot.queued.exchange(1, std::memory_order_acq_rel) != 0) {
    return;
  }
  std::lock_guard<std::mutex> lock(queueMu_);
  queue_.push_back(line_no);
}

bool DebugRunObserver::OpenPage(int32_t line_no) {
  LineSlot* slot = Slot(line_no);
  if (slot == nullptr || slot->page.load(std::memory_order_relaxed) != 0) return false;
  slot->mainIndex.store(-1, std::memory_order_relaxed);
  slot->sub.store(0, std::memory_order_relaxed);
  slot->page.store(1, std::memory_order_release);
  return true;
}

bool DebugRunObserver::ClosePage(int32_t line_no) {
  LineSlot* slot = Slot(line_no);
  if (slot == nullptr || slot->page.exchange(0, std::memory_order_acq_rel) == 0) return false;
  slot->snapshotWanted.store(0, std::memory_order_relaxed);
  slot->snapshotReady.store(0, std::memory_order_relaxed);
  slot->refresh.store(0, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(slot->mu);
  slot->snapshot.reset();
  return true;
}

std::vector<DebugUpdate> DebugRunObserver::TakeUpdates() {
  std::vector<int32_t> lines;
  {
    std::lock_guard<std::mutex> lock(queueMu_);
    lines.swap(queue_);
  }
  std::vector<DebugUpdate> updates;
  for (int32_t line : lines) {
    LineSlot& slot = *Slot(line);
    // Taken before the mark is read: a statement after this queues again.
    slot.queued.store(0, std::memory_order_release);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (slot.page.load(std::memory_order_acquire) == 0) continue;  // closed meanwhile
    DebugUpdate u;
    u.line = line;
    u.mark = Unpack(slot.mainIndex.load(std::memory_order_relaxed),
                    slot.sub.load(std::memory_order_relaxed));
    u.refresh = slot.refresh.exchange(0, std::memory_order_relaxed) != 0;
    u.snapshot = slot.snapshotReady.load(std::memory_order_relaxed) != 0;
    updates.push_back(u);
  }
  return updates;
}

void DebugRunObserver::RequestSnapshot(int32_t line_no) {
  LineSlot* slot = Slot(line_no);
  if (slot == nullptr || slot->page.load(std::memory_order_relaxed) == 0) return;
  slot->snapshotReady.store(0, std::memory_order_relaxed);
  slot->snapshotWanted.store(1, std::memory_order_relaxed);
}

std::shared_ptr<const DebugSnapshot> DebugRunObserver::TakeSnapshot(int32_t line_no, bool* fresh) {
  LineSlot* slot = Slot(line_no);
  if (fresh != nullptr) *fresh = false;
  if (slot == nullptr) return nullptr;
  if (fresh != nullptr) *fresh = slot->snapshotWanted.load(std::memory_order_relaxed) == 0;
  std::lock_guard<std::mutex> lock(slot->mu);
  return slot->snapshot;
}

}  // namespace engine
