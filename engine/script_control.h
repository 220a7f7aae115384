// The script-control statements: the statements that steer the script
// itself rather than the line.
//
//   "OnDisconn(", "Close("  TagClose      the disconnect handler's first statement
//   "OnSysQuit("            TagOnSysQuit  the quit handler's first statement
//   "IsSysQuit(" v          TagIsSysQuit  v = 1 when the line is asked to quit
//   "Exit(" n               TagExit       shut the program down ("AutoRun Quit" when n != 0)
//   "return(" v             TagReturn     "_retVal" = v; a function or a main run ends
//   f(a, b, ...)            TagCall       a script function, arguments by value-result
//   "Eval(" text            TagEval       text compiled and run as an expression
//   "RunVts(" path          TagRunVts     another script file run as a child of the line
//   "SetRunVtsEnvt(" flag   TagSetRunVtsEnvt  children import this script's variables
//   "RunLine(" text         TagRunLine    one statement compiled and run at run time
//   "Assert(" cond          TagAssert     cond, or 0 and an error-log line
//
// Each statement belongs to the script that holds it (the compiling script
// given to its factory); the per-line things (quit flag, call object, child
// scripts) are those of that script's run context (TagTelBasic::
// GetRunContext). All run on the line's thread.
#ifndef VTTEL_ENGINE_SCRIPT_CONTROL_H_
#define VTTEL_ENGINE_SCRIPT_CONTROL_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/statement.h"
#include "engine/tag_var.h"

namespace engine {

class TagTelBasic;

// Registers the factories of the rows above with the statement registry
// and the factory of script-function calls (SetCallFactory). Called once at
// start-up, before any script compiles; a second call changes nothing.
void RegisterScriptControlStatements();

// What "Exit(" asks of the program: the frame posts its quit message, the
// script runner makes it its line's quit request. Called on the line's
// thread with the statement's value; it must not block. Without a handler
// "Exit(" sets the quit request of the line's script, which ends its run.
using ExitHandler = void (*)(int32_t value);
void SetExitHandler(ExitHandler handler);

// The result of "RunVts(" for a child that did not compile and of
// "RunLine(" for a text that builds no single plain statement.
inline constexpr int32_t kNotCompiled = -999;
// Results of a failed script-function call (also left in "_retVal").
inline constexpr int32_t kCallNotFunction = -1;
inline constexpr int32_t kCallWrongArgCount = -2;
// The waits of the handlers and of "Exit(".
inline constexpr uint32_t kDisconnHandlerSleepMs = 50;
inline constexpr uint32_t kAutoRunQuitWaitMs = 200;

// A call of a script function (kind 'R'). The function's variable and the
// argument variables belong to the compiling script's lists; the call
// holds them for the script's life and allocates nothing when it runs.
//
// Execute: checks the target (-1 not a function, -2 wrong argument count;
// both logged and left in the calling script's "_retVal", so that the
// call's target gets the failure, never a value that an earlier statement
// left in "_retVal"); copies each
// argument into the parameter at its place; runs the function (RunSub);
// copies each parameter back into its argument unless the argument is
// read-only (constants are not written); a parameter that holds a map then
// gives it back. The calling script's "_retVal" becomes the function's
// "_retVal" (any kind: a map too), whose map reference the function then
// gives back; the result is its integer field.
class TagCall : public TagOper {
 public:
  TagCall(TagVar* function, TagTelBasic* script, const std::vector<TagVar*>& args);
  int32_t Execute() override;

 private:
  // The script function the variable names now, null when it names none.
  TagTelBasic* Callee();
  void RunFunction(TagTelBasic& f);

  TagVar* function_;
  TagTelBasic* script_;  // the calling script: holds this statement
  TagVar* retVal_;       // its "_retVal" (one of its first variables: it stays)
  std::vector<TagVar*> args_;
  // The last function value seen and the script it is (no cast per call).
  const ScriptFunction* seenFunction_ = nullptr;
  TagTelBasic* seenScript_ = nullptr;
};

// The parts of RegisterScriptControlStatements, one per source file.
namespace script_control_internal {
void RegisterCallStatements();  // the call factory and "Eval("
void RegisterRunStatements();   // "RunVts(", "SetRunVtsEnvt(", "RunLine("
}  // namespace script_control_internal

}  // namespace engine

#endif  // VTTEL_ENGINE_SCRIPT_CONTROL_H_
