// TagTelBasic: one compiled script.
//
// A main script belongs to one line: the line threads build it from the
// script file assigned to the line (the constructor compiles the whole file
// and leaves the outcome in initResult) and it carries the line's per-line
// stores. A script function is a TagTelBasic too, owned by its main script,
// with its own statements, variables and parameters. A child script is a
// main script that "RunVts(" builds for the same line; it acts on its
// parent's (environment's) stores.
//
// Ownership: a script owns its statements, functions, every variable in
// allVariables and its stores (a store it shares through SharedStore lives
// on while another line holds it); the call object is the line's and must
// outlive the script. The members come in groups, each saying who writes
// it and who may read it: the definition, the compile, the run flags and
// the run's own state. The line's voice and key settings are a store of
// the telephony layer (StoreSlot::kLineSettings).
//
// Thread rules: built and run on its line's threads; LeaveLine is called
// where the script leaves its line, while its last holder (a reader of the
// line, on any thread) frees it later. Other threads only set the
// single-byte flags quitRequest, stopped, endRun, reloadRequest, stepMode
// and stepRelease (atomics), which the run loop polls; raising quitRequest
// through SetQuit also calls the stores' OnStop on the calling thread (the
// stores lock what they touch there). The run loops look at those flags
// only while the attention word is raised (run_attention.h): a flag is
// raised through SetQuit, SetReload, RequestStop, RequestEndRun,
// SetStepMode, LeaveLine or a statement's SetBreakpoint, never by a bare
// store (clearing one needs no word).
#ifndef VTTEL_ENGINE_TEL_BASIC_H_
#define VTTEL_ENGINE_TEL_BASIC_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compile_state.h"
#include "engine/line_call.h"
#include "engine/pvector.h"
#include "engine/run_attention.h"
#include "engine/script_function.h"
#include "engine/script_store.h"
#include "engine/split_expression.h"
#include "engine/statement.h"
#include "engine/tag_var.h"

namespace engine {

class RunFault;
class RunObserver;

// One file the main script has loaded: the path text of the request.
struct TagFInclude {
  std::string path;
};

inline constexpr int32_t kMaxParams = 40;
inline constexpr int32_t kMaxArgs = 40;
// The line area: one logical line of at most this many characters.
inline constexpr size_t kLineArea = 1024;
// The line of the summary entry of the error file.
inline constexpr int32_t kSummaryLine = 9999;
// Positions of the first two built-in variables.
inline constexpr int32_t kTempValIndex = 0;
inline constexpr int32_t kRetValIndex = 1;

// Results of the compile operations.
inline constexpr int32_t kNotFound = -1;

class TagTelBasic : public ScriptFunction {
 public:
  // A main script: builds and compiles the file; see initResult.
  TagTelBasic(std::string_view path, int32_t line_no, LineCallBase* call, int32_t run_mode,
              TagTelBasic* environment);
  // An empty script function named name, defined in the file at path.
  TagTelBasic(std::string_view path, std::string_view function_name, TagTelBasic* owner);
  // Frees what the script owns (its stores close their own sockets and
  // databases). It touches nothing of its line: a script may be freed on
  // any thread, long after it left the line and while the line already
  // runs another script; LeaveLine does the line's part.
  ~TagTelBasic() override;
  TagTelBasic(const TagTelBasic&) = delete;
  TagTelBasic& operator=(const TagTelBasic&) = delete;

  std::string_view FunctionName() const override { return name; }

  // --- file loading and the error file -----------------------------------
  // Loads a file (the main file with include_line 0, or the file of an
  // "#include" at include_line): the number of physical lines read; -1
  // already loaded; -2 missing or unreadable.
  int32_t LoadFile(int32_t include_line, std::string_view path);
  // Appends an entry to "errmsg<lineNo>.txt" (warnings only without run mode).
  void ReportError(int32_t line, std::string_view text, std::string_view detail, bool warning);
  // A message box (not for child scripts).
  void ShowError(int32_t line, std::string_view text, std::string_view detail);
  // Counts and reports an error / a warning.
  void Error(int32_t line, std::string_view text, std::string_view detail);
  void Warning(int32_t line, std::string_view text, std::string_view detail);
  // A hint about a line that compiles but may not do what its author meant:
  // a log line ("[Hint]file(line): text, detail", when logging is on),
  // neither counted nor written to the error file.
  void Hint(int32_t line, std::string_view text, std::string_view detail);

  // --- compile operations (compile_ops.cc) ----------------------------------
  // The pieces of text work the statement compiler delegates. All work on
  // bytes: GBK bytes (0x80 and above) are never name material. Errors are
  // written with ReportError(line, text, detail, false) and NOT counted: the
  // caller counts a failed line from the negative result. Warnings go
  // through Warning() and count; hints through Hint().

  // Result codes of SplitArgs.
  static constexpr int32_t kArgsEmpty = -1;         // an empty (blank) argument
  static constexpr int32_t kArgsNoTerminator = -2;  // the terminator was not found
  static constexpr int32_t kArgsOpenString = -3;    // a string not closed
  static constexpr int32_t kArgsTooMany = -4;       // more than kMaxArgs arguments
  static constexpr int32_t kArgsBrace = -5;         // "{" or "}" outside a string
  static constexpr int32_t kArgsTooLong = -6;       // a piece longer than kArgBytes
  // The room of one argument slot.
  static constexpr size_t kArgBytes = 1024;

  // What FindVariable (and so ResolveOperand and DeclareVariable) return
  // for a variable that is not this script's own: parameter i gives
  // kParamIndexBase + i, variable j of the owner's allVariables gives
  // kOwnerIndexBase + j. Own variables give their index in allVariables,
  // which is below kOwnerIndexBase; absent gives kNotFound (-1). Only an own
  // index addresses allVariables: use the variable out for the others.
  static constexpr int32_t kOwnerIndexBase = 0x20000000;
  static constexpr int32_t kParamIndexBase = 0x40000000;

  // Cuts the comment off a line: scans outside double-quoted strings (a
  // backslash escapes inside one). "//": the note is the rest of the line;
  // "/*": the line number is pushed on commentStack and the note is the
  // text up to a following "*/"; "*/": pops commentStack, or with it empty
  // reports "找不到匹配的起始注释/*" and returns 0 (note empty); a newline
  // ends the scan. The scan goes on behind a comment start, so a later
  // "//" or "/*" replaces the note and a later "/*" or "*/" still opens or
  // closes a block comment; a "/*" behind a "//" that is left open at the
  // end of the line is written as a warning ("//注释中的/*开始了块注释").
  // With cut, the line ends at the first comment start (or newline).
  // Returns the note's length.
  int32_t ExtractNote(std::string& line, std::string* note, int32_t line_no, bool cut);
  // The shape of a line from its first (at most 7) tokens: the characters
  // ( ; { } + - * / [ ] , % > < = each alone, and words (a quoted string,
  // or a run of any other characters up to a blank, tab, CR or LF).
  //   1  word "(": a call line; name = the word;
  //   2  word "=" word "(" (name, *call_offset = the position behind "="),
  //      or word "[" word "]" "=" word "(" (also *index = the inner word);
  //  -1  word "=", or word "[" word "]" "=": an assignment (name, index);
  //  -2  word word "=": a constant definition; name = the second word;
  //  -3  word followed by "+" or "-", or a line starting with one: an
  //      increment line; name = the word when there is one;
  //   0  anything else.
  // Outputs not named are cleared (*call_offset 0).
  int32_t ClassifyLine(std::string_view line, size_t* call_offset, std::string* name,
                       std::string* index);
  // Splits an argument list into *slots (at most kMaxArgs pieces of at most
  // kArgBytes). A terminator ')' stands for the end of the text (a trailing
  // ")" is cut from the last piece instead); '\0' is the end of the text.
  // Pieces before a separator start at their first character that is not a
  // blank, tab or "="; the last piece keeps its leading blanks and, with the
  // terminator ';' or the end of the text, loses its trailing blanks, one
  // trailing ";" and then one trailing ")". A blank separator also splits at
  // tabs and skips runs of blanks. With separator == terminator the walk goes
  // on behind each one and text behind the last is ignored. "{" or "}"
  // outside a string fail unless the separator is '+'. Returns the number of
  // pieces or a kArgs* code (an open string is reported before a missing
  // terminator).
  static int32_t SplitArgs(std::string_view text, std::vector<std::string>* slots,
                           char separator, char terminator);
  // Compiles n argument slots (n is bounded by slots.size()) into *args:
  // an argument with an operator goes through the installed expression
  // compiler (expression_hook.h) into a new temporary, its instruction list
  // joins pendingExpressions (expressions left there from a failed line are
  // deleted first: appending a statement moves them out); any other
  // argument is resolved (ResolveOperand). Returns 0, or -1 after reporting
  // an error. Without an expression compiler an expression argument is
  // "语法错误".
  int32_t ParseArgs(int32_t line_no, std::string_view line, int32_t n,
                    const std::vector<std::string>& slots, std::vector<TagVar*>* args);
  // Compiles an assignment or increment text: finds or creates (writable
  // integer 0, *created set) the assigned variable into *destination and
  // resolves the operands of the right side (*left is null for a prefix
  // '!', '~' or '-'; *right null without operator). An increment gives
  // left = destination, '+' or '-', right = the pooled constant 1. Returns
  // 0; -1 after reporting an error; -2 the right side has more than one
  // operator; -3 another splitter failure (not reported). An absent operand
  // is reported as "语法错误" (a missing name as "表达式中的变量没有预先赋值").
  int32_t ParseAssign(int32_t line_no, std::string_view text, TagVar** destination,
                      TagVar** left, char* op, TagVar** right, std::string_view note,
                      bool* created);
  // True when the text (blanks ignored, ")" or ";" ending it) is "++" or
  // "--" before or behind a name; any of ( * / { } " = makes it no increment,
  // and so does a text starting with a double quote or a digit. *op is '+'
  // or '-' for a valid name (ASCII letters, digits and '_', not starting
  // with a digit); for any other name *op is 0 and "自加或自减的变量名不合法"
  // is reported, unless line_no is negative (a look that reports nothing).
  bool IsIncDec(int32_t line_no, std::string_view text, std::string* name, char* op);
  // The assigned name before the first "=" outside strings (before "["
  // when one comes first), blanks and tabs removed, and the index text
  // between "[" and "=" (trailing blanks cut; it keeps its "]"). Returns
  // the name's length; 0 no "=" (or an empty name); -1 the name starts with
  // a double quote or a digit; -2 an invalid name (IsValidName).
  static int32_t SplitAssign(std::string_view text, std::string* name, std::string* index);
  // False for an empty text, one starting with a double quote or a digit,
  // or one holding any of ! " ' ( ) ; [ ] { } or a byte of 0x80 or above.
  static bool IsValidName(std::string_view text);
  // The name before the first "(" (blanks and tabs removed) and the rest
  // behind it: 0; -1 without "(".
  static int32_t SplitName(std::string_view text, std::string* name, std::string* rest);
  // After blanks, a name between a double quote or "<" and the next double
  // quote or ">" (either closes either): 0; -1 not starting with one; -2
  // not closed.
  static int32_t QuotedName(std::string_view text, std::string* name);
  // A literal becomes the pooled read-only constant of its kind and value
  // (created on first use with an empty name); a name is looked up with
  // FindVariable, and when it names a script function this script is
  // recorded as its caller. Returns the index (as FindVariable) and the
  // variable; kNotFound and null for an absent operand or a missing name
  // (nothing is created for a name).
  int32_t ResolveOperand(const ExprOperand& operand, TagVar** variable);
  // Own allVariables, then the parameters, then the owner's allVariables
  // (see kOwnerIndexBase). An empty name is never found. variable may be null.
  int32_t FindVariable(std::string_view name, TagVar** variable);
  int32_t FindOwnVariable(std::string_view name) const;
  int32_t FindParam(std::string_view name) const;
  // The own index of the pooled constant of operand kind (1 string, 2
  // integer, 3 float) equal to the literal text, or kNotFound.
  int32_t FindConstant(int32_t kind, std::string_view text) const;
  // FindVariable, or a new writable integer 0 of this script; kNotFound and
  // null for an empty name.
  int32_t DeclareVariable(std::string_view name, TagVar** variable, std::string_view note);
  // The new parameter count; -1 when kMaxParams are declared.
  int32_t AddParam(std::string_view name);
  int32_t FindFunctionIndex(std::string_view name) const;
  // Looks in the main script's functions (a function body in its owner's).
  int32_t FindFunction(std::string_view name, TagTelBasic** function);
  // One more call site by the named script (none for this function's own
  // name); returns the count for that name.
  int32_t AddCaller(std::string_view caller_name);
  // Takes the named script out of the callers of every function of the
  // main script.
  void RemoveCaller(std::string_view caller_name);
  // The next "__m%d" of the main script's tempCounter.
  std::string NewTempName();
  void SetHeaderText(std::string_view text) { headerText.assign(text); }
  // "_retVal" = value; returns its integer field.
  int32_t SetRetVal(const TagVar& value);
  // The keyword row the line starts with (kNoKeyword when none), its name
  // into *keyword ("" when none) and into *length the offset behind it.
  int MatchLineKeyword(std::string_view line, std::string* keyword, size_t* length) const;

  // Appends a new variable (the script owns it); its index.
  int32_t AddVariable(TagVar* variable);

  // --- statement compiler ---------------------------------------------------
  // Compiles one logical line: 0 compiled, empty or a comment; -1 failed
  // (a message was reported).
  int32_t ParseLine(int32_t line_no, std::string& text);
  // Appends a built statement with its kind letter (the pending arguments
  // and target move into it) and returns it.
  TagOper* Append(TagOper* statement, char kind, int32_t line_no, std::string_view source,
                  std::string_view note);
  // Links the statement just appended with the one before it.
  int32_t LinkLast(int32_t line_no, std::string_view source);
  // The final linking at the end of a compile: a single-statement body that
  // is the last statement of the script is linked like any other.
  void LinkEnd();

  // --- running ----------------------------------------------------------------
  // The loop of a main script (also of a child): the last statement's
  // result; -1 when the script did not compile. A fault of the line's run
  // (run_fault.h) ends it: the run ends as any run does, the fault is
  // logged and kept in runError (a child's run passes it on to its parent).
  int32_t Run();
  // The loop of a script function called from calling: 0; -1 when the
  // function did not compile.
  int32_t RunSub(TagTelBasic* calling);
  // The single-step wait of the debugger, before a statement.
  void WaitStep();
  // The line must stop: a quit request or a pending reload of this script
  // (of the owner for a function) or of its environment. Tested after a
  // statement while the attention word is raised: the common case (nothing
  // requested, no environment) inline.
  bool QuitCondition() const {
    const TagTelBasic* s = owner != nullptr ? owner : this;
    if (s->quitRequest.load(std::memory_order_relaxed) == 0 &&
        s->reloadRequest.load(std::memory_order_relaxed) == 0 && s->environment == nullptr) {
      return false;
    }
    return QuitConditionSlow();
  }
  // The line of this script (a function's or a child's included) is being
  // stopped: its run context's stopped flag, the stop flag of the run
  // context's call object or the quit condition. Every wait of a statement
  // ends on it. Any thread holding the script.
  bool LineStopping() const;

  // --- setters used by statements, the line drive and the run loop --------
  void SetPruneFunctions(int32_t v) { pruneFunctions = v; }
  // Raises (non-zero) or clears the quit request; raising it also tells
  // every store of this script (OnStop), from the calling thread.
  void SetQuit(uint8_t flag);
  // Stops the line as the line drive does: clears the reload request,
  // raises the quit request (an "OnSysQuit(" handler then runs), sets
  // stopped and the call object's stopFlag, so the statement in progress
  // ends whatever it waits in, and rings the stop bell. Any thread.
  void RequestStop();
  // Ends the run before the next statement, without any handler (the line
  // drive closing its lines). Any thread.
  void RequestEndRun();
  // The debugger's step mode on (flag 1) or off; a step released before is
  // taken back. Any thread.
  void SetStepMode(uint8_t flag);
  bool IsQuit() const { return quitRequest.load(std::memory_order_relaxed) != 0; }
  void SetReload(uint8_t flag);
  bool IsReloadPending() const;
  // The script leaves its line (taken off it, replaced on a reload, or its
  // stand-alone run is over): stopped is raised and, for a main script of
  // a line (not a child, with a call object), its stores are told
  // (ScriptStore::OnLeaveLine: the line's temporary play and speech files
  // go) and the call's stopFlag is raised.
  // REQUIRES: called once, by whoever takes the script off its line, when
  // the script's run has ended and before the line runs another script.
  void LeaveLine();

  // The store of a slot, or null when its subsystem is absent.
  ScriptStore* store(StoreSlot slot) const { return stores_[static_cast<size_t>(slot)].get(); }
  // The same store shared: the reference keeps the store (not the script)
  // alive, so another line's thread may use it while this script is
  // replaced and freed; only a store that keeps no reference to its script
  // may be handed out so. Any thread holding the script.
  std::shared_ptr<ScriptStore> SharedStore(StoreSlot slot) const {
    return stores_[static_cast<size_t>(slot)];
  }
  // The main script whose per-line stores a statement compiled in this
  // script uses: the owner of a function, then the environment of a child.
  TagTelBasic* GetRunContext();
  const TagTelBasic* GetRunContext() const;
  // The main script (this one, or the owner of a function).
  TagTelBasic* MainScript() { return owner != nullptr ? owner : this; }

  // --- the script's definition ------------------------------------------------
  // What the compiler builds: written once by the constructor's compile (a
  // function's by its main script's), then read-only while the script runs,
  // but for the one-line compiles of "RunLine(" and "Eval(" on the line's
  // thread, which add variables and constants ("RunLine(" also a statement
  // for one run). Any thread holding the script may read name, sourcePath,
  // lineNo and initResult once the constructor has returned.
  std::string name;                    // "_main_", or the function's name
  std::string sourcePath;              // the file being or last compiled
  int32_t lineNo = 0;                  // the line (a function takes its owner's)
  int32_t runMode = 0;                 // non-zero: loaded to run on a line
  int32_t initResult = 0;              // 0 compiled; -2 errors or no call object
  uint8_t isChild = 0;                 // built by "RunVts(" with environment as parent
  uint8_t scrambled = 0;               // a loaded file was in the scrambled form
  int32_t pruneFunctions = 1;          // 1: functions never called are removed
  std::string headerText;              // a function's definition line
  TagTelBasic* owner = nullptr;        // a function's main script
  TagTelBasic* environment = nullptr;  // a child's parent, whose stores it uses
  LineCallBase* call = nullptr;        // the line's call object (not owned)
  pvector<TagOper> statements;
  int32_t statementCount = 0;
  // The jumps of the linked list are resolved (control_flow.h), once before
  // the first run, on the line's thread.
  uint8_t jumpsResolved = 0;
  pvector<TagVar> allVariables;  // every variable, owned (see kOwnerIndexBase)
  int32_t variableCount = 0;
  pvector<TagVar> variables;  // the writable ones, split after the compile
  int32_t writableCount = 0;
  pvector<TagVar> constants;  // the read-only ones
  int32_t constantCount = 0;
  int32_t namedConstantCount = 0;
  pvector<TagTelBasic> functions;  // a main script's functions, owned
  int32_t functionCount = 0;
  std::map<std::string, int32_t> callers;  // a function's call sites by caller
  pvector<TagFInclude> includes;
  int32_t includeCount = 0;
  int32_t paramCount = 0;
  std::string paramNames[kMaxParams];

  // --- the compile ---------------------------------------------------------------
  // Used while the script compiles, on the compiling thread (compile_state.h).
  CompileState compileState;

  // --- the run flags -------------------------------------------------------------
  // The run state of the line (run_loop.cc, run_attention.h): owned by the
  // script; the line's thread runs it, other threads only raise the flags
  // through the setters above (see the thread rules at the top) and the
  // monitor reads currentIndex.
  std::atomic<uint8_t> stepMode{0};
  std::atomic<uint8_t> stepRelease{0};
  TagOper* current = nullptr;
  std::atomic<uint8_t> quitRequest{0};
  std::atomic<uint8_t> reloadRequest{0};
  std::atomic<void*> reloadTarget{nullptr};
  int32_t handlerState = -1;
  std::atomic<uint8_t> stopped{0};
  std::atomic<uint8_t> endRun{0};
  std::atomic<uint8_t> notRunning{1};
  int32_t onDisconnIndex = -1;
  int32_t onSysQuitIndex = -1;
  // The run loops' attention word of the line (a main script's; its
  // functions use their owner's).
  RunAttention attention;
  // The statement running, -1 none; the monitor reads it from its thread.
  std::atomic<int32_t> currentIndex{-1};

  // --- the run's own state ---------------------------------------------------------
  // Written and read by the statements and the run loop on the line's
  // thread only (runError also by whoever holds the script after its run).
  TagVar params[kMaxParams];            // a function's parameter values
  TagTelBasic* caller = nullptr;        // a function's calling script, during a call
  TagTelBasic* runningChild = nullptr;  // the child script running in this one
  uint8_t exportVariables = 0;          // "SetRunVtsEnvt(": children import the variables
  int32_t lastCallResult = 0;           // of the last outgoing-call statement
  // The log line of the fault that ended the last run of the line's own
  // script; empty when that run ended normally.
  std::string runError;

  // --- what the debugger reads of the run (script_debug.h) -----------------
  // A main script's function running now (the innermost call), null
  // while the main flow runs: written by the call statement on the line's
  // thread, read by the window thread.
  std::atomic<TagTelBasic*> runningFunction{nullptr};
  // A main script's: held by "RunLine(" while it adds its statement to a
  // list of this script or its functions and takes it out again, and by a
  // reader of those lists on another thread.
  std::mutex shapeMutex;
  // A main script's: the line sits in WaitStep (guarded by stepWaitMutex).
  // The wait is left only under the lock, so a reader holding it while the
  // flag is set reads a script that does not run (PausedRead).
  std::mutex stepWaitMutex;
  bool inStepWait = false;

 private:
  void RunStatements(int32_t& result);
  void SetInStepWait(bool waiting);
  void EndRun(RunObserver* observer);
  void ReportFault(const RunFault& fault);
  bool QuitConditionSlow() const;
  // On a main script: whether anything the run loops act on between
  // statements holds (a request, step mode, a breakpoint, a timer, a
  // disconnect handler, an environment).
  bool KeepsAttention() const;
  // Takes the attention word down and raises it again while KeepsAttention;
  // true when the loops must give the statement the whole treatment.
  bool Attend();
  void CreateBuiltIns(bool main_script);
  void ImportVariables(const TagTelBasic& from);
  void CheckOpenConstructs(int32_t last_line);
  void PruneFunctions();
  void SplitVariables();
  void Summarize(double seconds);
  void CreateStores();
  void DeleteStore(StoreSlot slot);

  // Written by the constructor and the destructor only; a store given out
  // by SharedStore outlives the script when its holder keeps it.
  std::array<std::shared_ptr<ScriptStore>, static_cast<size_t>(StoreSlot::kCount)> stores_;
};

// The compiler of one logical line (the statement compiler): returns a
// negative value when the line failed. LoadFile hands every line to it.
using LineCompiler = int32_t (*)(TagTelBasic& script, int32_t line_no, std::string& text);
void SetLineCompiler(LineCompiler compiler);
LineCompiler GetLineCompiler();

// The error file of a line: "errmsg<line>.txt".
std::string ErrorFileName(int32_t line_no);

}  // namespace engine

#endif  // VTTEL_ENGINE_TEL_BASIC_H_
