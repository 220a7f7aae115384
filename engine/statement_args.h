// Small helpers that the statement families of the layers above the engine
// share: building a statement class from a keyword row, keeping the line's
// arguments and writing out-values.
#ifndef VTTEL_ENGINE_STATEMENT_ARGS_H_
#define VTTEL_ENGINE_STATEMENT_ARGS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The base of a statement that keeps its line's arguments and the script
// that compiled it. The arguments and the script belong to the script,
// which outlives the statement.
class ArgsStatement : public TagOper {
 public:
  // Argument i of the line (0-based; the row's count, so always present).
  TagVar& Argument(size_t i) const { return *args_.at(i); }
  // The script that compiled the statement; null only for a statement
  // built outside a script.
  TagTelBasic* Compiling() const { return script_; }

 protected:
  explicit ArgsStatement(const StatementBuild& build) : args_(build.args), script_(build.script) {}

 private:
  std::vector<TagVar*> args_;
  TagTelBasic* script_;
};

// Writes an integer result into a variable argument and hands it back (the
// statements whose result is also written out).
inline int32_t StoreInt(TagVar& out, int32_t value) {
  out.AssignInt(value);
  return value;
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
