// The call of a script function (TagCall) and "Eval(".
#include <atomic>
#include <memory>
#include <string>

#include "engine/arguments.h"
#include "engine/complex_expre.h"
#include "engine/calculate.h"
#include "engine/run_fault.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "frame/log.h"

namespace engine {
namespace {

// Gives back the map a value holds (the value becomes the integer 0).
void GiveBackMap(TagVar& v) {
  if (v.kind == kVarMap) v.AssignInt(0);
}

// "Eval(" text: the text is compiled as an expression in the script that
// holds the statement (a function's own variables and parameters first)
// into "_tempVal" and run; "_retVal" = "_tempVal", or NULL when the text
// does not compile. The temporaries of the compilation reuse the same
// names at every run (the main script's temporary counter is put back);
// variables and constants it creates stay in the script.
class TagEval : public TagOper {
 public:
  TagEval(TagTelBasic* script, TagVar* text) : script_(script), text_(text) {}

  int32_t Execute() override {
    const ScriptDepth depth(*script_, *this);
    TagTelBasic* main = script_->MainScript();
    // The counter is put back however the run of the text ends.
    struct CounterReset {
      int32_t& counter;
      int32_t saved;
      ~CounterReset() { counter = saved; }
    } counter_reset{main->compileState.tempCounter, main->compileState.tempCounter};
    const std::string_view text = ArgText(*text_);
    std::string error, warning;
    std::unique_ptr<TagExpre> expression(
        CompileExpression(*script_, text, "_tempVal", nullptr, "", &error, &warning));
    TagVar& ret_val = *script_->allVariables.at(kRetValIndex);
    if (expression != nullptr && error.empty()) {
      expression->Execute();
      ret_val.Assign(*script_->allVariables.at(kTempValIndex));
    } else {
      std::string line = "Eval(";
      line.append(text).append(") :").append(error).append(",").append(warning);
      frame::LogMsg(line);
      ret_val.Assign(NullVar());
    }
    return ret_val.intValue;
  }

 private:
  TagTelBasic* script_;
  TagVar* text_;
};

TagOper* BuildEval(const StatementBuild& b, std::string*) {
  return new TagEval(b.script, b.args.at(0));
}

TagOper* BuildCall(TagVar* function, TagTelBasic* script, const std::vector<TagVar*>& args,
                   std::string*) {
  return new TagCall(function, script, args);
}

}  // namespace

TagCall::TagCall(TagVar* function, TagTelBasic* script, const std::vector<TagVar*>& args)
    : function_(function), script_(script), retVal_(script->allVariables.at(kRetValIndex)),
      args_(args) {}

TagTelBasic* TagCall::Callee() {
  if (function_->kind != kVarFunction) return nullptr;
  if (function_->function != seenFunction_) {
    seenFunction_ = function_->function;
    seenScript_ = dynamic_cast<TagTelBasic*>(function_->function);
  }
  return seenScript_;
}

// The main script names the function running while it runs (the
// debugger's pages read it); the caller's again afterwards, also when a
// fault ends the call.
void TagCall::RunFunction(TagTelBasic& f) {
  std::atomic<TagTelBasic*>& running = script_->MainScript()->runningFunction;
  struct Restore {
    std::atomic<TagTelBasic*>& running;
    TagTelBasic* previous;
    ~Restore() { running.store(previous, std::memory_order_relaxed); }
  } restore{running, running.load(std::memory_order_relaxed)};
  running.store(&f, std::memory_order_relaxed);
  f.RunSub(script_);
}

int32_t TagCall::Execute() {
  TagVar& ret_val = *retVal_;
  TagTelBasic* f = Callee();
  if (f == nullptr) {
    frame::LogAlwaysF("Var : '%s' is not function-type : [LINE=%d:%s]", function_->name(),
                      lineNumber, sourceText.c_str());
    ret_val.AssignInt(kCallNotFunction);
    return kCallNotFunction;
  }
  const auto n = static_cast<int32_t>(args_.size());
  if (f->paramCount != n) {
    frame::LogAlwaysF(
        "function calling err: '%s()' must '%d' paras, real paras only: %d. "
        "[FILE=%s:LINE=%d:%s]",
        f->name.c_str(), f->paramCount, n, f->sourcePath.c_str(), lineNumber,
        sourceText.c_str());
    ret_val.AssignInt(kCallWrongArgCount);
    return kCallWrongArgCount;
  }
  const ScriptDepth depth(*script_, *this);
  for (int32_t i = 0; i < n; ++i) f->params[i].Assign(*args_[i]);
  RunFunction(*f);
  for (int32_t i = 0; i < n; ++i) {
    TagVar& param = f->params[i];
    TagVar* arg = args_[i];
    // A recursive call may pass the function's own parameter: it is both.
    if (arg == &param) continue;
    if (!arg->readOnly) arg->Assign(param);
    GiveBackMap(param);
  }
  // RunSub leaves the function's "_retVal" to us (a map too): the caller
  // takes it, then the function gives its reference back. A function
  // calling itself is its own caller: the value stays where it is.
  TagVar& function_ret = *f->allVariables.at(kRetValIndex);
  if (&function_ret != &ret_val) {
    ret_val.Assign(function_ret);
    GiveBackMap(function_ret);
  }
  return ret_val.intValue;
}

namespace script_control_internal {

void RegisterCallStatements() {
  Statements().RegisterRow(kRowEval, &BuildEval);
  SetCallFactory(&BuildCall);
}

}  // namespace script_control_internal
}  // namespace engine
