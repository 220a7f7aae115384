// The run loops: Run for a main script, RunSub for a script function.
#include <cstdio>
#include <string>

#include "engine/line_random.h"
#include "engine/run_observer.h"
#include "engine/run_stores.h"
#include "engine/tel_basic.h"
#include "frame/cpu_load.h"
#include "frame/log.h"
#include "platform/clock.h"
#include "platform/thread_id.h"

namespace engine {
namespace {

std::atomic<RunObserver*> run_observer{nullptr};

// The handler states of the run loop.
constexpr int32_t kInSysQuitHandler = 7;
constexpr uint32_t kStepWaitMs = 100;

// Stores a statement's result as the run loop does, by its kind letter.
void StoreResult(TagOper& statement, int32_t result, TagVar& ret_val) {
  const char kind = statement.kindLetter;
  if (kind != kKindValue && kind != kKindCall && kind != kKindReturn) ret_val.AssignInt(result);
  if (kind == kKindValue) {
    statement.resultTarget.CopyTo(ret_val);
  } else {
    statement.StoreResult(ret_val);
  }
}

// After a run: every variable that holds a map gives it back (integer 0),
// except keep (a function's "_retVal", which its caller takes).
void ReleaseMapVariables(pvector<TagVar>& variables, const TagVar* keep = nullptr) {
  for (TagVar* v : variables) {
    if (v != nullptr && v != keep && v->kind == kVarMap) {
      uint8_t read_only = v->readOnly;
      v->readOnly = 0;
      v->AssignInt(0);
      v->readOnly = read_only;
    }
  }
}

bool IsCall(const TagOper* s) { return s != nullptr && s->kindLetter == kKindCall; }

}  // namespace

void SetRunObserver(RunObserver* observer) { run_observer.store(observer); }

RunObserver* GetRunObserver() { return run_observer.load(); }

bool TagTelBasic::QuitConditionSlow() const {
  const TagTelBasic* s = owner != nullptr ? owner : this;
  if (s->IsQuit()) return true;
  if (s->reloadRequest.load(std::memory_order_relaxed) != 0 && s->IsReloadPending()) return true;
  const TagTelBasic* env = s->environment;
  return env != nullptr && (env->IsQuit() || env->IsReloadPending());
}

void TagTelBasic::WaitStep() {
  auto waiting = [this] {
    return !stopped.load(std::memory_order_relaxed) &&
           stepMode.load(std::memory_order_relaxed) != 0 &&
           stepRelease.load(std::memory_order_relaxed) == 0;
  };
  if (waiting()) {
    if (RunObserver* o = GetRunObserver()) o->RefreshDebugVars(*this);
  }
  while (waiting()) frame::SleepTicks(kStepWaitMs);
  stepRelease.store(0, std::memory_order_relaxed);
}

int32_t TagTelBasic::Run() {
  caller = nullptr;
  if (initResult != 0) return -1;
  SeedLineRandom(platform::GetClock().TickCount());
  RunObserver* observer = GetRunObserver();
  if (observer != nullptr) observer->SetLineStatus(lineNo, "运行");
  if (!isChild) {
    frame::LogMsgF("%d Run: tId:[0x%x], '%s'", lineNo, platform::CurrentThreadId(),
                   sourcePath.c_str());
  }
  stopped.store(0);
  endRun.store(0);
  if (statementCount == 0) {
    stopped.store(1);
    endRun.store(1);
  } else {
    current = statements.at(0);
  }
  if (call != nullptr) {
    call->stopFlag.store(0);
    if (!isChild) call->callState.store(kCallNone);
  }
  notRunning.store(0);
  quitRequest.store(0);
  TagVar& ret_val = *allVariables.at(kRetValIndex);
  auto* timers = static_cast<ScriptTimers*>(store(StoreSlot::kTimers));
  TagOper* previous = nullptr;
  int32_t result = 0;
  while (endRun.load(std::memory_order_relaxed) == 0) {
    if (current == nullptr) {
      // Off the end: the list starts again, unless the line is quitting
      // (also when a reload's handler ran off its end: no restart spin).
      if (quitRequest.load(std::memory_order_relaxed) || QuitCondition()) break;
      current = statements.at(0);
      continue;
    }
    if (call == nullptr) {
      frame::LogMsg2("pVtCall==NULL");
      break;
    }
    TagOper& s = *current;
    currentIndex.store(s.statementIndex, std::memory_order_relaxed);
    if (observer != nullptr) observer->OnStepMain(*this, s.statementIndex, s.sourceText, lineNo);
    s.previousExecuted = previous;
    if (s.IsBreakpoint()) {
      stepMode.store(1);
      stepRelease.store(0);
    }
    if (stepMode.load(std::memory_order_relaxed)) WaitStep();
    if (!s.argExpressions.empty()) s.RunArgs();
    result = s.Execute();
    StoreResult(s, result, ret_val);
    previous = &s;
    if (s.kindLetter == kKindReturn) break;
    if (timers != nullptr && timers->HasTimers()) timers->Tick(*this);
    current = s.Next();
    if (onSysQuitIndex > 0 && handlerState != kInSysQuitHandler && QuitCondition()) {
      if (IsReloadPending()) {
        call->TraceLog("IsReload..., quitindex=" + std::to_string(onSysQuitIndex));
      }
      current = statements.at(onSysQuitIndex);
    } else if (onSysQuitIndex <= 0 && QuitCondition()) {
      frame::LogMsg2("sysQuitIndex<=0");
      break;
    } else if (onDisconnIndex > 0 && handlerState != kInSysQuitHandler &&
               call->callState.load(std::memory_order_relaxed) == kCallReleased) {
      current = statements.at(onDisconnIndex);
    }
  }
  ReleaseMapVariables(allVariables);
  // A map a function's run left in its "_retVal" and nobody took (a
  // timer's function) is given back with the run's other maps.
  for (TagTelBasic* f : functions) {
    if (f != nullptr) ReleaseMapVariables(f->allVariables);
  }
  if (isChild && call != nullptr &&
      call->callState.load(std::memory_order_relaxed) == kCallReleasedHandled) {
    call->callState.store(kCallReleased);
  }
  notRunning.store(1);
  if (!isChild && observer != nullptr) observer->SetLineStatus(lineNo, "已停止");
  // A child's prints go to its parent's output, which stays open for the
  // parent's run: only the line's own script closes it.
  if (!isChild) {
    if (auto* print = static_cast<PrintOutput*>(store(StoreSlot::kPrint))) print->Close();
  }
  return result;
}

int32_t TagTelBasic::RunSub(TagTelBasic* calling) {
  caller = calling;
  if (initResult != 0) return -1;
  TagTelBasic* main = owner != nullptr ? owner : this;
  stopped.store(0);
  if (statementCount == 0) {
    stopped.store(1);
  } else {
    current = statements.at(0);
  }
  lineNo = main->lineNo;
  call = main->call;
  currentIndex.store(0, std::memory_order_relaxed);
  quitRequest.store(0);
  RunObserver* observer = GetRunObserver();
  auto* timers = static_cast<ScriptTimers*>(main->store(StoreSlot::kTimers));
  TagVar& ret_val = *allVariables.at(kRetValIndex);
  TagOper* previous = nullptr;
  while (stopped.load(std::memory_order_relaxed) == 0 && call != nullptr && current != nullptr) {
    TagOper& s = *current;
    s.previousExecuted = previous;
    currentIndex.store(s.statementIndex, std::memory_order_relaxed);
    if (observer != nullptr) {
      observer->OnStepSub(*this, s.statementIndex, s.sourceText, lineNo, IsCall(&s),
                          IsCall(previous));
    }
    if (s.IsBreakpoint()) {
      main->stepMode.store(1);
      main->stepRelease.store(0);
    }
    if (main->stepMode.load(std::memory_order_relaxed)) main->WaitStep();
    if (!s.argExpressions.empty()) s.RunArgs();
    StoreResult(s, s.Execute(), ret_val);
    previous = &s;
    if (s.kindLetter == kKindReturn) break;
    if (timers != nullptr && timers->HasTimers()) timers->Tick(*main);
    current = s.Next();
    if (call == nullptr) break;
    if (QuitCondition() && main->handlerState != kInSysQuitHandler) break;
    if (main->onDisconnIndex > 0 &&
        call->callState.load(std::memory_order_relaxed) == kCallReleased) {
      break;
    }
  }
  // "_retVal" keeps its value, a map too: the call statement copies it out
  // and then gives the function's reference back (whoever else runs a
  // function takes it the same way; the main run's end gives back what is
  // left).
  ReleaseMapVariables(allVariables, allVariables.at(kRetValIndex));
  currentIndex.store(-1, std::memory_order_relaxed);
  return 0;
}

}  // namespace engine
