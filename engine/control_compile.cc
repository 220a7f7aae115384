// The control lines of the statement compiler and the compile-time linking
// of control flow.
//
// Every control statement is appended to the compiling script's list like
// any other; the compile stacks of the script remember the open
// constructs by statement index. After each appended statement LinkLast
// looks at that statement (the current one) and the one before it (the
// previous one) and sets the links the run loop follows: then and else
// targets, loop bodies, case targets and the next of every construct, so
// that the run loop never searches the list.
#include "engine/control_compile.h"

#include <memory>

#include "engine/calculate.h"
#include "engine/complex_expre.h"
#include "engine/control_flow.h"
#include "engine/keyword_table.h"
#include "engine/line_text.h"
#include "engine/split_expression.h"
#include "engine/tel_basic.h"

namespace engine {
namespace {

constexpr char kTempValName[] = "_tempVal";

int32_t Fail(TagTelBasic& s, const ControlLine& line, std::string_view message) {
  s.ReportError(line.lineNo, message, line.source, false);
  return kControlFailed;
}

TagOper* StatementAt(TagTelBasic& s, int32_t index) {
  return index >= 0 && index < s.statementCount ? s.statements.at(index) : nullptr;
}

char KindAt(TagTelBasic& s, int32_t index) {
  TagOper* st = StatementAt(s, index);
  return st != nullptr ? st->kindLetter : '\0';
}

template <typename T>
T* TopOf(TagTelBasic& s, const std::vector<int32_t>& stack) {
  return stack.empty() ? nullptr : dynamic_cast<T*>(StatementAt(s, stack.back()));
}

// A condition compiled into an expression whose value lands in "_tempVal".
std::unique_ptr<TagExpre> CompileCondition(TagTelBasic& s, const ControlLine& line,
                                           std::string_view text) {
  std::string error, warning;
  TagExpre* expression = CompileExpression(s, text, kTempValName, nullptr, "", &error, &warning);
  if (expression == nullptr) {
    s.ReportError(line.lineNo, error.empty() ? std::string_view("语法错误") : error, line.source,
                  false);
    return nullptr;
  }
  if (!warning.empty()) s.Warning(line.lineNo, warning, line.source);
  return std::unique_ptr<TagExpre>(expression);
}

// The value of "switch(" or "case(": the first operand of a simple
// expression. An operator and a second operand are accepted and not used;
// the log gets a hint.
TagVar* SwitchValue(TagTelBasic& s, const ControlLine& line, std::string_view text) {
  ExprOperand left, right;
  char op = 0;
  std::string message;
  if (SplitExpression(&left, &op, &right, text, &message) < 0) {
    s.ReportError(line.lineNo, message, line.source, false);
    return nullptr;
  }
  TagVar* value = nullptr;
  if (left.kind == kOperandNone) {
    s.ReportError(line.lineNo, "语法错误", line.source, false);
    return nullptr;
  }
  s.ResolveOperand(left, &value);
  if (value == nullptr) {
    s.ReportError(line.lineNo, "表达式中的变量没有预先赋值", left.text, false);
    return nullptr;
  }
  if (op != 0) s.Hint(line.lineNo, kMsgUnusedOperator, line.source);
  return value;
}

TagOper* AppendKind(TagTelBasic& s, const ControlLine& line, TagOper* st, char kind) {
  return s.Append(st, kind, line.lineNo, line.source, line.note);
}

int32_t CompileIf(TagTelBasic& s, const ControlLine& line) {
  std::unique_ptr<TagExpre> condition = CompileCondition(s, line, (*line.args)[0]);
  if (condition == nullptr) return kControlFailed;
  TagIf* head = nullptr;
  if (line.row == kRowElseIf) {
    head = TopOf<TagIf>(s, s.compileState.ifStack);
    if (head == nullptr || head->blockDepth != s.compileState.blockDepth)
      return Fail(s, line, kMsgNoIf);
  }
  auto* st = new TagIf(std::move(condition));
  if (head != nullptr) {
    head->AddElseIf(st);
    st->chainHead = head->chainHead != nullptr ? head->chainHead : head;
  }
  s.compileState.ifStack.push_back(s.statementCount);
  AppendKind(s, line, st, line.row == kRowElseIf ? kKindElseIf : kKindIf);
  // A chain's later links sit in the block of its head, not in the body of
  // the statement before them (which is owned by the if).
  if (head != nullptr) st->blockOpener = head->blockOpener;
  return kControlAppended;
}

int32_t CompileElse(TagTelBasic& s, const ControlLine& line) {
  TagOper* top = TopOf<TagOper>(s, s.compileState.ifStack);
  if (top == nullptr || top->blockDepth != s.compileState.blockDepth)
    return Fail(s, line, kMsgNoIf);
  TagOper* st = AppendKind(s, line, new TagNull, kKindElse);
  st->blockOpener = top->blockOpener;
  return kControlAppended;
}

// The initialisation or step of a counting loop: one simple assignment or
// an increment (dest = first op second).
struct LoopAssign {
  TagVar* dest = nullptr;
  TagVar* first = nullptr;
  uint8_t op = 0;
  TagVar* second = nullptr;
};

bool CompileLoopAssign(TagTelBasic& s, const ControlLine& line, std::string_view text,
                       LoopAssign* out) {
  TagVar *left = nullptr, *right = nullptr;
  char op = 0;
  bool created = false;
  const int32_t r =
      s.ParseAssign(line.lineNo, text, &out->dest, &left, &op, &right, line.note, &created);
  if (r == -2) {
    s.ReportError(line.lineNo, "操作符错误: 出现多个操作符", line.source, false);
    return false;
  }
  if (r != 0) {
    s.ReportError(line.lineNo, "语法错", line.source, false);
    return false;
  }
  out->op = static_cast<uint8_t>(op);
  out->first = left != nullptr ? left : right;
  out->second = left != nullptr ? right : nullptr;
  return true;
}

int32_t CompileForIn(TagTelBasic& s, const ControlLine& line) {
  std::vector<std::string> words;
  const int32_t n = TagTelBasic::SplitArgs((*line.args)[0], &words, ' ', '\0');
  if (n != 3 || words[1] != "in" || !TagTelBasic::IsValidName(words[0])) {
    return Fail(s, line, "for语句语法错误");
  }
  TagVar* variable = nullptr;
  s.DeclareVariable(words[0], &variable, "");
  std::vector<TagVar*> collection;
  if (s.ParseArgs(line.lineNo, line.source, 1, {words[2]}, &collection) != 0) {
    return kControlFailed;
  }
  s.compileState.loopStack.push_back(s.statementCount);
  AppendKind(s, line, new TagForIn(variable, collection[0]), kKindLoop);
  return kControlAppended;
}

int32_t CompileLoop(TagTelBasic& s, const ControlLine& line) {
  if (line.row == kRowFor && line.argCount == 1) return CompileForIn(s, line);
  const bool counting = line.row == kRowFor;
  // In source order: the initialisation creates the loop variable the
  // condition reads.
  LoopAssign init, step;
  if (counting && !CompileLoopAssign(s, line, (*line.args)[0], &init)) return kControlFailed;
  std::unique_ptr<TagExpre> condition = CompileCondition(s, line, (*line.args)[counting ? 1 : 0]);
  if (condition == nullptr) return kControlFailed;
  if (counting && !CompileLoopAssign(s, line, (*line.args)[2], &step)) return kControlFailed;
  auto* loop = new TagForWhile(std::move(condition));
  if (counting) {
    loop->SetInit(init.dest, nullptr, init.first, init.op, init.second);
    loop->SetStep(step.dest, nullptr, step.first, step.op, step.second);
  }
  s.compileState.loopStack.push_back(s.statementCount);
  AppendKind(s, line, loop, kKindLoop);
  return kControlAppended;
}

int32_t CompileSwitchLine(TagTelBasic& s, const ControlLine& line) {
  if (line.row != kRowSwitch && s.compileState.switchStack.empty())
    return Fail(s, line, kMsgNoSwitch);
  if (line.row == kRowDefault) {
    AppendKind(s, line, new TagNull, kKindDefault);
    return kControlAppended;
  }
  TagVar* value = SwitchValue(s, line, (*line.args)[0]);
  if (value == nullptr) return kControlFailed;
  if (line.row == kRowCase) {
    AppendKind(s, line, new TagCase(value), kKindCase);
    return kControlAppended;
  }
  s.compileState.switchStack.push_back(s.statementCount);
  AppendKind(s, line, new TagSwitch(value), kKindSwitch);
  return kControlAppended;
}

int32_t CompileBreak(TagTelBasic& s, const ControlLine& line) {
  const bool is_break = line.row == kRowBreak;
  if (s.compileState.loopStack.empty()) {
    return Fail(s, line, is_break ? kMsgNoWhile : "找不到匹配的while语句或for语句");
  }
  TagOper* head = StatementAt(s, s.compileState.loopStack.back());
  TagOper* st = is_break ? static_cast<TagOper*>(new TagBreak) : new TagContinue;
  AppendKind(s, line, st, is_break ? kKindBreak : kKindContinue);
  st->partner = head;
  return kControlAppended;
}

// "{": finds what it opens by the statement before it; the line fails
// (nothing is stored) when nothing fits.
int32_t CompileBlockStart(TagTelBasic& s, const ControlLine& line) {
  const int32_t index = s.statementCount;
  TagOper* previous = StatementAt(s, index - 1);
  const char before = previous != nullptr ? previous->kindLetter : '\0';
  TagOper* opener = nullptr;
  switch (before) {
    case kKindIf:
    case kKindElseIf:
    case kKindElse:
      opener = TopOf<TagIf>(s, s.compileState.ifStack);
      if (opener == nullptr) return Fail(s, line, kMsgNoIf);
      break;
    case kKindLoop:
      opener = TopOf<TagWhile>(s, s.compileState.loopStack);
      if (opener == nullptr) return Fail(s, line, kMsgNoWhile);
      break;
    case kKindSwitch:
    case kKindCase:
    case kKindDefault:
      opener = TopOf<TagSwitch>(s, s.compileState.switchStack);
      if (opener == nullptr) return Fail(s, line, kMsgNoSwitch);
      if (before == kKindDefault && static_cast<TagSwitch*>(opener)->defaultTarget != nullptr) {
        return Fail(s, line, "在一个switch块里不允许有多个default语句");
      }
      break;
    default:
      // Only the first line of a function body opens a block by itself.
      if (index != 0 || s.owner == nullptr) {
        return Fail(s, line, "'{'前面一行必须有相应的流程控制语句");
      }
      break;
  }
  ++s.compileState.blockDepth;
  TagOper* saved_next = previous != nullptr ? previous->next : nullptr;
  TagOper* brace = AppendKind(s, line, new TagNull, kKindBlockStart);
  if (previous != nullptr) previous->next = saved_next;
  brace->blockOpener = opener;
  s.compileState.braceStack.push_back(index);
  if (before == kKindIf || before == kKindElseIf) static_cast<TagIf*>(opener)->SetThen(brace);
  if (before == kKindElse) static_cast<TagIf*>(opener)->SetElse(brace);
  if (before == kKindLoop) static_cast<TagWhile*>(opener)->SetBody(brace);
  if (before == kKindDefault) static_cast<TagSwitch*>(opener)->SetDefault(brace);
  if (before == kKindCase) {
    auto* sw = static_cast<TagSwitch*>(opener);
    for (int32_t i = index - 1; KindAt(s, i) == kKindCase; --i) {
      sw->AddCase(static_cast<TagCase*>(StatementAt(s, i))->caseValue, brace);
    }
  }
  if (!IsLineRestEmpty(line.rest)) {
    s.ReportError(line.lineNo, "语法错误: '{'必需单独一行", line.source, false);
  }
  return kControlAppended;
}

// The end of a function body: the function's variables are split into
// writable ones and constants, and the definition is closed.
bool EndFunctionBody(TagTelBasic& f) {
  if (f.owner == nullptr || f.owner->compileState.functionStack.empty()) return false;
  f.variables.clear();
  f.constants.clear();
  f.namedConstantCount = 0;
  for (TagVar* v : f.allVariables) {
    if (v == nullptr) continue;
    if (v->readOnly) {
      f.constants.push_back(v);
      if (v->name()[0] != '\0') ++f.namedConstantCount;
    } else {
      f.variables.push_back(v);
    }
  }
  f.writableCount = f.variables.count();
  f.constantCount = f.constants.count();
  f.owner->compileState.functionStack.pop_back();
  return true;
}

int32_t CompileBlockEnd(TagTelBasic& s, const ControlLine& line) {
  if (s.compileState.braceStack.empty()) return Fail(s, line, "找不到匹配的'{'语句");
  const int32_t open_index = s.compileState.braceStack.back();
  s.compileState.braceStack.pop_back();
  TagOper* open = StatementAt(s, open_index);
  TagOper* end = AppendKind(s, line, new TagEnd, kKindBlockEnd);
  --s.compileState.blockDepth;
  open->partner = end;
  end->partner = open;
  end->blockOpener = open->blockOpener;
  int32_t result = kControlAppended;
  switch (KindAt(s, open_index - 1)) {
    case kKindElse:
      if (s.compileState.ifStack.empty()) {
        result = Fail(s, line, kMsgNoIf);
      } else {
        s.compileState.ifStack.pop_back();
      }
      break;
    case kKindLoop:
      if (s.compileState.loopStack.empty()) {
        result = Fail(s, line, kMsgNoWhile);
      } else {
        s.compileState.loopStack.pop_back();
      }
      break;
    case kKindSwitch:
      if (s.compileState.switchStack.empty()) {
        result = Fail(s, line, kMsgNoSwitch);
      } else {
        s.compileState.switchStack.pop_back();
      }
      break;
    case kKindElseIf:
      if (!s.compileState.ifStack.empty()) s.compileState.ifStack.pop_back();
      break;
    default:
      break;
  }
  if (open_index == 0 && !EndFunctionBody(s)) result = Fail(s, line, "找不到匹配的function语句");
  if (!IsLineRestEmpty(line.rest)) {
    s.ReportError(line.lineNo, "语法错误: '}'必需单独一行", line.source, false);
  }
  return result;
}

// True when name followed by "(" is one of the control words 0-23: a line
// calling it compiles as that statement, never as a call of the function.
bool ShadowedByControlWord(const std::string& name) {
  const std::string call = name + "(";
  for (int row = 0; row < kFirstStatementRow; ++row) {
    if (call == Keywords().row(row).name) return true;
  }
  return false;
}

// The parameter text without its leading blanks, tabs and "=" and its
// trailing blanks.
std::string ParamName(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t=");
  if (first == std::string_view::npos) return std::string();
  text.remove_prefix(first);
  const size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(0, last + 1));
}

int32_t CompileFunction(TagTelBasic& s, const ControlLine& line) {
  if (s.owner != nullptr) return Fail(s, line, kMsgFunctionInFunction);
  std::string name, params_text;
  if (TagTelBasic::SplitName(line.rest, &name, &params_text) < 0 || name.empty()) {
    return Fail(s, line, "函数定义错误: 语法错");
  }
  if (s.FindFunctionIndex(name) >= 0) return Fail(s, line, "函数定义错误: 重复定义");
  if (Keywords().FindKeyword(name + "(") != kNoKeyword) {
    return Fail(s, line, "函数定义错误: 和系统函数重名");
  }
  std::vector<std::string> params;
  const int32_t n = TagTelBasic::SplitArgs(params_text, &params, ',', ')');
  if (n < 0) return Fail(s, line, "参数不可以为空");
  const bool existed = s.FindVariable(name, nullptr) >= 0;

  s.compileState.functionStack.push_back(line.lineNo);
  auto* f = new TagTelBasic(s.sourcePath, name, &s);
  f->SetHeaderText(line.source);
  s.functions.push_back(f);
  s.functionCount = s.functions.count();
  bool valid = true;
  for (const std::string& p : params) {
    const std::string param = ParamName(p);
    valid = valid && TagTelBasic::IsValidName(param);
    f->AddParam(param);
  }
  auto* variable = new TagVar;
  const std::string note(line.note);
  variable->InitFunction(name, note.c_str(), f, 1);
  s.AddVariable(variable);
  if (ShadowedByControlWord(name)) s.Hint(line.lineNo, kMsgKeywordFunction, line.source);
  if (!valid) return Fail(s, line, "函数定义错误: 参数名不合法");
  if (existed) return Fail(s, line, "函数定义错误: 函数名已经被定义为变量或常量");
  return kControlDefined;
}

}  // namespace

int32_t CompileControlLine(TagTelBasic& script, const ControlLine& line) {
  switch (line.row) {
    case kRowIf:
    case kRowElseIf:
      return CompileIf(script, line);
    case kRowElse:
      return CompileElse(script, line);
    case kRowWhile:
    case kRowFor:
      return CompileLoop(script, line);
    case kRowSwitch:
    case kRowCase:
    case kRowDefault:
      return CompileSwitchLine(script, line);
    case kRowBreak:
    case kRowContinue:
      return CompileBreak(script, line);
    case kRowBlockStart:
      return CompileBlockStart(script, line);
    case kRowBlockEnd:
      return CompileBlockEnd(script, line);
    case kRowFunction:
      return CompileFunction(script, line);
    default:
      return Fail(script, line, "不可辨识的关键字");
  }
}

// --- linking ------------------------------------------------------------------

namespace {

bool IsOneOf(char kind, std::string_view kinds) { return kinds.find(kind) != std::string_view::npos; }

// The end of an if chain reached: the opener owning the finished block (an
// "if(" or an "else if(") and its chain head lead to current (null at the
// end of the script).
void CloseIfChain(TagOper* previous, TagOper* current) {
  TagOper* opener = previous->blockOpener;
  if (opener == nullptr) return;
  opener->next = current;
  if (current != nullptr && current->kindLetter != kKindBlockEnd) {
    current->blockOpener = opener->blockOpener;
  }
  auto* chain = dynamic_cast<TagIf*>(opener);
  if (chain == nullptr) return;
  if (chain->kindLetter == kKindIf) {
    chain->PropagateNext();
  } else if (chain->chainHead != nullptr) {
    chain->chainHead->next = current;
    chain->chainHead->PropagateNext();
  }
}

}  // namespace

// Rules 2 and 3: a single-statement body, or a missing "{".
static int32_t LinkBody(TagTelBasic& s, TagOper* previous, TagOper* current, int32_t line_no,
                 std::string_view source) {
  const char before = previous->kindLetter;
  if (IsOneOf(before, "ieEw") && !IsOneOf(current->kindLetter, "{}ieEwsdc")) {
    ++current->blockDepth;
    current->singleBody = 1;
    if (current->kindLetter != kKindBreak && current->kindLetter != kKindContinue) {
      current->partner = current;
    }
    if (before == kKindLoop) {
      auto* head = dynamic_cast<TagWhile*>(
          StatementAt(s, s.compileState.loopStack.empty() ? -1 : s.compileState.loopStack.back()));
      if (head == nullptr) {
        s.ReportError(line_no, kMsgNoWhile, source, false);
        return -1;
      }
      current->blockOpener = head;
      head->SetBody(current);
      s.compileState.loopStack.pop_back();
      return 0;
    }
    auto* top = dynamic_cast<TagIf*>(
        StatementAt(s, s.compileState.ifStack.empty() ? -1 : s.compileState.ifStack.back()));
    if (top == nullptr) {
      s.ReportError(line_no, kMsgNoIf, source, false);
      return -1;
    }
    current->blockOpener = top;
    if (before == kKindElse) {
      top->SetElse(current);
      s.compileState.ifStack.pop_back();
    } else {
      top->SetThen(current);
      if (before == kKindElseIf) s.compileState.ifStack.pop_back();
    }
    return 0;
  }
  if (IsOneOf(before, "dsieEw") && current->kindLetter != kKindBlockStart) {
    s.ReportError(line_no, kMsgMissingBrace, source, false);
    return -1;
  }
  return 0;
}

// Rule 4: the construct that previous ends is over; current (null at the
// end of the script) follows it. With pop_if the finished if chain leaves
// the if stack.
static int32_t LinkConstructEnd(TagTelBasic& s, TagOper* previous, TagOper* current, bool pop_if,
                         int32_t line_no, std::string_view source) {
  if (previous->partner == nullptr ||
      !(previous->kindLetter == kKindBlockEnd || previous->singleBody)) {
    return 0;
  }
  const int32_t u = previous->singleBody && (previous->kindLetter == kKindBreak ||
                                             previous->kindLetter == kKindContinue)
                        ? previous->statementIndex
                        : previous->partner->statementIndex;
  if (u <= 0 || u >= s.statementCount) return 0;
  TagOper* owner = StatementAt(s, u - 1);
  const char kind = owner->kindLetter;
  const char now = current != nullptr ? current->kindLetter : '\0';
  if (kind == kKindSwitch || kind == kKindLoop) {
    owner->next = current;
    if (current != nullptr) current->blockOpener = owner->blockOpener;
    return 0;
  }
  const bool chain_goes_on = now == kKindElse || now == kKindElseIf;
  if (kind == kKindElse || ((kind == kKindIf || kind == kKindElseIf) && !chain_goes_on)) {
    CloseIfChain(previous, current);
    if (kind == kKindElse || !pop_if) return 0;
    if (s.compileState.ifStack.empty()) {
      s.ReportError(line_no, kMsgNoIf, source, false);
      return -1;
    }
    if (now == kKindIf && s.compileState.ifStack.size() >= 2) {
      s.compileState.ifStack.erase(s.compileState.ifStack.end() - 2);
    } else {
      s.compileState.ifStack.pop_back();
    }
  }
  return 0;
}

int32_t TagTelBasic::LinkLast(int32_t line_no, std::string_view source) {
  if (MainScript()->compileState.errorCount != 0 || statementCount == 0) return 0;
  TagOper* current = statements.at(statementCount - 1);
  TagOper* previous = statementCount > 1 ? statements.at(statementCount - 2) : nullptr;
  // Rule 1: directly inside a switch block only case, default and braces.
  if (!compileState.switchStack.empty()) {
    TagOper* sw = StatementAt(*this, compileState.switchStack.back());
    if (sw != nullptr && current->blockDepth == sw->blockDepth + 1 &&
        !IsOneOf(current->kindLetter, "cd{}")) {
      ReportError(line_no, kMsgOnlyCases, source, false);
      return -1;
    }
  }
  if (previous == nullptr) return 0;
  if (LinkBody(*this, previous, current, line_no, source) < 0) return -1;
  if (LinkConstructEnd(*this, previous, current, true, line_no, source) < 0) return -1;
  // Rule 5: a body of one statement leads back to its loop head.
  if (previous->singleBody && previous->blockOpener != nullptr &&
      previous->blockOpener->kindLetter == kKindLoop) {
    previous->next = previous->blockOpener;
  }
  return 0;
}

void TagTelBasic::LinkEnd() {
  if (MainScript()->compileState.errorCount != 0 || statementCount == 0) return;
  TagOper* last = statements.at(statementCount - 1);
  // The construct the last statement ends is over with the script; the
  // compile stacks stay as they are for the end-of-compile checks.
  LinkConstructEnd(*this, last, nullptr, false, 0, "");
  if (last->singleBody && last->blockOpener != nullptr &&
      last->blockOpener->kindLetter == kKindLoop) {
    last->next = last->blockOpener;
  }
}

}  // namespace engine
