// The compile operations of a script: cutting comments, classifying line
// shapes, splitting argument lists, resolving operands into variables and
// pooled constants, recognising increments and assignments, and finding or
// creating variables, parameters, functions and their callers.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/expression_hook.h"
#include "engine/keyword_table.h"
#include "engine/tel_basic.h"
#include "platform/gbk.h"
#include "platform/number_text.h"
#include "platform/text_trim.h"

namespace engine {
namespace {

constexpr size_t npos = std::string_view::npos;

constexpr const char* kMsgNoCommentStart = "找不到匹配的起始注释/*";
constexpr const char* kMsgCommentInNote = "//注释中的/*开始了块注释";
constexpr const char* kMsgSyntax = "语法错误";
constexpr const char* kMsgNotAssigned = "表达式中的变量没有预先赋值";
constexpr const char* kMsgBadIncrement = "自加或自减的变量名不合法";
constexpr const char* kConstantNote = "CONST";

static_assert(int32_t{kOperandString} == int32_t{kVarString} &&
                  int32_t{kOperandInteger} == int32_t{kVarInt} &&
                  int32_t{kOperandDecimal} == int32_t{kVarFloat},
              "a literal's operand kind is its value kind");

bool IsOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The system's texts end at their first NUL byte.
std::string_view UpToNul(std::string_view text) {
  const size_t n = text.find('\0');
  return n == npos ? text : text.substr(0, n);
}

bool IsBlankText(std::string_view s) { return s.find_first_not_of(" \t") == npos; }

// Appends s without its blanks and tabs.
void AppendWithoutBlanks(std::string_view s, std::string* out) {
  for (char c : s) {
    if (!platform::IsAsciiBlank(c)) out->push_back(c);
  }
}

// The name an increment may change: ASCII letters, digits and '_', not
// starting with a digit.
// The name of an increment: a valid name without operator characters
// (GBK names included, byte by byte).
bool IsPlainName(std::string_view s) {
  return TagTelBasic::IsValidName(s) && s.find_first_of("+-*/%<>=&|^~,.") == std::string_view::npos;
}

// Steps over a double-quoted string starting at text[i] == '"'; returns the
// position behind its closing quote, or npos when it is not closed. A
// backslash escapes the next character.
size_t SkipString(std::string_view text, size_t i) {
  for (++i; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return i + 1;
    }
  }
  return npos;
}

// The first "=" outside double-quoted strings, or npos.
size_t FindAssignMark(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '"') {
      i = SkipString(text, i);
      if (i == npos) return npos;
    } else if (text[i] == '=') {
      return i;
    } else {
      ++i;
    }
  }
  return npos;
}

// The characters ClassifyLine takes as tokens of their own.
bool IsShapeChar(char c) { return IsOneOf(c, "(;{}+-*/[],%><="); }

// The last piece of an argument list: when the list ends at ';' or at the
// end of the text, trailing blanks, one ";" and then one ")" are cut.
std::string_view LastPiece(std::string_view piece, bool trim) {
  if (!trim) return piece;
  piece = platform::TrimmedViewRight(piece);
  if (!piece.empty() && piece.back() == ';')
    piece = platform::TrimmedViewRight(piece.substr(0, piece.size() - 1));
  if (!piece.empty() && piece.back() == ')')
    piece = platform::TrimmedViewRight(piece.substr(0, piece.size() - 1));
  return piece;
}

TagVar* NewConstant(const ExprOperand& literal) {
  auto* v = new TagVar;
  switch (literal.kind) {
    case kOperandString:
      v->InitString("", kConstantNote, literal.text, 1);
      break;
    case kOperandInteger:
      v->InitInt("", kConstantNote, platform::AtoL(literal.text), 1);
      break;
    default:
      v->InitFloat("", kConstantNote, platform::StrToD(literal.text), 1);
      break;
  }
  return v;
}

// A new writable integer 0 of the script; its index.
int32_t NewIntVariable(TagTelBasic& script, std::string_view name, std::string_view note,
                       TagVar** variable) {
  auto* v = new TagVar;
  const std::string note_text(note);  // TagVar reads the note as a C string
  v->InitInt(name, note_text.c_str(), 0, 0);
  *variable = v;
  return script.AddVariable(v);
}

// Resolves an operand of an assignment or argument, reporting a failure:
// an absent operand is "语法错误" (detail: the text), a missing name
// "表达式中的变量没有预先赋值" (detail: the name). Null after a report.
TagVar* ResolveReported(TagTelBasic& script, int32_t line_no, std::string_view text,
                        const ExprOperand& operand) {
  if (operand.kind == kOperandNone) {
    script.ReportError(line_no, kMsgSyntax, text, false);
    return nullptr;
  }
  TagVar* v = nullptr;
  script.ResolveOperand(operand, &v);
  if (v == nullptr) script.ReportError(line_no, kMsgNotAssigned, operand.text, false);
  return v;
}

}  // namespace

// --- comments and line shapes -------------------------------------------

int32_t TagTelBasic::ExtractNote(std::string& line, std::string* note, int32_t line_no, bool cut) {
  const std::string_view text = UpToNul(line);
  size_t note_begin = npos;
  size_t note_end = npos;
  size_t cut_at = npos;
  bool after_line_note = false;
  // The comment-stack depth before the first "/*" behind a "//".
  size_t depth_before_trap = npos;
  auto line_end_from = [&](size_t from) {
    const size_t nl = text.find('\n', from);
    return nl == npos ? text.size() : nl;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '"') {
      const size_t behind = SkipString(text, i);
      if (behind == npos) break;  // the rest is an open string
      i = behind - 1;
      continue;
    }
    if (c == '\n') {
      cut_at = std::min(cut_at, i);
      break;
    }
    if (c == '/' && next == '/') {
      cut_at = std::min(cut_at, i);
      note_begin = i + 2;
      note_end = line_end_from(note_begin);
      after_line_note = true;
      ++i;
    } else if (c == '/' && next == '*') {
      if (after_line_note && depth_before_trap == npos)
        depth_before_trap = compileState.commentStack.size();
      compileState.commentStack.push_back(line_no);
      cut_at = std::min(cut_at, i);
      note_begin = i + 2;
      note_end = std::min(text.find("*/", note_begin), line_end_from(note_begin));
      ++i;
    } else if (c == '*' && next == '/') {
      if (compileState.commentStack.empty()) {
        ReportError(line_no, kMsgNoCommentStart, line, false);
        note->clear();
        if (cut && cut_at != npos) line.resize(cut_at);
        return 0;
      }
      compileState.commentStack.pop_back();
      ++i;
    }
  }
  // A "/*" inside a "//" comment opens a block comment that swallows the
  // next lines; the log tells the author why they vanish.
  if (depth_before_trap != npos && compileState.commentStack.size() > depth_before_trap) {
    Hint(line_no, kMsgCommentInNote, line);
  }
  if (note_begin != npos) {
    note->assign(text.substr(note_begin, note_end - note_begin));
  } else {
    note->clear();
  }
  if (cut && cut_at != npos) line.resize(cut_at);
  return static_cast<int32_t>(note->size());
}

int32_t TagTelBasic::ClassifyLine(std::string_view line, size_t* call_offset, std::string* name_out,
                                  std::string* index) {
  struct Token {
    char kind;  // 'v' a word, else the character itself
    size_t begin;
    size_t end;
  };
  constexpr int kMaxTokens = 7;
  Token tokens[kMaxTokens];
  int count = 0;
  const std::string_view text = UpToNul(line);
  for (size_t i = 0; count < kMaxTokens && i < text.size();) {
    const char c = text[i];
    if (platform::IsAsciiBlank(c)) {
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') break;
    if (IsShapeChar(c)) {
      tokens[count++] = {c, i, i + 1};
      ++i;
      continue;
    }
    const size_t begin = i;
    if (c == '"') {
      i = std::min(SkipString(text, i), text.size());
    } else {
      while (i < text.size() && !platform::IsAsciiBlank(text[i]) && !IsShapeChar(text[i]) &&
             text[i] != '"' && text[i] != '\r' && text[i] != '\n') {
        ++i;
      }
    }
    tokens[count++] = {'v', begin, i};
  }
  auto shape = [&](std::string_view pattern) {
    if (static_cast<size_t>(count) < pattern.size()) return false;
    for (size_t k = 0; k < pattern.size(); ++k) {
      if (tokens[k].kind != pattern[k]) return false;
    }
    return true;
  };
  auto word = [&](int k) { return text.substr(tokens[k].begin, tokens[k].end - tokens[k].begin); };
  *call_offset = 0;
  name_out->clear();
  index->clear();
  if (count > 0 && tokens[0].kind == 'v') name_out->assign(word(0));
  if (shape("v(")) return 1;
  if (shape("v=v(")) {
    *call_offset = tokens[1].end;
    return 2;
  }
  if (shape("v[v]=v(")) {
    index->assign(word(2));
    *call_offset = tokens[4].end;
    return 2;
  }
  if (shape("v=")) return -1;
  if (shape("v[v]=")) {
    index->assign(word(2));
    return -1;
  }
  if (shape("vv=")) {
    name_out->assign(word(1));
    return -2;
  }
  if ((count >= 2 && tokens[0].kind == 'v' && (tokens[1].kind == '+' || tokens[1].kind == '-')) ||
      (count >= 1 && (tokens[0].kind == '+' || tokens[0].kind == '-'))) {
    return -3;
  }
  name_out->clear();
  return 0;
}

// --- argument lists ------------------------------------------------------

int32_t TagTelBasic::SplitArgs(std::string_view text, std::vector<std::string>* slots,
                               char separator, char terminator) {
  slots->clear();
  text = UpToNul(text);
  const bool to_end = terminator == ')' || terminator == '\0';
  const bool blank_separator = separator == ' ';
  auto skip_blanks = [&](size_t i) {
    while (blank_separator && i < text.size() && platform::IsAsciiBlank(text[i])) ++i;
    return i;
  };
  auto add = [&](std::string_view piece) {
    if (slots->size() >= static_cast<size_t>(kMaxArgs)) return kArgsTooMany;
    if (piece.size() > kArgBytes) return kArgsTooLong;
    slots->emplace_back(piece);
    return 0;
  };
  // The last piece (before the terminator or the end), when not blank.
  auto add_last = [&](std::string_view piece) {
    piece = LastPiece(piece, to_end || terminator == ';');
    return IsBlankText(piece) ? 0 : add(piece);
  };
  bool found = false;
  size_t start = skip_blanks(0);
  for (size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      const size_t behind = SkipString(text, i);
      if (behind == npos) return kArgsOpenString;
      i = behind - 1;
      continue;
    }
    if ((c == '{' || c == '}') && separator != '+') return kArgsBrace;
    if (c == separator || (blank_separator && c == '\t')) {
      std::string_view piece = text.substr(start, i - start);
      if (IsBlankText(piece)) return kArgsEmpty;
      const size_t first = piece.find_first_not_of(" \t=");
      if (int32_t r = add(first == npos ? std::string_view() : piece.substr(first)); r < 0)
        return r;
      if (separator == terminator) found = true;
      start = skip_blanks(i + 1);
      i = start - 1;
      continue;
    }
    if (!to_end && c == terminator) {
      if (int32_t r = add_last(text.substr(start, i - start)); r < 0) return r;
      return static_cast<int32_t>(slots->size());
    }
  }
  if (to_end) {
    if (int32_t r = add_last(text.substr(std::min(start, text.size()))); r < 0) return r;
    found = true;
  }
  if (!found) return kArgsNoTerminator;
  return static_cast<int32_t>(slots->size());
}

int32_t TagTelBasic::ParseArgs(int32_t line_no, std::string_view line, int32_t n,
                               const std::vector<std::string>& slots, std::vector<TagVar*>* args) {
  compileState.pendingExpressions.clear();
  args->clear();
  const size_t count = n <= 0 ? 0 : std::min(static_cast<size_t>(n), slots.size());
  ExprOperand left, right;
  std::string message;
  for (size_t k = 0; k < count; ++k) {
    const std::string& slot = slots[k];
    char op = 0;
    const int split = SplitExpression(&left, &op, &right, slot, &message);
    if (split != 0 && split != kSplitManyOperators) {
      ReportError(line_no, message, line, false);
      return -1;
    }
    if (op == 0 && split == 0) {
      TagVar* v = ResolveReported(*this, line_no, line, left);
      if (v == nullptr) return -1;
      args->push_back(v);
      continue;
    }
    // An expression: compiled into a new temporary.
    const ExpressionCompiler compile = GetExpressionCompiler();
    if (compile == nullptr) {
      ReportError(line_no, kMsgSyntax, line, false);
      return -1;
    }
    const std::string temp = NewTempName();
    TagVar* result = nullptr;
    std::string error, warning;
    std::unique_ptr<TagOper> code(
        compile(*this, line_no, platform::TrimmedViewLeft(slot), temp, &result, &error, &warning));
    if (code == nullptr || result == nullptr || !error.empty()) {
      ReportError(line_no, error.empty() ? std::string_view(kMsgSyntax) : std::string_view(error),
                  line, false);
      return -1;
    }
    if (!warning.empty()) Warning(line_no, warning, line);
    compileState.pendingExpressions.push_back(std::move(code));
    args->push_back(result);
  }
  return 0;
}

// --- assignments and increments ---------------------------------------------

int32_t TagTelBasic::ParseAssign(int32_t line_no, std::string_view text, TagVar** destination,
                                 TagVar** left, char* op, TagVar** right, std::string_view note,
                                 bool* created) {
  *destination = nullptr;
  *left = nullptr;
  *right = nullptr;
  *op = 0;
  *created = false;
  std::string var_name, index;
  auto find_or_create = [&] {
    TagVar* v = nullptr;
    if (FindVariable(var_name, &v) < 0) {
      NewIntVariable(*this, var_name, note, &v);
      *created = true;
    }
    return v;
  };
  char step = 0;
  if (IsIncDec(line_no, text, &var_name, &step)) {
    if (step == 0) return -1;  // reported
    *destination = *left = find_or_create();
    ResolveOperand(ExprOperand{kOperandInteger, "1"}, right);
    *op = step;
    return 0;
  }
  if (SplitAssign(text, &var_name, &index) <= 0) {
    ReportError(line_no, kMsgSyntax, text, false);
    return -1;
  }
  *destination = find_or_create();
  const std::string_view value_text = UpToNul(text).substr(FindAssignMark(UpToNul(text)) + 1);
  ExprOperand left_operand, right_operand;
  char code = 0;
  std::string message;
  const int split = SplitExpression(&left_operand, &code, &right_operand, value_text, &message);
  if (split == kSplitManyOperators) return -2;
  if (split < 0) return -3;
  const bool prefix =
      left_operand.kind == kOperandNone && (code == '!' || code == '~' || code == '-');
  if (!prefix) {
    *left = ResolveReported(*this, line_no, text, left_operand);
    if (*left == nullptr) return -1;
  }
  if (right_operand.kind != kOperandNone) {
    *right = ResolveReported(*this, line_no, text, right_operand);
    if (*right == nullptr) return -1;
  } else if (code != 0) {
    ReportError(line_no, kMsgSyntax, text, false);
    return -1;
  }
  *op = code;
  return 0;
}

bool TagTelBasic::IsIncDec(int32_t line_no, std::string_view text, std::string* name_out,
                           char* op) {
  name_out->clear();
  *op = 0;
  text = UpToNul(text);
  const size_t first = text.find_first_not_of(" \t");
  if (first == npos || text[first] == '"' || platform::IsAsciiDigit(text[first])) return false;
  std::string compact;
  for (size_t i = first; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ')' || c == ';' || c == '\r' || c == '\n') break;
    if (platform::IsAsciiBlank(c)) continue;
    // An "=" makes it an assignment ("x = y++" assigns x), the others an
    // expression or a call.
    if (IsOneOf(c, "(*/{}\"=")) return false;
    compact.push_back(c);
  }
  const std::string_view s(compact);
  auto is_step = [](std::string_view two) { return two == "++" || two == "--"; };
  char sign = 0;
  std::string_view body;
  if (s.size() >= 2 && is_step(s.substr(0, 2))) {
    sign = s[0];
    body = s.substr(2);
  } else if (s.size() >= 2 && is_step(s.substr(s.size() - 2))) {
    sign = s.back();
    body = s.substr(0, s.size() - 2);
  } else {
    return false;
  }
  name_out->assign(body);
  if (!IsPlainName(body)) {
    if (line_no >= 0) ReportError(line_no, kMsgBadIncrement, text, false);
    return true;
  }
  *op = sign;
  return true;
}

int32_t TagTelBasic::SplitAssign(std::string_view text, std::string* name_out, std::string* index) {
  name_out->clear();
  index->clear();
  text = UpToNul(text);
  const size_t mark = FindAssignMark(text);
  if (mark == npos) return 0;
  const std::string_view before = text.substr(0, mark);
  const size_t bracket = before.find('[');
  AppendWithoutBlanks(before.substr(0, bracket), name_out);
  if (bracket != npos) index->assign(platform::TrimmedViewRight(before.substr(bracket + 1)));
  if (name_out->empty()) return 0;
  if ((*name_out)[0] == '"' || platform::IsAsciiDigit((*name_out)[0])) return -1;
  if (!IsValidName(*name_out)) return -2;
  return static_cast<int32_t>(name_out->size());
}

bool TagTelBasic::IsValidName(std::string_view text) {
  if (text.empty() || text[0] == '"' || platform::IsAsciiDigit(text[0])) return false;
  for (char c : text) {
    if (c == '\0' || IsOneOf(c, "!\"'();[]{}")) return false;
  }
  return true;
}

int32_t TagTelBasic::SplitName(std::string_view text, std::string* name_out, std::string* rest) {
  name_out->clear();
  rest->clear();
  text = UpToNul(text);
  const size_t paren = text.find('(');
  if (paren == npos) return -1;
  AppendWithoutBlanks(text.substr(0, paren), name_out);
  rest->assign(text.substr(paren + 1));
  return 0;
}

int32_t TagTelBasic::QuotedName(std::string_view text, std::string* name_out) {
  name_out->clear();
  text = UpToNul(text);
  const size_t open = text.find_first_not_of(" \t");
  if (open == npos || (text[open] != '"' && text[open] != '<')) return -1;
  const size_t close = text.find_first_of("\">", open + 1);
  if (close == npos) return -2;
  name_out->assign(text.substr(open + 1, close - open - 1));
  return 0;
}

// --- operands and variables -----------------------------------------------

int32_t TagTelBasic::ResolveOperand(const ExprOperand& operand, TagVar** variable) {
  TagVar* found = nullptr;
  int32_t index = kNotFound;
  switch (operand.kind) {
    case kOperandString:
    case kOperandInteger:
    case kOperandDecimal:
      index = FindConstant(operand.kind, operand.text);
      if (index < 0) index = AddVariable(NewConstant(operand));
      found = allVariables.at(index);
      break;
    case kOperandName:
      index = FindVariable(operand.text, &found);
      if (found != nullptr && found->kind == kVarFunction) {
        if (auto* function = dynamic_cast<TagTelBasic*>(found->function)) function->AddCaller(name);
      }
      break;
    default:
      break;
  }
  if (variable != nullptr) *variable = found;
  return index;
}

int32_t TagTelBasic::FindVariable(std::string_view var_name, TagVar** variable) {
  TagVar* found = nullptr;
  int32_t index = FindOwnVariable(var_name);
  if (index >= 0) {
    found = allVariables.at(index);
  } else if (int32_t p = FindParam(var_name); p >= 0) {
    found = &params[p];
    index = kParamIndexBase + p;
  } else if (owner != nullptr) {
    if (int32_t j = owner->FindOwnVariable(var_name); j >= 0) {
      found = owner->allVariables.at(j);
      index = kOwnerIndexBase + j;
    }
  }
  if (variable != nullptr) *variable = found;
  return index;
}

int32_t TagTelBasic::FindOwnVariable(std::string_view var_name) const {
  if (var_name.empty()) return kNotFound;
  for (int32_t i = 0; i < allVariables.count(); ++i) {
    const TagVar* v = allVariables.at(i);
    if (v != nullptr && v->name()[0] == var_name[0] && var_name == v->name()) return i;
  }
  return kNotFound;
}

int32_t TagTelBasic::FindParam(std::string_view param_name) const {
  if (param_name.empty()) return kNotFound;
  for (int32_t i = 0; i < paramCount && i < kMaxParams; ++i) {
    if (paramNames[i] == param_name) return i;
  }
  return kNotFound;
}

int32_t TagTelBasic::FindConstant(int32_t kind, std::string_view text) const {
  if (kind != kOperandString && kind != kOperandInteger && kind != kOperandDecimal)
    return kNotFound;
  const int32_t int_value = kind == kOperandInteger ? platform::AtoL(text) : 0;
  const double float_value = kind == kOperandDecimal ? platform::StrToD(text) : 0.0;
  for (int32_t i = 0; i < allVariables.count(); ++i) {
    const TagVar* v = allVariables.at(i);
    if (v == nullptr || !v->readOnly || v->kind != kind || v->name()[0] != '\0') continue;
    const bool equal = kind == kOperandString    ? v->Bytes() == text
                       : kind == kOperandInteger ? v->intValue == int_value
                                                 : v->floatValue == float_value;
    if (equal) return i;
  }
  return kNotFound;
}

int32_t TagTelBasic::DeclareVariable(std::string_view var_name, TagVar** variable,
                                     std::string_view note) {
  TagVar* found = nullptr;
  int32_t index = kNotFound;
  if (!var_name.empty()) {
    index = FindVariable(var_name, &found);
    if (found == nullptr) index = NewIntVariable(*this, var_name, note, &found);
  }
  if (variable != nullptr) *variable = found;
  return index;
}

int32_t TagTelBasic::AddParam(std::string_view param_name) {
  if (paramCount >= kMaxParams) return -1;
  paramNames[paramCount].assign(param_name);
  return ++paramCount;
}

// --- functions and their callers ------------------------------------------

int32_t TagTelBasic::FindFunctionIndex(std::string_view function_name) const {
  for (int32_t i = 0; i < functions.count(); ++i) {
    const TagTelBasic* f = functions.at(i);
    if (f != nullptr && f->name == function_name) return i;
  }
  return kNotFound;
}

int32_t TagTelBasic::FindFunction(std::string_view function_name, TagTelBasic** function) {
  TagTelBasic* main = MainScript();
  const int32_t i = main->FindFunctionIndex(function_name);
  *function = main->functions.at(i);
  return i;
}

int32_t TagTelBasic::AddCaller(std::string_view caller_name) {
  std::string key(caller_name);
  if (caller_name == name) {
    const auto it = callers.find(key);
    return it == callers.end() ? 0 : it->second;
  }
  return ++callers[std::move(key)];
}

void TagTelBasic::RemoveCaller(std::string_view caller_name) {
  const std::string key(caller_name);
  for (TagTelBasic* f : MainScript()->functions) {
    if (f != nullptr) f->callers.erase(key);
  }
}

std::string TagTelBasic::NewTempName() {
  TagTelBasic* main = MainScript();
  const int32_t n = main->compileState.tempCounter;
  main->compileState.tempCounter = static_cast<int32_t>(static_cast<uint32_t>(n) + 1u);
  return "__m" + std::to_string(n);
}

int32_t TagTelBasic::SetRetVal(const TagVar& value) {
  TagVar* ret = allVariables.at(kRetValIndex);
  if (ret == nullptr) return value.intValue;
  ret->Assign(value);
  return ret->intValue;
}

int TagTelBasic::MatchLineKeyword(std::string_view line, std::string* keyword,
                                  size_t* length) const {
  size_t offset = 0;
  const int row = Keywords().MatchKeyword(line, &offset);
  if (row == kNoKeyword) {
    keyword->clear();
    *length = 0;
    return kNoKeyword;
  }
  keyword->assign(Keywords().row(row).name);
  *length = offset;
  return row;
}

}  // namespace engine
