// Small helpers that the statement families of the layers above the engine
// share: building a statement class from a keyword row and writing
// out-values.
#ifndef VTTEL_ENGINE_STATEMENT_ARGS_H_
#define VTTEL_ENGINE_STATEMENT_ARGS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/statement.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"

namespace engine {

// A factory that builds S from the line's arguments (S takes the
// StatementBuild and keeps what it needs).
template <typename S>
TagOper* BuildStatement(const StatementBuild& build, std::string*) {
  return new S(build);
}

// The argument i of a build; the compiler gives exactly the row's count.
inline TagVar* Arg(const StatementBuild& build, size_t i) {
  return build.args.at(i);
}

// Hands a text value to a 'v' statement's assignment target.
inline void StoreText(const TagOper& s, std::string_view text) {
  TagVar v;
  v.SetBytes(text.data(), text.size());
  s.StoreResult(v);
}

inline void StoreFloat(const TagOper& s, double d) {
  TagVar v;
  v.SetFloat(d);
  s.StoreResult(v);
}

// The integer a double gives when truncated toward zero, by the values'
// own rule (GetInt of a float).
inline int32_t TruncateDouble(double d) {
  TagVar v;
  v.SetFloat(d);
  return v.GetInt();
}

}  // namespace engine

#endif  // VTTEL_ENGINE_STATEMENT_ARGS_H_
