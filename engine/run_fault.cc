#include "engine/run_fault.h"

#include <cstdio>

#include "engine/statement.h"
#include "engine/tel_basic.h"

namespace engine {

thread_local int32_t ScriptDepth::depth_ = 0;

RunFault::RunFault(RunFaultKind kind, const TagTelBasic& script,
                   const TagOper* statement) noexcept
    : kind_(kind) {
  char cause[64] = "out of memory";
  if (kind == RunFaultKind::kDepth) {
    std::snprintf(cause, sizeof cause, "script calls nested deeper than %d levels",
                  kMaxScriptDepth);
  }
  std::snprintf(text_, sizeof text_, "%d Run ended: %s [FILE=%s:LINE=%d:%s]", script.lineNo,
                cause, script.sourcePath.c_str(), statement != nullptr ? statement->lineNumber : 0,
                statement != nullptr ? statement->sourceText.c_str() : "");
}

}  // namespace engine
