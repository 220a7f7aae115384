// What a function value (kind 5) refers to: a script function of a compiled
// script. The compiled script derives from this; the value only needs the
// function's name for its text form and identity for comparisons.
#ifndef VTTEL_ENGINE_SCRIPT_FUNCTION_H_
#define VTTEL_ENGINE_SCRIPT_FUNCTION_H_

#include <string_view>

namespace engine {

class ScriptFunction {
 public:
  virtual ~ScriptFunction() = default;
  virtual std::string_view FunctionName() const = 0;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_SCRIPT_FUNCTION_H_
