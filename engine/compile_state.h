// CompileState: what a script's compile keeps between the lines it
// compiles: the open constructs, the pieces of the line being built, the
// temporary counter and the counts of what was reported.
//
// Ownership: a member of its script; the pending expressions are held here
// until the next appended statement takes them.
//
// Thread rules: written only by the thread compiling the script: its
// constructor, then the one-line compiles of "RunLine(" and "Eval(" on the
// line's thread (which put the constructs back afterwards). Once the
// constructor has returned, other threads may read errorCount and
// warningCount; nothing else is for them.
#ifndef VTTEL_ENGINE_COMPILE_STATE_H_
#define VTTEL_ENGINE_COMPILE_STATE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/statement.h"

namespace engine {

struct CompileState {
  // The open constructs, innermost last: statement indexes of the open
  // "if", "switch", loop and "{" statements; lines of the open function
  // definitions and block comments.
  std::vector<int32_t> ifStack, switchStack, loopStack, braceStack, functionStack, commentStack;
  // The instruction lists compiled for the arguments of the line being
  // built, and its assignment target; the appended statement takes both.
  std::vector<std::unique_ptr<TagOper>> pendingExpressions;
  TagVarRef pendingTarget;
  // The nesting depth in "{" blocks of the next statement.
  int32_t blockDepth = 0;
  // The next "__m%d" temporary (a function uses its main script's).
  int32_t tempCounter = 0;
  // Errors and warnings reported (counted in the main script).
  int32_t errorCount = 0;
  int32_t warningCount = 0;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_COMPILE_STATE_H_
