// Small helpers the services' statement families share: registering a
// statement class by keyword and writing out-values. Internal to services/.
#ifndef VTTEL_SERVICES_STATEMENT_ARGS_H_
#define VTTEL_SERVICES_STATEMENT_ARGS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/statement.h"
#include "engine/statement_registry.h"
#include "engine/tag_var.h"

namespace services {

// A factory that builds S from the line's arguments (S takes the
// StatementBuild and keeps what it needs).
template <typename S>
engine::TagOper* BuildStatement(const engine::StatementBuild& build, std::string*) {
  return new S(build);
}

// The argument i of a build; the compiler gives exactly the row's count.
inline engine::TagVar* Arg(const engine::StatementBuild& build, size_t i) {
  return build.args.at(i);
}

// Hands a text value to a 'v' statement's assignment target.
inline void StoreText(const engine::TagOper& s, std::string_view text) {
  engine::TagVar v;
  v.SetBytes(text.data(), text.size());
  s.StoreResult(v);
}

inline void StoreFloat(const engine::TagOper& s, double d) {
  engine::TagVar v;
  v.SetFloat(d);
  s.StoreResult(v);
}

// The integer a double gives when truncated toward zero, by the values'
// own rule (GetInt of a float).
inline int32_t TruncateDouble(double d) {
  engine::TagVar v;
  v.SetFloat(d);
  return v.GetInt();
}

}  // namespace services

#endif  // VTTEL_SERVICES_STATEMENT_ARGS_H_
