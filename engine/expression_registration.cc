// Installs the expression compiler into the hook through which the compile
// operations compile argument expressions (expression_hook.h).
#include "engine/complex_expre.h"
#include "engine/expression_hook.h"
#include "engine/tel_basic.h"

namespace engine {
namespace {

// An argument expression: its value lands in the new temporary temp_name
// (made with an empty note), which becomes the argument variable.
TagOper* CompileArgumentExpression(TagTelBasic& script, int32_t /*line_no*/, std::string_view text,
                                   std::string_view temp_name, TagVar** result, std::string* error,
                                   std::string* warning) {
  *result = nullptr;
  TagExpre* expression = CompileExpression(script, text, temp_name, nullptr, "", error, warning);
  if (expression == nullptr) return nullptr;
  *result = expression->ResultVariable();
  return expression;
}

}  // namespace

void RegisterExpressionCompiler() { SetExpressionCompiler(&CompileArgumentExpression); }

}  // namespace engine
