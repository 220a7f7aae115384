#include "engine/complex_expre.h"

#include <algorithm>
#include <array>

#include "engine/split_expression.h"
#include "engine/tel_basic.h"
#include "platform/gbk.h"

namespace engine {
namespace {

// The compiler's messages.
constexpr char kMsgEmpty[] = "语法错误, 表达式为空！";
constexpr char kMsgNoOperator[] = "语法错误, 缺少操作符!";
constexpr char kMsgOperandPair[] = "语法错误, 缺少操作符:";
constexpr char kMsgCall[] = "复杂表达式内暂不支持函数调用 ";
constexpr char kMsgUnmatched[] = "没有匹配的括号 ";
constexpr char kMsgSingleEqual[] = "'='比较将来可能不再支持, 在表达式中最好使用'=='表示等于比较";
constexpr char kMsgIllegalChar[] = "非法字符";
constexpr char kMsgNotAssigned[] = "表达式中的变量没有预先赋值:";
constexpr char kMsgSyntax[] = "语法错误:";
constexpr char kMsgNoOperand[] = "没有可操作的变量.";

// The characters that end an operand and form operator tokens.
bool IsOperatorChar(unsigned char c) {
  switch (c) {
    case '+': case '-': case '*': case '/': case '%': case '>': case '<': case '!':
    case '=': case '(': case ')': case '|': case '&': case '[': case ']': case ',':
    case '^': case '~':
      return true;
    default:
      return false;
  }
}

// The operators written with two characters.
bool IsPair(unsigned char first, unsigned char second) {
  static constexpr std::array<const char*, 8> kPairs = {"||", "&&", "==", ">=",
                                                        ">>", "<=", "<<", "!="};
  return std::any_of(kPairs.begin(), kPairs.end(), [&](const char* p) {
    return static_cast<unsigned char>(p[0]) == first && static_cast<unsigned char>(p[1]) == second;
  });
}

// The two-operand levels 2 to 6 and their operators.
constexpr int kFirstBinaryLevel = 2;
constexpr int kLastBinaryLevel = 6;
const std::vector<std::string_view>& LevelOperators(int level) {
  static const std::array<std::vector<std::string_view>, 5> kLevels = {{
      {"&", "^", "|"},
      {"==", ">", "<", ">=", "<=", "!="},
      {"<<", ">>"},
      {"+", "-"},
      {"*", "/", "%"},
  }};
  return kLevels[static_cast<size_t>(level - kFirstBinaryLevel)];
}

// Opcodes that take one operand (the copy and the prefix operators).
bool IsPrefixOpcode(char op) { return op == '!' || op == '~' || op == '-'; }

}  // namespace

// --- tokenizer -------------------------------------------------------------

TagComplexExpre::TagComplexExpre(std::string_view text) : warning_(&ownWarning_) {
  tokenResult_ = Tokenize(text);
}

int32_t TagComplexExpre::Tokenize(std::string_view text) {
  tokens_.clear();
  int32_t plus_count = 0;
  bool only_plus = true;
  std::string operand;
  bool in_string = false;
  bool after_string = false;  // the operand ended with a closing quote
  auto flush = [&] {
    if (!operand.empty()) tokens_.push_back({operand, kTokenOperand});
    operand.clear();
    after_string = false;
  };
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (in_string) {
      operand += static_cast<char>(c);
      if (c == '\\' && i + 1 < n) {
        operand += text[++i];
      } else if (c == '"') {
        in_string = false;
        after_string = true;
      }
      continue;
    }
    if (c == '\0' || c == ';') break;
    if (c == '"') {
      if (!operand.empty()) return -1;  // a quote inside an operand
      in_string = true;
      operand += '"';
      continue;
    }
    if (c > 128) {
      if (error_ != nullptr) *error_ += kMsgIllegalChar;
      return -1;
    }
    if (c == ' ' || c == '\t') {
      flush();
      continue;
    }
    if (IsOperatorChar(c)) {
      flush();
      if (c == '+') {
        ++plus_count;
      } else {
        only_plus = false;
      }
      const unsigned char next = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : 0;
      if (IsPair(c, next)) {
        tokens_.push_back({std::string{static_cast<char>(c), static_cast<char>(next)},
                           kTokenOperator});
        ++i;
      } else if (c == '=') {
        tokens_.push_back({"==", kTokenOperator});
        *warning_ += kMsgSingleEqual;
      } else {
        tokens_.push_back({std::string(1, static_cast<char>(c)), kTokenOperator});
      }
      continue;
    }
    if (after_string) return -1;  // operand characters behind a closing quote
    if (!operand.empty()) {
      const unsigned char first = static_cast<unsigned char>(operand[0]);
      const bool number = platform::IsAsciiDigit(first) || first == '.';
      // No exponent, no hexadecimal.
      if (number && !platform::IsAsciiDigit(c) && c != '.') return -1;
    }
    operand += static_cast<char>(c);
  }
  flush();
  onlyPlus_ = only_plus && plus_count > 2;
  return static_cast<int32_t>(tokens_.size());
}

// --- compiling --------------------------------------------------------------

TagComplexExpre::TagComplexExpre(std::string_view text, TagTelBasic* script,
                                 std::string_view dest_name, TagVar* dest_index,
                                 std::string_view note, std::vector<TagCalculate>* list,
                                 std::string* error, std::string* warning)
    : script_(script), list_(list), error_(error), warning_(warning) {
  error_->clear();
  warning_->clear();
  list_->clear();
  tokenResult_ = Tokenize(text);
  if (tokenResult_ <= 0) {
    *error_ = tokenResult_ == 0 ? kMsgEmpty : kMsgNoOperator;
    return;
  }
  if (!CheckTokens()) return;
  std::string result = ParseLogic();
  if (const TagToken* rest = Peek(); rest != nullptr) {
    // Tokens no level takes, e.g. "a ! b" or "(a)(b)".
    *error_ += kMsgSyntax;
    *error_ += rest->text;
  }
  if (!error_->empty()) return;

  // Finishing: the value goes to the destination.
  const bool last_is_result = !list_->empty() && result == lastTemp_;
  if (!last_is_result) {
    bool created = false;
    if (!CompileThreeAddress(dest_name, result, note, &created)) return;
  } else {
    TagCalculate& last = list_->back();
    if (lastTempCreated_) {
      // The temporary is no longer written: it goes again.
      auto& vars = script_->allVariables.items();
      auto it = std::find(vars.begin(), vars.end(), last.dest);
      if (it != vars.end()) {
        delete *it;
        vars.erase(it);
      }
    }
    TagVar* dest = nullptr;
    script_->DeclareVariable(dest_name, &dest, note);
    last.dest = dest;
    if (dest == nullptr) {
      *error_ += kMsgSyntax;
      *error_ += dest_name;
      return;
    }
  }
  list_->back().destIndex = dest_index;
}

bool TagComplexExpre::CheckTokens() {
  for (size_t i = 1; i < tokens_.size(); ++i) {
    const TagToken& before = tokens_[i - 1];
    const TagToken& t = tokens_[i];
    if (before.kind != kTokenOperand) continue;
    if (t.kind == kTokenOperand) {
      *error_ += kMsgOperandPair;
      *error_ += before.text;
      *error_ += ' ';
      *error_ += t.text;
      return false;
    }
    if (t.text == "(") {
      *error_ += kMsgCall;
      return false;
    }
  }
  return true;
}

const TagToken* TagComplexExpre::Peek() const {
  return position_ < tokens_.size() ? &tokens_[position_] : nullptr;
}

bool TagComplexExpre::PeekOperator(std::string_view op) const {
  const TagToken* t = Peek();
  return t != nullptr && t->kind == kTokenOperator && t->text == op;
}

// Level 1: "||" and "&&"; a ")" or "]" that closes nothing is reported and
// skipped.
std::string TagComplexExpre::ParseLogic() {
  std::string left = ParseBinary(kFirstBinaryLevel);
  for (;;) {
    const TagToken* t = Peek();
    if (t == nullptr || t->kind != kTokenOperator) break;
    if (t->text == "||" || t->text == "&&") {
      const std::string op = t->text;
      Advance();
      const std::string right = ParseBinary(kFirstBinaryLevel);
      left = Emit(left + op + right);
    } else if ((t->text == ")" && parenDepth_ == 0) || (t->text == "]" && bracketDepth_ == 0)) {
      *error_ += t->text;
      *error_ += kMsgUnmatched;
      Advance();
    } else {
      break;
    }
  }
  return left;
}

// Levels 2 to 6.
std::string TagComplexExpre::ParseBinary(int level) {
  auto operand = [&] { return level < kLastBinaryLevel ? ParseBinary(level + 1) : ParsePrefix(); };
  std::string left = operand();
  const std::vector<std::string_view>& ops = LevelOperators(level);
  for (;;) {
    const TagToken* t = Peek();
    if (t == nullptr || t->kind != kTokenOperator ||
        std::find(ops.begin(), ops.end(), t->text) == ops.end()) {
      break;
    }
    const std::string op = t->text;
    Advance();
    const std::string right = operand();
    left = Emit(left + op + right);
  }
  return left;
}

// Level 7: one prefix operator.
std::string TagComplexExpre::ParsePrefix() {
  const TagToken* t = Peek();
  if (t != nullptr && t->kind == kTokenOperator &&
      (t->text == "+" || t->text == "-" || t->text == "~" || t->text == "!")) {
    const std::string op = t->text;
    Advance();
    return Emit(op + ParsePostfix());
  }
  return ParsePostfix();
}

// Level 8: element access, repeatable.
std::string TagComplexExpre::ParsePostfix() {
  std::string left = ParsePrimary();
  while (PeekOperator("[")) {
    Advance();
    ++bracketDepth_;
    const std::string index = ParseLogic();
    if (PeekOperator("]")) {
      Advance();
    } else {
      *error_ += "[";
      *error_ += kMsgUnmatched;
    }
    --bracketDepth_;
    left = Emit(left + "[" + index);
  }
  return left;
}

// Level 9: a parenthesised expression or an operand.
std::string TagComplexExpre::ParsePrimary() {
  const TagToken* t = Peek();
  if (t == nullptr) return std::string();
  if (t->kind == kTokenOperand) {
    Advance();
    return t->text;
  }
  if (t->text != "(") return std::string();  // the operand is missing
  Advance();
  ++parenDepth_;
  std::string inner = ParseLogic();
  if (PeekOperator(")")) {
    Advance();
  } else {
    *error_ += "(";
    *error_ += kMsgUnmatched;
  }
  --parenDepth_;
  return inner;
}

std::string TagComplexExpre::Emit(const std::string& text) {
  std::string temp = script_->NewTempName();
  bool created = false;
  if (CompileThreeAddress(temp, text, kTempNote, &created)) {
    lastTemp_ = temp;
    lastTempCreated_ = created;
  }
  return temp;
}

TagVar* TagComplexExpre::ResolveOperand(const ExprOperand& operand) {
  TagVar* v = nullptr;
  script_->ResolveOperand(operand, &v);
  if (v == nullptr) {
    *error_ += operand.kind == kOperandName ? kMsgNotAssigned : kMsgSyntax;
    *error_ += operand.text;
  }
  return v;
}

bool TagComplexExpre::CompileThreeAddress(std::string_view dest_name, std::string_view text,
                                          std::string_view note, bool* created) {
  ExprOperand left, right;
  char op = 0;
  std::string message;
  bool ok = true;
  TagVar* left_var = nullptr;
  TagVar* right_var = nullptr;
  if (SplitExpression(&left, &op, &right, text, &message) != 0) {
    *error_ += message;
    ok = false;
  } else {
    if (left.kind != kOperandNone) left_var = ResolveOperand(left);
    if (right.kind != kOperandNone) right_var = ResolveOperand(right);
    if (left.kind == kOperandNone && right.kind == kOperandNone) {
      *error_ += kMsgNoOperand;
      ok = false;
    } else if (left_var == nullptr && left.kind != kOperandNone) {
      ok = false;
    } else if (right_var == nullptr && right.kind != kOperandNone) {
      ok = false;
    } else if ((left_var != nullptr && right_var == nullptr && op != 0) ||
               (left_var == nullptr && !IsPrefixOpcode(op))) {
      // An operator without its second operand ("a +"), or a one-operand
      // form of a two-operand operator ("* a").
      *error_ += kMsgSyntax;
      *error_ += text;
      ok = false;
    }
  }
  // The destination is made even when the instruction failed, so that the
  // instructions that use it report only their own faults.
  TagVar* dest = nullptr;
  *created = script_->FindVariable(dest_name, nullptr) < 0;
  script_->DeclareVariable(dest_name, &dest, note);
  if (!ok) return false;
  if (dest == nullptr) {
    *error_ += kMsgSyntax;
    *error_ += dest_name;
    return false;
  }
  const auto opcode = static_cast<uint8_t>(op);
  if (left_var != nullptr && right_var != nullptr) {
    list_->emplace_back(dest, nullptr, left_var, opcode, right_var);
  } else {
    list_->emplace_back(dest, nullptr, left_var != nullptr ? left_var : right_var, opcode);
  }
  return true;
}

// --- entry points ------------------------------------------------------------

TagExpre* CompileExpression(TagTelBasic& script, std::string_view text, std::string_view dest_name,
                            TagVar* dest_index, std::string_view note, std::string* error,
                            std::string* warning) {
  std::vector<TagCalculate> list;
  TagComplexExpre compile(text, &script, dest_name, dest_index, note, &list, error, warning);
  if (!error->empty() || list.empty()) {
    if (error->empty()) *error = kMsgNoOperand;
    return nullptr;
  }
  return new TagExpre(list);
}

}  // namespace engine
