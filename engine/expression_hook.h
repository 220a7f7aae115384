// The entry point of the expression compiler as the compile operations see
// it. ParseArgs compiles an argument that holds an operator through the
// compiler installed here; the expression compiler installs itself at
// start-up, and tests install small compilers of their own.
//
// Thread rules: set once before scripts are compiled (or by a test between
// compiles); read by every line thread's compiler.
#ifndef VTTEL_ENGINE_EXPRESSION_HOOK_H_
#define VTTEL_ENGINE_EXPRESSION_HOOK_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

class TagOper;
class TagTelBasic;
class TagVar;

// Compiles the expression text into instructions whose value lands in a new
// temporary variable; returns the instruction list (an expression statement the
// caller owns) and the temporary, or null with *error set; *warning may be set.
using ExpressionCompiler = TagOper* (*)(TagTelBasic& script, int32_t line_no, std::string_view text,
                                        std::string_view temp_name, TagVar** result,
                                        std::string* error, std::string* warning);

// Installs the compiler (null removes it).
void SetExpressionCompiler(ExpressionCompiler compiler);
// The installed compiler, or null.
ExpressionCompiler GetExpressionCompiler();

}  // namespace engine

#endif  // VTTEL_ENGINE_EXPRESSION_HOOK_H_
