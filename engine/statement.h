// TagOper: the base of every compiled statement.
//
// The compiler builds one statement object per statement line and appends
// it to its script's list (AppendStatement); the run loop takes one at a
// time: RunArgs, Execute, the integer result into "_retVal" and the result
// target, then Next. A statement holds its source text (only when the
// configuration shows sentences), its place in the list and in the block
// structure, the links control flow follows, its kind letter, its result
// target and its compiled argument expressions.
//
// Ownership: a statement belongs to the script whose list holds it. It owns
// its source text and its compiled argument expressions. Variables named by
// the target and the arguments belong to the script's variable lists.
//
// Thread rules: used by its line's thread only, except the breakpoint byte,
// which the debugger sets from the window thread (SetBreakpoint also raises
// the run loops' attention word of the script's line, run_attention.h).
#ifndef VTTEL_ENGINE_STATEMENT_H_
#define VTTEL_ENGINE_STATEMENT_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_attention.h"
#include "engine/tag_var.h"

namespace engine {

// Kind letters of statements.
enum KindLetter : char {
  kKindIf = 'i',
  kKindElseIf = 'E',
  kKindElse = 'e',
  kKindLoop = 'w',
  kKindSwitch = 's',
  kKindCase = 'c',
  kKindDefault = 'd',
  kKindBreak = 'b',
  kKindContinue = 'o',
  kKindBlockStart = '{',
  kKindBlockEnd = '}',
  kKindClose = 'x',
  kKindReturn = 'r',      // "_retVal" untouched; the run loop leaves after it
  kKindValue = 'v',       // writes its own value into its target
  kKindCall = 'R',        // leaves its value in "_retVal"
  kKindAssign = '=',
  kKindGeneral = 'g',
};

// Where a statement's result goes: the variable itself, or with an index
// the variable's element under the index's value (the variable becoming a
// map first when it is not one).
class TagVarRef {
 public:
  void Set(TagVar* variable, TagVar* index) {
    variable_ = variable;
    index_ = index;
  }
  bool empty() const { return variable_ == nullptr; }
  TagVar* variable() const { return variable_; }
  TagVar* index() const { return index_; }

  // Assigns value to the target; nothing without a variable.
  void Assign(const TagVar& value) const {
    if (variable_ == nullptr) return;
    if (index_ != nullptr) {
      variable_->AssignElement(*index_, value);
    } else {
      variable_->Assign(value);
    }
  }
  // Assigns the target (an element is created when missing) to dest.
  void CopyTo(TagVar& dest) const;

 private:
  TagVar* variable_ = nullptr;
  TagVar* index_ = nullptr;
};

class TagOper {
 public:
  TagOper() = default;
  virtual ~TagOper() = default;
  TagOper(const TagOper&) = delete;
  TagOper& operator=(const TagOper&) = delete;

  // Performs the statement: 0 or more for success, negative for failure.
  virtual int32_t Execute() = 0;
  // The statement that runs next; null ends the list.
  virtual TagOper* Next() { return next; }

  // Clears the breakpoint and single-body bytes and stores the line's
  // source text (only when sentences are shown), line number, list index
  // and kind letter. The note (the line's comment) is not kept.
  void Init(std::string_view source, std::string_view note, int32_t line, int32_t index,
            char kind);
  void SetTarget(TagVar* variable, TagVar* index) { resultTarget.Set(variable, index); }
  void StoreResult(const TagVar& value) const { resultTarget.Assign(value); }

  // Executes every argument expression in order.
  void RunArgs() {
    for (const auto& expression : argExpressions) expression->Execute();
  }

  // Sets or clears the breakpoint byte; the run loops' attention (when the
  // statement was appended to a script) counts it and is raised.
  void SetBreakpoint(uint8_t on);
  bool IsBreakpoint() const { return breakpoint.load(std::memory_order_relaxed) != 0; }

  // The names the source text mentions (keywords too), for the debugger:
  // words separated by blanks, tabs and + - * / % > < ! = ( ) | & [ ] , ^ ~
  // that do not begin with a digit or '.'; quoted text is skipped; the
  // scan stops at the first ';'. Returns the set's size.
  int32_t CollectNames(std::set<std::string>& names) const;

  std::string sourceText;
  int32_t lineNumber = 0;
  int32_t blockDepth = 0;
  int32_t statementIndex = 0;
  std::atomic<uint8_t> breakpoint{0};
  TagOper* partner = nullptr;
  char kindLetter = kKindGeneral;
  TagOper* blockOpener = nullptr;
  TagOper* next = nullptr;
  TagOper* previousExecuted = nullptr;
  uint8_t singleBody = 0;
  TagVarRef resultTarget;
  // The compiled expressions of the arguments that are expressions (each
  // an expression statement that leaves its value in its result variable).
  std::vector<std::unique_ptr<TagOper>> argExpressions;
  // The attention word of the run loops of the script's line (null before
  // the statement is appended).
  RunAttention* attention = nullptr;
  // Set by ResolveJumps (control_flow.h) on a statement that only passes
  // control on ("{", "}", "else", "case(", "default(", "continue;"): the
  // first statement that does more, reached from it (null: the list's end).
  uint8_t passesOn = 0;
  TagOper* jumpLanding = nullptr;
  // Also set by ResolveJumps: the statement's Next when the links alone
  // decide it (every statement but the conditions, loop heads, "switch("
  // and "break;"), so the run loops need no call for it.
  uint8_t nextFixed = 0;
  TagOper* fixedNext = nullptr;
  // Also set by ResolveJumps: the statement has no argument expressions and
  // no assignment target, and its result goes to "_retVal" as an integer
  // (no value, call or return statement), so the run loops store it inline.
  uint8_t plainResult = 0;
};

// The statement that runs after the jumps from s: s itself unless it only
// passes control on; then "_retVal" gets the 0 that each passed statement
// would have stored. For the run loops while nothing observes statements.
inline TagOper* PassJumps(TagOper* s, TagVar& ret_val) {
  if (s == nullptr || s->passesOn == 0) return s;
  ret_val.AssignInt(0);
  return s->jumpLanding;
}

// The statement after s (already executed) for the run loops while nothing
// observes statements: its Next with the jumps from there passed over.
inline TagOper* FollowingStatement(TagOper& s, TagVar& ret_val) {
  return PassJumps(s.nextFixed != 0 ? s.fixedNext : s.Next(), ret_val);
}

// What the compiler hands to the statement being appended.
struct AppendContext {
  std::vector<TagOper*>* statements = nullptr;  // the script's list
  std::vector<std::unique_ptr<TagOper>> pendingArgs;  // moved into the statement
  TagVarRef pendingTarget;                      // the line's assignment target
  TagVar* retVal = nullptr;                     // the script's "_retVal"
  RunAttention* attention = nullptr;            // the line's run attention
  int32_t depth = 0;                            // the script's brace depth
  std::string_view source;
  std::string_view note;
  int32_t line = 0;
};

// Appends a statement (the list takes it): its index is its place, the
// pending arguments and target move into it (a 'v' statement without a
// target writes into "_retVal"), its depth is the current depth, its block
// opener the previous statement's when the depth is not 0, and the previous
// statement's next becomes it.
void AppendStatement(TagOper* statement, char kind, AppendContext& context);

}  // namespace engine

#endif  // VTTEL_ENGINE_STATEMENT_H_
