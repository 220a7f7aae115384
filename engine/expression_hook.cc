#include "engine/expression_hook.h"

#include <atomic>

namespace engine {
namespace {

std::atomic<ExpressionCompiler> expression_compiler{nullptr};

}  // namespace

void SetExpressionCompiler(ExpressionCompiler compiler) {
  expression_compiler.store(compiler, std::memory_order_release);
}

ExpressionCompiler GetExpressionCompiler() {
  return expression_compiler.load(std::memory_order_acquire);
}

}  // namespace engine
