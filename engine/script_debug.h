// What the script debugger shows of a compiled script, as plain data the
// window fills its controls from: the main-flow and function-tree texts,
// the variable rows, a variable's facts, the names a statement mentions
// with their values, the call stack; and the breakpoint bytes and step
// operations the debugger drives.
//
// Thread rules: the breakpoint and step operations may be called from any
// thread (single atomic bytes, the run loops' attention word is raised).
// The texts that read the statement lists (MainTreeText, BuildFunctionTree,
// the *At breakpoint operations) need the script's shape held (ShapeLock:
// "RunLine(" and "Eval(" add to the lists); everything that reads values
// (VariableRows, VariableInfo, StatementVars, CallStack) runs on the
// line's thread or while the line is held in its step wait (PausedRead).
#ifndef VTTEL_ENGINE_SCRIPT_DEBUG_H_
#define VTTEL_ENGINE_SCRIPT_DEBUG_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TagTelBasic;

// One row of a variable grid: "No.", "Name", "Value", "Note"; with the
// kind text and the full value VariableInfo gives for the same name.
struct VarRow {
  std::string number, name, value, note;
  std::string type, fullValue;
};

// The orders of the writable variables' rows (parameters and named
// constants always come first, in their order).
enum class VarOrder { kByNumber, kByNumberDescending, kByName, kByNameDescending };

// The rows of a script's variable grid (header not included): parameters
// ("0p" ..., note "参数"), named constants but functions ("0c" ...), then
// the writable variables not beginning with "__" in order. Empty when the
// script has neither parameters nor writable variables.
std::vector<VarRow> VariableRows(const TagTelBasic& script, VarOrder order);

// Puts the writable variables' rows (those after the parameters and
// constants) of rows made by VariableRows in order.
void OrderRows(std::vector<VarRow>& rows, VarOrder order);

// The main-flow tree: one line per statement, a tab per block level.
std::string MainTreeText(const TagTelBasic& script);

// The function tree of a main script: one header line per function, then
// its statements; base[i] is the tree position of function i's first
// statement and count[i] its statement count at the time of the build.
struct FunctionTree {
  std::string text;
  std::vector<int32_t> base, count;
  // The function whose base <= tree_index < base + count (its index in
  // the main script's functions), or -1; *statement gets the offset.
  int32_t FunctionAtTreeIndex(int32_t tree_index, int32_t* statement) const;
};
FunctionTree BuildFunctionTree(const TagTelBasic& main);

// Breakpoint byte of statement i (indexes outside the list: ignored / 0).
void SetBreakpoint(TagTelBasic& script, int32_t index, uint8_t on);
uint8_t HasBreakpoint(const TagTelBasic& script, int32_t index);
// The same by function-tree position; positions outside any function do
// nothing / 0.
void SetBreakpointAt(TagTelBasic& main, const FunctionTree& tree, int32_t tree_index, uint8_t on);
uint8_t HasBreakpointAt(const TagTelBasic& main, const FunctionTree& tree, int32_t tree_index);
// Clears every breakpoint of the script and of its functions.
void ClearBreakpoints(TagTelBasic& script);

// The step operations on a main script.
bool IsStepMode(const TagTelBasic& script);
// Releases one statement of a script paused in its step wait.
void StepOnce(TagTelBasic& script);

// A variable's facts by name: parameters, then named constants, then
// writable variables. 0 found; -1 not found (type and note empty, value
// "变量名不存在.").
struct VarInfo {
  std::string note, value, type;
};
int32_t VariableInfo(const TagTelBasic& script, std::string_view name, VarInfo* info);

// The same facts from rows VariableRows made (a snapshot's).
int32_t VariableInfo(const std::vector<VarRow>& rows, std::string_view name, VarInfo* info);

// "name: value" of each name statement i mentions that is a variable of the
// script or of its owner, one a line; empty for an index outside the list.
std::string StatementVars(const TagTelBasic& script, int32_t index);

// Runs read while the line of the main script is held in its step wait
// (the wait cannot end meanwhile): true; false, read not run, when the
// line is not waiting.
bool PausedRead(TagTelBasic& main, const std::function<void()>& read);

// The scripts along the caller chain from script (script first; at most
// kMaxCallStack, ends at a script that is its own caller). 0; -2 (frames
// empty) when the script has no caller; -1 without frames.
inline constexpr int32_t kMaxCallStack = 31;
int32_t CallStack(const TagTelBasic& script, std::vector<const TagTelBasic*>* frames);

}  // namespace engine

#endif  // VTTEL_ENGINE_SCRIPT_DEBUG_H_
