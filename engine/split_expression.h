// SplitExpression: the splitter of a simple expression "left operator
// right" into two typed operands and one operator code. The compiler uses
// it for arguments, assignments, the conditions of "switch(" and "case(",
// and index expressions; where it fails on more than one operator the whole
// text goes to the expression compiler instead.
#ifndef VTTEL_ENGINE_SPLIT_EXPRESSION_H_
#define VTTEL_ENGINE_SPLIT_EXPRESSION_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// The longest operand text.
inline constexpr size_t kMaxOperandBytes = 511;

enum OperandKind : int32_t {
  kOperandNone = -1,
  kOperandName = 0,
  kOperandString = 1,    // quotes and escapes already removed
  kOperandInteger = 2,
  kOperandDecimal = 3,
};

struct ExprOperand {
  int32_t kind = kOperandNone;
  std::string text;
};

// Error codes; the message names the error in the system's words.
inline constexpr int kSplitManyOperators = -1;   // "操作符错误: 出现多个操作符"
inline constexpr int kSplitOpenString = -2;      // "语法错误: 字符串没有结束"
inline constexpr int kSplitBadOperator = -3;     // "不支持的操作符"
inline constexpr int kSplitNoOperator = -4;      // "语法错误: 缺少操作符"
inline constexpr int kSplitSyntax = -5;          // "语法错误"

// Splits text (a NUL byte ends it). Operator codes: '=' for "==" and "=",
// '#' for "!=" and for "!" after a left operand, '!' for "!" alone, '~',
// 'g' ">=", 'l' "<=", 'a' "&&", 'o' "||", 'R' ">>", 'L' "<<", else the
// operator character itself; 0 when there is none. Returns 0, or a
// negative code with *message set.
int SplitExpression(ExprOperand* left, char* op, ExprOperand* right, std::string_view text,
                    std::string* message);

}  // namespace engine

#endif  // VTTEL_ENGINE_SPLIT_EXPRESSION_H_
