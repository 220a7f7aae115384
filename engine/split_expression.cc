#include "engine/split_expression.h"

#include <cstring>

#include "platform/gbk.h"

namespace engine {
namespace {

bool IsOperatorChar(char c) { return c != '\0' && std::strchr("*/%=!><~^|&()[]", c) != nullptr; }

// The two-character operators and their codes.
char TwoCharCode(char a, char b) {
  static const struct {
    char a, b, code;
  } kPairs[] = {{'=', '=', '='}, {'!', '=', '#'}, {'>', '=', 'g'}, {'<', '=', 'l'},
                {'&', '&', 'a'}, {'|', '|', 'o'}, {'>', '>', 'R'}, {'<', '<', 'L'}};
  for (const auto& p : kPairs) {
    if (p.a == a && p.b == b) return p.code;
  }
  return 0;
}

char EscapedChar(char c) {
  switch (c) {
    case '\\': return '\\';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case '"': return '"';
    default: return 0;
  }
}

// One pass over the text, left to right.
class Splitter {
 public:
  Splitter(ExprOperand* left, char* op, ExprOperand* right, std::string* message)
      : sides_{left, right}, op_(op), message_(message) {}

  int Run(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    for (size_t i = 0; i < text.size(); ++i) {
      const char next = i + 1 < text.size() ? text[i + 1] : '\0';
      int r = in_literal_ ? Literal(text[i], next, &i) : Plain(text[i], next, &i);
      if (r != 0) return r;
    }
    return Finish();
  }

 private:
  ExprOperand& current() { return *sides_[side_]; }

  int Fail(int code, const char* message) {
    *message_ = message;
    return code;
  }

  int Store(char c) {
    if (current().text.size() >= kMaxOperandBytes) return Fail(kSplitSyntax, "语法错误");
    current().text.push_back(c);
    return 0;
  }

  // The current operand is finished: the left one hands over to the right.
  void EndOperand() {
    if (side_ == 0) {
      side_ = 1;
    } else {
      right_ended_ = true;
    }
  }

  int Literal(char c, char next, size_t* i) {
    if (c == '\\' && EscapedChar(next) != 0) {
      ++*i;
      return Store(EscapedChar(next));
    }
    if (c == '"') {
      in_literal_ = false;
      EndOperand();
      return 0;
    }
    return Store(c);
  }

  int Plain(char c, char next, size_t* i) {
    if (after_semicolon_) return platform::IsAsciiBlank(c) ? 0 : Fail(kSplitSyntax, "语法错误");
    if (c == ';') {
      after_semicolon_ = true;
      return 0;
    }
    if (c == '"') {
      if (!current().text.empty() || current().kind != kOperandNone || right_ended_) {
        return Fail(kSplitSyntax, "语法错误");
      }
      in_literal_ = true;
      current().kind = kOperandString;
      return 0;
    }
    if (c == '\'' || c == ',' || c == ':' || c == '?') return Fail(kSplitBadOperator, "不支持的操作符");
    if (IsOperator(c, next)) return Operator(c, next, i);
    if (platform::IsAsciiBlank(c)) {
      if (!current().text.empty()) EndOperand();
      return 0;
    }
    return OperandChar(c);
  }

  // '+' at the very start of the left operand belongs to it, and so does
  // '-' there when a digit follows (a negative number).
  bool IsOperator(char c, char next) {
    const bool left_start = side_ == 0 && sides_[0]->text.empty();
    if (c == '+') return !left_start;
    if (c == '-') return !(left_start && platform::IsAsciiDigit(next));
    return IsOperatorChar(c);
  }

  int Operator(char c, char next, size_t* i) {
    if (*op_ != 0) return Fail(kSplitManyOperators, "操作符错误: 出现多个操作符");
    if (char code = TwoCharCode(c, next); code != 0) {
      *op_ = code;
      ++*i;
    } else if (c == '!') {
      *op_ = sides_[0]->text.empty() && sides_[0]->kind == kOperandNone ? '!' : '#';
    } else {
      *op_ = c;
    }
    side_ = 1;
    return 0;
  }

  // A '.' makes a number decimal; the first character decides number or
  // name; a number goes on with digits and '.' only, a name never takes '.'.
  int OperandChar(char c) {
    if (side_ == 1 && right_ended_) return Fail(kSplitSyntax, "语法错误");
    ExprOperand& operand = current();
    const bool first = operand.text.empty();
    if (int r = Store(c); r != 0) return r;
    if (first) {
      operand.kind = c == '.'                                  ? kOperandDecimal
                     : (c == '-' || platform::IsAsciiDigit(c)) ? kOperandInteger
                                                               : kOperandName;
      return 0;
    }
    if (c == '.') {
      if (operand.kind == kOperandName) return Fail(kSplitSyntax, "语法错误");
      operand.kind = kOperandDecimal;
      return 0;
    }
    if ((operand.kind == kOperandInteger || operand.kind == kOperandDecimal) &&
        !platform::IsAsciiDigit(c)) {
      return Fail(kSplitSyntax, "语法错误");
    }
    return 0;
  }

  int Finish() {
    if (in_literal_) return Fail(kSplitOpenString, "语法错误: 字符串没有结束");
    if (*op_ == 0 && !sides_[1]->text.empty()) return Fail(kSplitNoOperator, "语法错误: 缺少操作符");
    for (ExprOperand* operand : sides_) {
      if (operand->kind != kOperandNone || operand->text.empty()) continue;
      const char c = operand->text[0];
      operand->kind = (platform::IsAsciiDigit(c) || c == '-') ? kOperandInteger : kOperandName;
    }
    return 0;
  }

  ExprOperand* sides_[2];
  char* op_;
  std::string* message_;
  int side_ = 0;
  bool in_literal_ = false;
  bool right_ended_ = false;
  bool after_semicolon_ = false;
};

}  // namespace

int SplitExpression(ExprOperand* left, char* op, ExprOperand* right, std::string_view text,
                    std::string* message) {
  *left = ExprOperand();
  *right = ExprOperand();
  *op = 0;
  message->clear();
  return Splitter(left, op, right, message).Run(text);
}

}  // namespace engine
