// The run loops: Run for a main script, RunSub for a script function.
#include <cstdio>
#include <new>
#include <string>

#include "engine/control_flow.h"
#include "engine/line_random.h"
#include "engine/run_fault.h"
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

// The run loops start on a 64-byte boundary: their hot paths keep the
// same place in the processor's decoded-instruction windows whatever code
// comes before them in the program (a 32-byte shift moved the integer loop
// by 3 %).
#if defined(__GNUC__)
#define VTTEL_RUN_LOOP_ALIGN __attribute__((aligned(64)))
#else
#define VTTEL_RUN_LOOP_ALIGN
#endif

// The handler states of the run loop.
constexpr int32_t kInSysQuitHandler = 7;

// Stores a statement's result as the run loop does, by its kind letter: a
// value statement's target into "_retVal"; a call or return leaves it; any
// other the integer result. Then "_retVal" into the statement's target.
inline void StoreResult(const TagOper& statement, int32_t result, TagVar& ret_val) {
  switch (statement.kindLetter) {
    case kKindValue:
      statement.resultTarget.CopyTo(ret_val);
      return;
    case kKindCall:
    case kKindReturn:
      break;
    default:
      ret_val.AssignInt(result);
      break;
  }
  if (!statement.resultTarget.empty()) statement.StoreResult(ret_val);
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

// Gives back the maps of a whole run: the script's variables and those of
// its functions and their parameters (a run ended by a fault left some there).
void ReleaseRunMaps(TagTelBasic& script) {
  ReleaseMapVariables(script.allVariables);
  // A map a function's run left in its "_retVal" and nobody took (a
  // timer's function) is given back with the run's other maps.
  for (TagTelBasic* f : script.functions) {
    if (f == nullptr) continue;
    ReleaseMapVariables(f->allVariables);
    for (TagVar& param : f->params) {
      if (param.kind == kVarMap) param.AssignInt(0);
    }
  }
}

// The arguments and Execute of one statement: its result. Memory that
// cannot be had for the statement's data ends the line's run: the loops
// turn std::bad_alloc into a RunFault naming their current statement.
inline int32_t ExecuteStatement(TagOper& s) {
  if (!s.argExpressions.empty()) s.RunArgs();
  return s.Execute();
}

bool IsCall(const TagOper* s) { return s != nullptr && s->kindLetter == kKindCall; }

// The jumps of a script's list, resolved before its first run (the list is
// linked and complete by then).
void ResolveJumpsOnce(TagTelBasic& script) {
  if (script.jumpsResolved != 0) return;
  ResolveJumps(script.statements);
  script.jumpsResolved = 1;
}

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

bool TagTelBasic::LineStopping() const {
  const TagTelBasic* context = GetRunContext();
  if (context->stopped.load(std::memory_order_relaxed) != 0) return true;
  if (context->call != nullptr && context->call->stopFlag.load(std::memory_order_relaxed) != 0) {
    return true;
  }
  return QuitCondition();
}

bool TagTelBasic::KeepsAttention() const {
  if (quitRequest.load(std::memory_order_relaxed) != 0 ||
      reloadRequest.load(std::memory_order_relaxed) != 0 ||
      endRun.load(std::memory_order_relaxed) != 0 || stopped.load(std::memory_order_relaxed) != 0 ||
      stepMode.load(std::memory_order_relaxed) != 0) {
    return true;
  }
  // A child looks at its environment's requests, a disconnect handler at
  // the call state: neither raises the word, so they keep it raised.
  if (environment != nullptr || onDisconnIndex > 0 || call == nullptr) return true;
  if (attention.HasBreakpoints()) return true;
  const auto* timers = static_cast<const ScriptTimers*>(store(StoreSlot::kTimers));
  return timers != nullptr && timers->HasTimers();
}

bool TagTelBasic::Attend() {
  attention.Lower();
  if (!KeepsAttention()) return false;
  attention.Raise();
  return true;
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
    runError.clear();
    for (size_t i = 0; i < static_cast<size_t>(StoreSlot::kCount); ++i) {
      if (ScriptStore* s = store(static_cast<StoreSlot>(i))) s->OnRunStart();
    }
  }
  ResolveJumpsOnce(*this);
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
  int32_t result = 0;
  try {
    try {
      RunStatements(result);
    } catch (const std::bad_alloc&) {
      throw RunFault(RunFaultKind::kMemory, *this, current);
    }
  } catch (const RunFault& fault) {
    // The one way a line's run ends with an error: the run ends as any run
    // does, a child's fault goes on to its parent, and the line's own run
    // reports it.
    EndRun(observer);
    if (isChild) throw;
    ReportFault(fault);
    return result;
  }
  EndRun(observer);
  return result;
}

VTTEL_RUN_LOOP_ALIGN void TagTelBasic::RunStatements(int32_t& result) {
  RunObserver* observer = GetRunObserver();
  TagVar& ret_val = *allVariables.at(kRetValIndex);
  auto* timers = static_cast<ScriptTimers*>(store(StoreSlot::kTimers));
  TagOper* previous = nullptr;
  // The first statement, and every one after the attention word was found
  // raised, gets the whole treatment; the others only what they need, and
  // the statements that only pass control on are jumped over while no
  // observer shows each statement (breakpoints and steps keep the word
  // raised, so they see every one).
  const bool jump = observer == nullptr;
  bool attend = true;
  attention.Raise();
  // The loop follows its own pointer and writes "current" (which names the
  // statement of a fault) as each statement begins.
  TagOper* at = current;
  for (;;) {
    if (attend || at == nullptr) {
      if (endRun.load(std::memory_order_relaxed) != 0) break;
      if (at == nullptr) {
        // Off the end: the list starts again, unless the line is quitting
        // (also when a reload's handler ran off its end: no restart spin).
        if (quitRequest.load(std::memory_order_relaxed) || QuitCondition()) break;
        at = statements.at(0);
        continue;
      }
      if (call == nullptr) {
        frame::LogMsg2("pVtCall==NULL");
        break;
      }
    }
    current = at;
    TagOper& s = *at;
    currentIndex.store(s.statementIndex, std::memory_order_relaxed);
    if (observer != nullptr) observer->OnStepMain(*this, s.statementIndex, s.sourceText, lineNo);
    s.previousExecuted = previous;
    if (attend) {
      if (s.IsBreakpoint()) {
        stepMode.store(1);
        stepRelease.store(0);
      }
      if (stepMode.load(std::memory_order_relaxed)) WaitStep();
    }
    if (s.plainResult != 0) {
      result = s.Execute();
      ret_val.AssignInt(result);
    } else {
      result = ExecuteStatement(s);
      StoreResult(s, result, ret_val);
      if (s.kindLetter == kKindReturn) break;
    }
    previous = &s;
    attend = attention.Raised() && Attend();
    if (!attend) {
      at = jump ? FollowingStatement(s, ret_val) : s.Next();
      continue;
    }
    if (timers != nullptr && timers->HasTimers()) timers->Tick(*this);
    at = s.Next();
    if (onSysQuitIndex > 0 && handlerState != kInSysQuitHandler && QuitCondition()) {
      if (IsReloadPending()) {
        call->TraceLog("IsReload..., quitindex=" + std::to_string(onSysQuitIndex));
      }
      at = statements.at(onSysQuitIndex);
    } else if (onSysQuitIndex <= 0 && QuitCondition()) {
      frame::LogMsg2("sysQuitIndex<=0");
      break;
    } else if (onDisconnIndex > 0 && handlerState != kInSysQuitHandler &&
               call->callState.load(std::memory_order_relaxed) == kCallReleased) {
      at = statements.at(onDisconnIndex);
    }
  }
  current = at;
}

void TagTelBasic::EndRun(RunObserver* observer) {
  ReleaseRunMaps(*this);
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
}

void TagTelBasic::ReportFault(const RunFault& fault) {
  // The run's maps are given back by now; should even the log line find no
  // memory, the text still reaches stderr.
  try {
    runError = fault.what();
    frame::LogAlways(runError);
  } catch (const std::bad_alloc&) {
    std::fputs(fault.what(), stderr);
    std::fputc('\n', stderr);
  }
  // The data of the run is given back: the program holds its memory
  // reserve again when it can.
  if (fault.kind() == RunFaultKind::kMemory) platform::ReplenishMemoryReserve();
}

VTTEL_RUN_LOOP_ALIGN int32_t TagTelBasic::RunSub(TagTelBasic* calling) {
  caller = calling;
  if (initResult != 0) return -1;
  TagTelBasic* main = owner != nullptr ? owner : this;
  ResolveJumpsOnce(*this);
  // The function's own flags, polled relaxed like every stop flag: plain
  // stores (a call is frequent).
  stopped.store(statementCount == 0 ? 1 : 0, std::memory_order_relaxed);
  if (statementCount != 0) {
    current = statements.at(0);
  }
  lineNo = main->lineNo;
  call = main->call;
  currentIndex.store(0, std::memory_order_relaxed);
  quitRequest.store(0, std::memory_order_relaxed);
  RunObserver* observer = GetRunObserver();
  auto* timers = static_cast<ScriptTimers*>(main->store(StoreSlot::kTimers));
  TagVar& ret_val = *allVariables.at(kRetValIndex);
  TagOper* previous = nullptr;
  // currentIndex is -1 again however the function's run ends.
  struct IndexReset {
    std::atomic<int32_t>& index;
    ~IndexReset() { index.store(-1, std::memory_order_relaxed); }
  } index_reset{currentIndex};
  try {
    // The whole treatment while the line's attention word is raised
    // (whoever needs the loops raises it, and it stays raised while a
    // breakpoint or step mode holds, so a call need not raise it), from the
    // first statement on; jumps passed over without observer, the opening
    // "{" too.
    const bool jump = observer == nullptr;
    bool attend = main->attention.Raised();
    // As in Run: a pointer of the loop's own, "current" written per statement.
    TagOper* at = current;
    if (jump && !attend) at = PassJumps(at, ret_val);
    while (stopped.load(std::memory_order_relaxed) == 0 && call != nullptr && at != nullptr) {
      current = at;
      TagOper& s = *at;
      s.previousExecuted = previous;
      currentIndex.store(s.statementIndex, std::memory_order_relaxed);
      if (observer != nullptr) {
        observer->OnStepSub(*this, s.statementIndex, s.sourceText, lineNo, IsCall(&s),
                            IsCall(previous));
      }
      if (attend) {
        if (s.IsBreakpoint()) {
          main->stepMode.store(1);
          main->stepRelease.store(0);
        }
        if (main->stepMode.load(std::memory_order_relaxed)) main->WaitStep();
      }
      if (s.plainResult != 0) {
        ret_val.AssignInt(s.Execute());
      } else {
        StoreResult(s, ExecuteStatement(s), ret_val);
        if (s.kindLetter == kKindReturn) break;
      }
      previous = &s;
      attend = main->attention.Raised() && main->Attend();
      if (!attend) {
        at = jump ? FollowingStatement(s, ret_val) : s.Next();
        continue;
      }
      if (timers != nullptr && timers->HasTimers()) timers->Tick(*main);
      at = s.Next();
      if (call == nullptr) break;
      if (QuitCondition() && main->handlerState != kInSysQuitHandler) break;
      if (main->onDisconnIndex > 0 &&
          call->callState.load(std::memory_order_relaxed) == kCallReleased) {
        break;
      }
    }
    current = at;
  } catch (const std::bad_alloc&) {
    throw RunFault(RunFaultKind::kMemory, *this, current);
  }
  // "_retVal" keeps its value, a map too: the call statement copies it out
  // and then gives the function's reference back (whoever else runs a
  // function takes it the same way; the main run's end gives back what is
  // left).
  ReleaseMapVariables(allVariables, allVariables.at(kRetValIndex));
  return 0;
}

}  // namespace engine
