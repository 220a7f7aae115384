#include "engine/timers.h"

#include <algorithm>
#include <cmath>

#include "engine/print_output.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"

namespace engine {
namespace {


TagTelBasic* FunctionOf(const TagVar& v) {
  return v.kind == kVarFunction ? dynamic_cast<TagTelBasic*>(v.function) : nullptr;
}

// The interval of "StartTimer(": seconds (any number) times 1000, truncated
// toward zero; values beyond 32 bits are held at the limits.
int32_t IntervalMs(const TagVar& seconds) {
  const double ms = std::trunc(seconds.GetFloat() * 1000.0);
  if (std::isnan(ms)) return 0;
  if (ms >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (ms <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(ms);
}

// "StartTimer(" (function variable, interval in seconds). Its timer is
// created when the statement is built and given back when it is deleted.
class TagStartTimer : public TagOper {
 public:
  TagStartTimer(TagSysTimers* table, TagTelBasic* compiling, TagVar* function, TagVar* seconds)
      : table_(table), compiling_(compiling), function_(function), seconds_(seconds) {
    if (table_ != nullptr && table_->Create(*function_, compiling_) >= 0) {
      held_ = function_->function;
    }
  }
  ~TagStartTimer() override {
    if (held_ != nullptr) table_->Release(held_, compiling_);
  }
  int32_t Execute() override {
    if (table_ == nullptr) return -1;
    return table_->Start(*function_, IntervalMs(*seconds_));
  }

 private:
  TagSysTimers* table_;
  TagTelBasic* compiling_;
  TagVar* function_;
  TagVar* seconds_;
  const ScriptFunction* held_ = nullptr;
};

// "StopTimer(" (function variable, or the integer 0 for every timer).
class TagStopTimer : public TagOper {
 public:
  TagStopTimer(TagSysTimers* table, TagVar* function) : table_(table), function_(function) {}
  int32_t Execute() override { return table_ != nullptr ? table_->Stop(*function_) : -1; }

 private:
  TagSysTimers* table_;
  TagVar* function_;
};

TagOper* BuildStartTimer(const StatementBuild& build, std::string*) {
  return new TagStartTimer(ActingTimers(*build.script), build.script, build.args.at(0),
                           build.args.at(1));
}

TagOper* BuildStopTimer(const StatementBuild& build, std::string*) {
  return new TagStopTimer(ActingTimers(*build.script), build.args.at(0));
}

std::unique_ptr<ScriptStore> NewTimerTable(TagTelBasic& script) {
  return std::make_unique<TagSysTimers>(&script.attention);
}

}  // namespace

TagSysTimers::~TagSysTimers() = default;

TagSysTimers::Table::iterator TagSysTimers::FindEntry(const ScriptFunction* function) {
  if (function == nullptr) return timers_.end();
  return std::find_if(timers_.begin(), timers_.end(), [function](const auto& entry) {
    return !entry.second->removed && entry.second->function == function;
  });
}

const TagTimer* TagSysTimers::Find(const ScriptFunction* function) const {
  auto it = const_cast<TagSysTimers*>(this)->FindEntry(function);
  return it != timers_.end() ? it->second.get() : nullptr;
}

size_t TagSysTimers::size() const {
  return static_cast<size_t>(std::count_if(timers_.begin(), timers_.end(),
                                           [](const auto& e) { return !e.second->removed; }));
}

int32_t TagSysTimers::Create(const TagVar& function, TagTelBasic* compiling) {
  TagTelBasic* f = FunctionOf(function);
  if (f == nullptr) return -1;
  if (auto it = FindEntry(f); it != timers_.end()) {
    it->second->holders.push_back(compiling);
    return 0;
  }
  auto timer = std::make_unique<TagTimer>();
  timer->function = f;
  timer->holders.push_back(compiling);
  timers_.emplace(Key(f->name, created_++), std::move(timer));
  timerCount_ = timers_.size();
  // The run loops tick the table only while their attention is raised.
  if (attention_ != nullptr) attention_->Raise();
  return 1;
}

void TagSysTimers::Release(const ScriptFunction* function, TagTelBasic* compiling) {
  auto it = FindEntry(function);
  if (it == timers_.end()) return;
  TagTimer& timer = *it->second;
  auto holder = std::find(timer.holders.begin(), timer.holders.end(), compiling);
  if (holder != timer.holders.end()) timer.holders.erase(holder);
  if (!timer.holders.empty()) return;
  timer.enabled = 0;
  timer.removed = true;
  if (reentry_) {
    sweep_ = true;
  } else {
    timers_.erase(it);
    timerCount_ = timers_.size();
  }
}

int32_t TagSysTimers::Start(const TagVar& function, int32_t ms) {
  auto it = FindEntry(FunctionOf(function));
  if (it == timers_.end()) return -1;
  TagTimer& timer = *it->second;
  timer.enabled = 1;
  timer.intervalMs = ms;
  timer.startTick = platform::GetClock().TickCount();
  return 0;
}

int32_t TagSysTimers::Stop(const TagVar& function) {
  if (function.kind == kVarInt && function.intValue == 0) {
    for (auto& entry : timers_) entry.second->enabled = 0;
    return 0;
  }
  auto it = FindEntry(FunctionOf(function));
  if (it == timers_.end()) return -1;
  it->second->enabled = 0;
  return 0;
}

void TagSysTimers::Fire(TagTimer& timer) {
  TagTelBasic* calling = timer.holders.front();
  timer.function->RunSub(calling);
  // As a script-function call does: the function's "_retVal" becomes the
  // calling script's, and a map it held is given back by the function.
  TagVar& result = *timer.function->allVariables.at(kRetValIndex);
  calling->allVariables.at(kRetValIndex)->Assign(result);
  if (result.kind == kVarMap) result.ReleaseMap();
}

void TagSysTimers::Tick(TagTelBasic&) {
  if (reentry_ || timers_.empty()) return;
  reentry_ = 1;
  // Timers fire again after a firing that ended the line's run (a fault
  // passes through here).
  struct ReentryReset {
    uint8_t& reentry;
    ~ReentryReset() { reentry = 0; }
  } reentry_reset{reentry_};
  platform::Clock& clock = platform::GetClock();
  // Insertions during a firing (a child script compiling) keep the
  // iterators valid; removals wait for the sweep below.
  for (auto& entry : timers_) {
    TagTimer& timer = *entry.second;
    if (!timer.enabled || timer.removed) continue;
    if (static_cast<int32_t>(clock.TickCount() - timer.startTick) < timer.intervalMs) continue;
    Fire(timer);
    timer.startTick = clock.TickCount();
  }
  if (sweep_) {
    sweep_ = false;
    std::erase_if(timers_, [](const auto& entry) { return entry.second->removed; });
    timerCount_ = timers_.size();
  }
}

TagSysTimers* ActingTimers(TagTelBasic& script) {
  return dynamic_cast<TagSysTimers*>(script.GetRunContext()->store(StoreSlot::kTimers));
}

void RegisterTimerStatements() {
  RegisterStoreFactory(StoreSlot::kTimers, &NewTimerTable);
  Statements().RegisterRow(kRowStartTimer, &BuildStartTimer);
  Statements().RegisterRow(kRowStopTimer, &BuildStopTimer);
}

void RegisterTimerAndPrintStatements() {
  RegisterTimerStatements();
  RegisterPrintStatements();
}

}  // namespace engine
