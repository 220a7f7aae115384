// The handler statements, the quit test, "Exit(", "return(", "Assert(" and
// the registration of every script-control statement.
#include "engine/script_control.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/arguments.h"
#include "engine/keyword_table.h"
#include "engine/run_observer.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "platform/named_event.h"

namespace engine {
namespace {

std::atomic<ExitHandler> exit_handler{nullptr};

// The handler state "OnSysQuit(" enters: the quit handler runs and is not
// entered again.
constexpr int32_t kInSysQuitHandler = 7;

// "OnDisconn(" and "Close(": the first statement of the disconnect handler
// (the compiler records its index). A released call becomes "released and
// handled", so the run loop does not jump here again; the result is the
// last dial result of the line's script (the dial statements of a child
// act on it too), given once.
class TagClose : public TagOper {
 public:
  explicit TagClose(TagTelBasic* script) : script_(script) {}
  int32_t Execute() override {
    TagTelBasic* line_script = script_->GetRunContext();
    const int32_t result = line_script->lastCallResult;
    line_script->lastCallResult = 0;
    LineCallBase* call = line_script->call;
    if (call != nullptr) {
      int32_t released = kCallReleased;
      call->callState.compare_exchange_strong(released, kCallReleasedHandled,
                                              std::memory_order_relaxed);
    }
    platform::GetClock().Sleep(kDisconnHandlerSleepMs);
    return result;
  }

 private:
  TagTelBasic* script_;
};

// "OnSysQuit(": the first statement of the quit handler (the compiler
// records its index); entering it ends the redirection.
class TagOnSysQuit : public TagOper {
 public:
  explicit TagOnSysQuit(TagTelBasic* script) : script_(script) {}
  int32_t Execute() override {
    script_->handlerState = kInSysQuitHandler;
    return 0;
  }

 private:
  TagTelBasic* script_;
};

// "IsSysQuit(" out: 1 when the line's script is asked to quit, else 0; the
// same into out.
class TagIsSysQuit : public TagOper {
 public:
  TagIsSysQuit(TagTelBasic* script, TagVar* out) : script_(script), out_(out) {}
  int32_t Execute() override {
    const int32_t quit = script_->MainScript()->IsQuit() || script_->GetRunContext()->IsQuit();
    out_->AssignInt(quit);
    return quit;
  }

 private:
  TagTelBasic* script_;
  TagVar* out_;
};

// "Exit(" value: a non-zero value first sets the event "AutoRun Quit" of
// the program that started us (when one exists: 200 ms later); then the
// program is asked to quit.
class TagExit : public TagOper {
 public:
  TagExit(TagTelBasic* script, TagVar* value) : script_(script), value_(value) {}
  int32_t Execute() override {
    const int32_t value = ArgInt(*value_);
    if (value != 0 && platform::NamedEventExists(platform::kAutoRunQuitEventName)) {
      platform::GetClock().Sleep(kAutoRunQuitWaitMs);
      platform::SignalNamedEvent(platform::kAutoRunQuitEventName);
    }
    if (ExitHandler handler = exit_handler.load(std::memory_order_acquire)) {
      handler(value);
    } else {
      script_->GetRunContext()->SetQuit(1);
    }
    return value;
  }

 private:
  TagTelBasic* script_;
  TagVar* value_;
};

// "return(" value: "_retVal" of the holding script = the value, any kind.
// The run loop leaves after a kind 'r' statement.
class TagReturn : public TagOper {
 public:
  // "_retVal" is one of the script's first variables: it stays where it is.
  TagReturn(TagTelBasic* script, TagVar* value)
      : retVal_(script->allVariables.at(kRetValIndex)), value_(value) {}
  int32_t Execute() override {
    retVal_->Assign(*value_);
    return value_->GetInt();
  }

 private:
  TagVar* retVal_;
  TagVar* value_;
};

// "Assert(" condition: the condition, or 0 with the line's error-log line
// "Assert Failed: line=%d".
// The notice of a failed "Assert(" goes through the message service (it
// never holds the line for a click); then the line waits in step mode
// for the operator's step or run.
class TagAssert : public TagOper {
 public:
  TagAssert(TagTelBasic* script, TagVar* condition) : script_(script), condition_(condition) {}
  int32_t Execute() override {
    const int32_t value = condition_->GetInt();
    if (value != 0) return value;
    TagTelBasic* context = script_->GetRunContext();
    const RunObserver* observer = GetRunObserver();
    if (observer != nullptr && observer->HasDebugPage(context->lineNo)) {
      StopForDebugger(*context);
      return 0;
    }
    char text[48];
    std::snprintf(text, sizeof text, "Assert Failed: line=%d", lineNumber);
    if (LineCallBase* call = context->call) call->ErrorLog(text);
    return 0;
  }

  void StopForDebugger(TagTelBasic& context) const {
    const std::string text =
        "Assert Failed: line=" + std::to_string(lineNumber) + ", '" + sourceText + "'";
    platform::ShowMessage(text, "Stop for Assert", platform::MessageIcon::kError);
    context.SetStepMode(1);
    context.WaitStep();
  }

 private:
  TagTelBasic* script_;
  TagVar* condition_;
};

// --- factories ------------------------------------------------------------------

TagOper* BuildClose(const StatementBuild& b, std::string*) { return new TagClose(b.script); }
TagOper* BuildOnSysQuit(const StatementBuild& b, std::string*) {
  return new TagOnSysQuit(b.script);
}
TagOper* BuildIsSysQuit(const StatementBuild& b, std::string*) {
  return new TagIsSysQuit(b.script, b.args.at(0));
}
TagOper* BuildExit(const StatementBuild& b, std::string*) {
  return new TagExit(b.script, b.args.at(0));
}
TagOper* BuildReturn(const StatementBuild& b, std::string*) {
  return new TagReturn(b.script, b.args.at(0));
}
TagOper* BuildAssert(const StatementBuild& b, std::string*) {
  return new TagAssert(b.script, b.args.at(0));
}

}  // namespace

void SetExitHandler(ExitHandler handler) {
  exit_handler.store(handler, std::memory_order_release);
}

void RegisterScriptControlStatements() {
  StatementRegistry& r = Statements();
  r.RegisterRow(kRowClose, &BuildClose);
  r.RegisterRow(kRowOnDisconn, &BuildClose);
  r.RegisterRow(kRowOnSysQuit, &BuildOnSysQuit);
  r.RegisterRow(kRowIsSysQuit, &BuildIsSysQuit);
  r.RegisterRow(kRowExit, &BuildExit);
  r.RegisterRow(kRowReturn, &BuildReturn);
  r.RegisterRow(kRowAssert, &BuildAssert);
  script_control_internal::RegisterCallStatements();
  script_control_internal::RegisterRunStatements();
}

}  // namespace engine
