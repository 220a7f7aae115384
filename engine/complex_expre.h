// TagComplexExpre: the expression compiler.
//
// Turns the text of an expression into the three-address instructions a
// TagExpre runs (calculate.h). It tokenizes, checks the token sequence,
// parses by recursive descent and emits one instruction per operator
// application into a fresh temporary "__m%d" (a script variable made once,
// at compile time); the last instruction is then pointed at the real
// destination. Used for the right side of an assignment the simple form
// cannot take, for every statement argument that is an expression, and by
// "Eval(" at run time. Calls of functions inside an expression are refused.
//
// Precedence, lowest first; two-operand levels are left-associative:
//   1  "||" "&&"   (one level: a || b && c is (a || b) && c; no short cut)
//   2  "&" "^" "|"
//   3  "==" ">" "<" ">=" "<=" "!="   (a single "=" compares, with a warning)
//   4  "<<" ">>"
//   5  "+" "-"
//   6  "*" "/" "%"
//   7  one prefix "+" "-" "~" "!"
//   8  element access "[" expression "]", repeatable
//   9  "(" expression ")" or an operand
//
// Errors do not stop the parse: every message found is appended to the
// error text (the caller reports the whole text once and discards the
// instructions); warnings go to the warning text.
//
// Thread rules: a compile runs on the thread that compiles the script (a
// line's load thread, or its run thread for "Eval(").
#ifndef VTTEL_ENGINE_COMPLEX_EXPRE_H_
#define VTTEL_ENGINE_COMPLEX_EXPRE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calculate.h"
#include "engine/split_expression.h"

namespace engine {

class TagTelBasic;
class TagVar;

enum TokenKind : int32_t {
  kTokenOperator = 1,
  kTokenOperand = 2,
};

struct TagToken {
  std::string text;
  int32_t kind = kTokenOperand;
};

// The note of the temporaries.
inline constexpr char kTempNote[] = "中间变量";

class TagComplexExpre {
 public:
  // Compiles text into *list (emptied first) so that its value lands in the
  // variable dest_name (found, or created with note), or with dest_index in
  // its element dest[dest_index]. *error and *warning are emptied first and
  // then appended to; the compile failed when *error is not empty. The
  // caller owns the list and the texts, which must outlive the call.
  TagComplexExpre(std::string_view text, TagTelBasic* script, std::string_view dest_name,
                  TagVar* dest_index, std::string_view note, std::vector<TagCalculate>* list,
                  std::string* error, std::string* warning);
  // Only tokenizes (the statement compiler asks whether a right side is a
  // chain of additions for TagMulPlus).
  explicit TagComplexExpre(std::string_view text);
  TagComplexExpre(const TagComplexExpre&) = delete;
  TagComplexExpre& operator=(const TagComplexExpre&) = delete;

  // The tokenizer's result: the number of tokens, or -1 on an error.
  int32_t TokenCount() const { return tokenResult_; }
  const std::vector<TagToken>& tokens() const { return tokens_; }
  // True when the text's only operators are "+", more than two of them.
  bool OnlyPlus() const { return onlyPlus_; }

 private:
  int32_t Tokenize(std::string_view text);
  // The checks of the token sequence; false after an error.
  bool CheckTokens();

  const TagToken* Peek() const;
  bool PeekOperator(std::string_view op) const;
  void Advance() { ++position_; }

  // The levels; each returns the text of its operand (an operand token or
  // the temporary holding its value; "" when the operand is missing).
  std::string ParseLogic();
  std::string ParseBinary(int level);
  std::string ParsePrefix();
  std::string ParsePostfix();
  std::string ParsePrimary();

  // Compiles "text" into the next temporary and returns its name.
  std::string Emit(const std::string& text);
  // The three-address compile: text is "operand", "operand op operand" or
  // "op operand"; the instruction writes into dest_name (found, or created
  // with note). Appends the instruction and returns true, or appends the
  // messages to the error text and returns false. *created tells whether
  // the destination was made by this call.
  bool CompileThreeAddress(std::string_view dest_name, std::string_view text,
                           std::string_view note, bool* created);
  // Resolves a present operand; null after appending its message.
  TagVar* ResolveOperand(const ExprOperand& operand);

  std::vector<TagToken> tokens_;
  int32_t tokenResult_ = 0;
  size_t position_ = 0;
  TagTelBasic* script_ = nullptr;
  std::vector<TagCalculate>* list_ = nullptr;
  std::string* error_ = nullptr;
  std::string* warning_ = nullptr;
  std::string ownWarning_;  // the tokenizing constructor's warning sink
  int32_t parenDepth_ = 0;
  int32_t bracketDepth_ = 0;
  bool onlyPlus_ = false;
  // The temporary the last emission wrote and whether it made it.
  std::string lastTemp_;
  bool lastTempCreated_ = false;
};

// Compiles text into a new expression statement whose result variable is
// dest_name (or its element under dest_index). Returns null when *error is
// not empty; the caller owns the statement.
TagExpre* CompileExpression(TagTelBasic& script, std::string_view text, std::string_view dest_name,
                            TagVar* dest_index, std::string_view note, std::string* error,
                            std::string* warning);

// Installs the expression compiler into the compile operations' hook
// (expression_hook.h). Called once at start-up, before scripts compile.
void RegisterExpressionCompiler();

}  // namespace engine

#endif  // VTTEL_ENGINE_COMPLEX_EXPRE_H_
