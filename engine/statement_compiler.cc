// The statement compiler: TagTelBasic::ParseLine turns one logical line of
// a script into at most one statement of the compiling script, or into a
// compile-time action (a constant, a function definition, an included
// file). The loader hands it every logical line in file order; every
// problem is written to the line's error file, and a line that fails
// returns -1 so that the loader counts it.
//
// A line is, by its shape: nothing (blanks, comments); an assignment (one
// instruction, a chain of additions, or an expression); a constant
// definition; an increment; a keyword statement built through the
// statement registry; a control line (control_compile.cc); a call of a
// script function or of a declared external-library function; "#include".
// After each appended statement the control flow is linked (LinkLast).
#include <memory>
#include <string>
#include <vector>

#include "engine/calculate.h"
#include "engine/complex_expre.h"
#include "engine/control_compile.h"
#include "engine/keyword_table.h"
#include "engine/line_text.h"
#include "engine/split_expression.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/text_trim.h"

namespace engine {
namespace {

constexpr size_t npos = std::string_view::npos;


constexpr char kMsgUnknown[] = "不可辨识的关键字";
constexpr char kMsgSyntaxShort[] = "语法错";
constexpr char kMsgNoEffect[] = "该行语句没有任何作用: 运算的结果没有赋值给任何变量, 已被忽略";
constexpr char kMsgJoinedName[] = "等号前面的两个词被连成了一个变量名: ";

// One logical line being compiled.
struct Line {
  int32_t lineNo = 0;
  std::string source;  // from the first significant character, comment included
  std::string note;    // the comment
  std::string work;    // the source without its comment and trailing blanks
};

int32_t Fail(TagTelBasic& s, const Line& line, std::string_view message) {
  s.ReportError(line.lineNo, message, line.source, false);
  return -1;
}

// The leading part of a line: blanks, and block comments opened and closed
// before the first significant character (the comment stack is kept across
// lines). The position of that character, or npos when nothing remains to
// compile.
size_t StatementStart(TagTelBasic& s, int32_t line_no, std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (!s.compileState.commentStack.empty()) {
      if (c == '*' && next == '/') {
        s.compileState.commentStack.pop_back();
        i += 2;
      } else if (c == '/' && next == '*') {
        s.compileState.commentStack.push_back(line_no);
        i += 2;
      } else {
        ++i;
      }
      continue;
    }
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '/' && next == '*') {
      s.compileState.commentStack.push_back(line_no);
      i += 2;
    } else if (c == '*' && next == '/') {
      // Reported, the rest ignored; the line does not fail.
      s.ReportError(line_no, "找不到匹配的起始注释/*", text, false);
      return npos;
    } else {
      break;
    }
  }
  if (i >= text.size()) return npos;
  const char c = text[i];
  if (c == '\0' || c == '\r' || c == '\n') return npos;
  if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') return npos;
  return i;
}

// The text behind the first "=" outside double-quoted strings.
std::string_view BehindAssignMark(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
    } else if (text[i] == '=') {
      return text.substr(i + 1);
    }
  }
  return std::string_view();
}

bool IsVirtualLine(TagTelBasic& s) {
  const LineCallBase* call = s.MainScript()->call;
  return call != nullptr && call->lineKind == kLineVirtual;
}

// The message of a failed split of an argument list.
const char* SplitMessage(int32_t result) {
  switch (result) {
    case TagTelBasic::kArgsBrace:
      return "语法错误: '{'或'}'必需单独一行";
    case TagTelBasic::kArgsOpenString:
      return "语法错误: 字符串没有结束";
    case TagTelBasic::kArgsTooMany:
      return "语法错误: 太多的参数";
    case TagTelBasic::kArgsEmpty:
      return "参数不可以为空";
    default:
      return "语法错误";
  }
}

// --- the keyword path -------------------------------------------------------

// Splits the arguments of a call on "," up to ")" and checks their number
// against expected (not checked when negative): the number, or -1 after
// reporting.
int32_t SplitCallArgs(TagTelBasic& s, const Line& line, std::string_view rest, int32_t expected,
                      std::vector<std::string>* slots) {
  const int32_t n = TagTelBasic::SplitArgs(rest, slots, ',', ')');
  if (n < 0) return Fail(s, line, "参数不可以为空");
  if (expected >= 0 && n > expected) return Fail(s, line, "操作参数太多");
  if (expected >= 0 && n < expected) return Fail(s, line, "操作参数不够");
  return n;
}

// A call of an external-library function declared so far by "DllFunction("
// (kind 'g'); a name never declared is no statement at all. A declared
// count below 0 compiles the call without arguments.
int32_t CompileDllCall(TagTelBasic& s, const Line& line, const std::string& name,
                       std::string_view rest) {
  const DllCallFactory factory = GetDllCallFactory();
  int32_t declared = 0;
  if (factory.Declared == nullptr || factory.Build == nullptr ||
      !factory.Declared(s, name, &declared)) {
    return Fail(s, line, kMsgUnknown);
  }
  std::vector<std::string> slots;
  int32_t n = 0;
  if (declared >= 0 && (n = SplitCallArgs(s, line, rest, declared, &slots)) < 0) return -1;
  std::vector<TagVar*> args;
  if (s.ParseArgs(line.lineNo, line.source, n, slots, &args) != 0) return -1;
  std::string error;
  TagOper* st = factory.Build(s, name, args, &error);
  if (st == nullptr) return Fail(s, line, error.empty() ? std::string("语法错误") : error);
  s.Append(st, kKindGeneral, line.lineNo, line.source, line.note);
  return s.LinkLast(line.lineNo, line.source);
}

// A call of a script function (kind 'R'); a name that is no variable may
// be a declared external-library function.
int32_t CompileCall(TagTelBasic& s, const Line& line, std::string_view text) {
  std::string name, rest;
  if (TagTelBasic::SplitName(text, &name, &rest) < 0) return Fail(s, line, kMsgUnknown);
  TagVar* variable = nullptr;
  if (s.FindVariable(name, &variable) < 0 || variable == nullptr) {
    return CompileDllCall(s, line, name, rest);
  }
  TagTelBasic* function = variable->kind == kVarFunction
                              ? dynamic_cast<TagTelBasic*>(variable->function)
                              : nullptr;
  std::vector<std::string> slots;
  const int32_t n =
      SplitCallArgs(s, line, rest, function != nullptr ? function->paramCount : -1, &slots);
  if (n < 0) return -1;
  std::vector<TagVar*> args;
  if (s.ParseArgs(line.lineNo, line.source, n, slots, &args) != 0) return -1;
  const CallFactory factory = GetCallFactory();
  if (factory == nullptr) return Fail(s, line, "语句未实现: " + name + "(");
  std::string error;
  TagOper* st = factory(variable, &s, args, &error);
  if (st == nullptr) return Fail(s, line, error.empty() ? std::string("语法错误") : error);
  if (function != nullptr) function->AddCaller(s.name);
  s.Append(st, kKindCall, line.lineNo, line.source, line.note);
  return s.LinkLast(line.lineNo, line.source);
}

int32_t CompileInclude(TagTelBasic& s, const Line& line, std::string_view rest) {
  if (s.owner != nullptr) return Fail(s, line, "在函数里不可以使用包含文件语句");
  std::string file;
  if (TagTelBasic::QuotedName(rest, &file) != 0) {
    return Fail(s, line, "语法错：得不到有效的文件名");
  }
  s.LoadFile(line.lineNo, file);  // failures inside are counted by the loader
  return 0;
}

// A statement of the registry for a keyword row.
int32_t CompileBuiltIn(TagTelBasic& s, const Line& line, int row,
                       const std::vector<std::string>& slots, int32_t n) {
  if (s.owner != nullptr && (row == kRowClose || row == kRowOnDisconn)) {
    return Fail(s, line, row == kRowClose ? "在函数里不可以使用Close()语句"
                                          : "在函数里不可以使用OnDisconn()语句");
  }
  if (row == kRowClose) {
    s.Warning(line.lineNo, "最好不要使用将来可能不支持的Close()函数, 请使用OnDisconn()函数", "");
  } else if (row == kRowIsSysQuit) {
    s.Warning(line.lineNo, "最好不要使用将来可能不支持的IsSysQuit()函数, 请使用OnSysQuit()函数",
              "");
  }
  StatementBuild build;
  if (s.ParseArgs(line.lineNo, line.source, n, slots, &build.args) != 0) return -1;
  const bool virtual_line = IsVirtualLine(s);
  build.row = row == kRowGetKeys && virtual_line ? kRowPcGetKeys : row;
  build.script = &s;
  build.line = line.lineNo;
  build.source = line.source;
  build.pcMode = row == kRowPcPlayNumber || row == kRowPcTxtSpeak ||
                 ((row == kRowPlayNumber || row == kRowTxtSpeak) && virtual_line);
  std::string error;
  TagOper* st = Statements().Build(build, &error);
  if (st == nullptr) return Fail(s, line, error.empty() ? std::string("语法错误") : error);
  s.Append(st, static_cast<char>(Keywords().row(row).kind), line.lineNo, line.source, line.note);
  if (row == kRowClose || row == kRowOnDisconn) s.onDisconnIndex = st->statementIndex;
  if (row == kRowOnSysQuit) s.onSysQuitIndex = st->statementIndex;
  return s.LinkLast(line.lineNo, line.source);
}

bool IsControlRow(int row) {
  return (row >= kRowElseIf && row <= kRowContinue) || row == kRowFor || row == kRowFunction;
}

// Rows whose arguments are split on ";" up to the end of the text.
bool SplitsOnSemicolon(int row) {
  return row == kRowElseIf || row == kRowIf || row == kRowElse || row == kRowWhile ||
         row == kRowSwitch || row == kRowCase || row == kRowDefault || row == kRowFor;
}

// The keyword path: text is the line, or the text behind the "=" of a call
// assignment (whose target is the script's pending target).
int32_t CompileKeywordLine(TagTelBasic& s, const Line& line, std::string_view text) {
  size_t offset = 0;
  const int row = Keywords().MatchKeyword(text, &offset);
  if (row == kNoKeyword) return CompileCall(s, line, text);
  const RecKeyword& rec = Keywords().row(row);
  const std::string_view rest = text.substr(std::min(offset, text.size()));
  std::vector<std::string> slots;
  int32_t n = 0;
  if (rec.argCount >= 0) {
    n = SplitsOnSemicolon(row) ? TagTelBasic::SplitArgs(rest, &slots, ';', '\0')
                               : TagTelBasic::SplitArgs(rest, &slots, ',', ')');
    if (n < 0) return Fail(s, line, SplitMessage(n));
    const bool for_in = row == kRowFor && n == 1;
    if (!for_in && n > rec.argCount) return Fail(s, line, "操作参数太多");
    if (!for_in && n < rec.argCount) return Fail(s, line, "操作参数不够");
  }
  if (IsControlRow(row)) {
    ControlLine control;
    control.row = row;
    control.lineNo = line.lineNo;
    control.source = line.source;
    control.note = line.note;
    control.rest = rest;
    control.args = &slots;
    control.argCount = n;
    const int32_t r = CompileControlLine(s, control);
    if (r == kControlAppended) return s.LinkLast(line.lineNo, line.source);
    return r == kControlFailed ? -1 : 0;
  }
  if (row == kRowInclude) return CompileInclude(s, line, rest);
  if (row == kRowConst) return Fail(s, line, kMsgUnknown);
  return CompileBuiltIn(s, line, row, slots, n);
}

// --- assignments ------------------------------------------------------------

// What ClassifyLine and the other looks found out about a line.
struct Shape {
  int32_t kind = 0;        // ClassifyLine's answer
  size_t callOffset = 0;   // behind the "=" of a call assignment
  bool increment = false;  // IsIncDec recognised "++" or "--"
  int row = kNoKeyword;    // the keyword the line opens with
  size_t rowOffset = 0;
  std::string name;        // the assigned name (SplitAssign), "" when none
  std::string incremented; // the name of an increment
  std::string index;       // its index text, "]" included
};

// The variable of an index target "[...]": its first operand; an operator
// and a second operand are not used, and the log gets a hint.
int32_t TargetIndex(TagTelBasic& s, const Line& line, const std::string& index, TagVar** out) {
  *out = nullptr;
  if (index.empty()) return 0;
  if (index.back() != ']') return Fail(s, line, "下标[]语法错误:");
  const std::string inner = index.substr(0, index.size() - 1);
  ExprOperand left, right;
  char op = 0;
  std::string message;
  const int split = SplitExpression(&left, &op, &right, inner, &message);
  if ((split < 0 && split != kSplitManyOperators) || left.kind == kOperandNone) {
    return Fail(s, line, "语法错误:");
  }
  s.ResolveOperand(left, out);
  if (*out == nullptr) {
    s.ReportError(line.lineNo, "表达式中的变量没有预先赋值:", left.text, false);
    return -1;
  }
  if (op != 0 || split == kSplitManyOperators) {
    s.Hint(line.lineNo, std::string("下标") + kMsgUnusedOperator, line.source);
  }
  return 0;
}

// "const" name "=" constant: the variable becomes read-only; no statement.
int32_t CompileConstant(TagTelBasic& s, const Line& line, const Shape& shape) {
  const std::string_view text = std::string_view(line.work).substr(shape.rowOffset);
  std::string name, index;
  TagTelBasic::SplitAssign(text, &name, &index);
  const bool existed = s.FindOwnVariable(name) >= 0;
  TagVar *dest = nullptr, *left = nullptr, *right = nullptr;
  char op = 0;
  bool created = false;
  const int32_t r = s.ParseAssign(line.lineNo, text, &dest, &left, &op, &right, line.note, &created);
  if (r == -2 || (r == 0 && op != 0)) return Fail(s, line, "常量定义错误，不能运算");
  if (r != 0 || left == nullptr) return Fail(s, line, kMsgSyntaxShort);
  if (!left->readOnly) return Fail(s, line, "常量定义错误，=号右边必须为常量");
  if (existed && !created) {
    if (dest->kind != left->kind || !TagVar::Equals(*dest, *left)) {
      return Fail(s, line, "常量重复定义");
    }
    s.Warning(line.lineNo, "常量重复定义", line.source);
  }
  dest->readOnly = 0;
  dest->Assign(*left);
  dest->readOnly = 1;
  return 0;
}

// The right side with more than one operator: a chain of additions or an
// expression.
int32_t CompileExpressionAssign(TagTelBasic& s, const Line& line, std::string_view text,
                                const std::string& name, TagVar* dest, TagVar* index) {
  std::vector<std::string> parts;
  const int32_t n = TagTelBasic::SplitArgs(BehindAssignMark(text), &parts, ';', ';');
  if (n == 0) return Fail(s, line, "表达式为空");
  if (n == TagTelBasic::kArgsBrace) return Fail(s, line, "语法错误: '{'或'}'必需单独一行");
  if (n == TagTelBasic::kArgsNoTerminator) return Fail(s, line, "缺少结束的分号");
  if (n == TagTelBasic::kArgsOpenString) return Fail(s, line, "语法错误: 字符串没有结束");
  if (n != 1) return Fail(s, line, "语法错误");
  const TagComplexExpre tokens(parts[0]);
  if (tokens.TokenCount() > 0 && tokens.OnlyPlus()) {
    std::vector<std::string> operands;
    const int32_t count = TagTelBasic::SplitArgs(parts[0] + ";", &operands, '+', ';');
    if (count < 3) return Fail(s, line, "语法错误");
    std::vector<TagVar*> args;
    if (s.ParseArgs(line.lineNo, line.source, count, operands, &args) != 0) return -1;
    s.Append(new TagMulPlus(args, dest, index), kKindAssign, line.lineNo, line.source, line.note);
    return s.LinkLast(line.lineNo, line.source);
  }
  std::string error, warning;
  TagExpre* expression = CompileExpression(s, parts[0], name, index, line.note, &error, &warning);
  if (expression == nullptr) return Fail(s, line, error.empty() ? std::string("语法错误") : error);
  if (!warning.empty()) s.Warning(line.lineNo, warning, line.source);
  s.Append(expression, kKindAssign, line.lineNo, line.source, line.note);
  return s.LinkLast(line.lineNo, line.source);
}

int32_t CompileAssignLine(TagTelBasic& s, const Line& line, const Shape& shape) {
  if (shape.kind == -2 && shape.row == kRowConst) return CompileConstant(s, line, shape);
  if (shape.kind == -2) {
    s.Hint(line.lineNo, kMsgJoinedName + shape.name, line.source);
  }
  TagVar* index = nullptr;
  if (!shape.increment && TargetIndex(s, line, shape.index, &index) != 0) return -1;
  const int32_t own = s.FindOwnVariable(shape.increment ? shape.incremented : shape.name);
  TagVar *dest = nullptr, *left = nullptr, *right = nullptr;
  char op = 0;
  bool created = false;
  const int32_t r = s.ParseAssign(line.lineNo, line.work, &dest, &left, &op, &right, line.note,
                                  &created);
  if (r == -1 && shape.kind == 2) return -1;
  if (own >= 0 && dest != nullptr && dest->readOnly) return Fail(s, line, "常量不可以赋值");
  if (shape.kind == 2) {
    s.compileState.pendingTarget.Set(dest, index);
    return CompileKeywordLine(
        s, line, platform::TrimmedViewLeft(std::string_view(line.work).substr(shape.callOffset)));
  }
  if (r == -2) {
    const std::string name = shape.increment || shape.name.empty() ? dest->name() : shape.name;
    return CompileExpressionAssign(s, line, line.work, name, dest, index);
  }
  if (r != 0) return Fail(s, line, kMsgSyntaxShort);
  const auto code = static_cast<uint8_t>(op);
  TagCalculate* st = nullptr;
  if (op == '!' || op == '~' || (op == '-' && left == nullptr)) {
    st = new TagCalculate(dest, index, right, code);
  } else if (op != 0) {
    st = new TagCalculate(dest, index, left, code, right);
  } else {
    st = new TagCalculate(dest, index, left, kOpCopy);
  }
  s.Append(st, kKindAssign, line.lineNo, line.source, line.note);
  return s.LinkLast(line.lineNo, line.source);
}

int32_t CompileStatementLine(TagTelBasic& s, const Line& line) {
  Shape shape;
  std::string classified_name;
  shape.kind = s.ClassifyLine(line.work, &shape.callOffset, &classified_name, &shape.index);
  char increment_op = 0;
  shape.increment = s.IsIncDec(-1, line.work, &shape.incremented, &increment_op);
  shape.row = Keywords().MatchKeyword(line.work, &shape.rowOffset);
  std::string index;
  const int32_t split = TagTelBasic::SplitAssign(line.work, &shape.name, &index);
  if (split == -1) return Fail(s, line, "常量不可以赋值或者是非法的变量名");
  if (split <= 0) shape.name.clear();
  shape.index = split > 0 ? index : std::string();
  const bool assign_shape =
      shape.kind == 2 || shape.kind == -1 || shape.kind == -2 || shape.kind == -3;
  if (shape.increment || (assign_shape && !shape.name.empty())) {
    return CompileAssignLine(s, line, shape);
  }
  if (assign_shape) {
    // An operation whose result goes nowhere: nothing is compiled.
    s.Hint(line.lineNo, kMsgNoEffect, line.source);
    return 0;
  }
  return CompileKeywordLine(s, line, line.work);
}

int32_t CompileLine(TagTelBasic& script, int32_t line_no, std::string& text) {
  return script.ParseLine(line_no, text);
}

}  // namespace

int32_t TagTelBasic::ParseLine(int32_t line_no, std::string& text) {
  // Expressions and a target left by a failed line belong to no statement.
  compileState.pendingExpressions.clear();
  compileState.pendingTarget = TagVarRef();
  const size_t start = StatementStart(*this, line_no, text);
  if (start == npos) return 0;
  Line line;
  line.lineNo = line_no;
  line.source = text.substr(start);
  line.work = line.source;
  ExtractNote(line.work, &line.note, line_no, true);
  TrimRight(line.work);
  if (line.work.empty()) return 0;
  return CompileStatementLine(*this, line);
}

void RegisterStatementCompiler() {
  SetLineCompiler(&CompileLine);
  RegisterExpressionCompiler();
}

}  // namespace engine
