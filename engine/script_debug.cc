#include "engine/script_debug.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "engine/statement.h"
#include "engine/tel_basic.h"

namespace engine {
namespace {

constexpr const char* kParamNote = "参数";
constexpr const char* kNoSuchVariable = "变量名不存在.";

const char* KindName(int32_t kind) {
  switch (kind) {
    case kVarString: return "字符串";
    case kVarInt: return "整型";
    case kVarMap: return "字典(数组)型";
    case kVarFloat: return "浮点型";
    case kVarFunction: return "函数型";
    case kVarNull: return "空";
    default: return "未知类型";
  }
}

// The grid's value: a map by its handle, everything else in its quoted
// text form.
std::string GridValue(const TagVar& v) {
  if (v.kind == kVarMap) return std::to_string(v.mapHandle);
  return v.ToText(/*quote=*/true);
}

VarRow Row(std::string number, std::string_view name, const TagVar& v, const char* note,
           const char* type_prefix) {
  VarRow row;
  row.number = std::move(number);
  row.name.assign(name);
  row.value = GridValue(v);
  row.note = note;
  row.type = std::string(type_prefix) + KindName(v.kind);
  row.fullValue = v.ToText(/*quote=*/true);
  return row;
}

bool IsNamedConstant(const TagVar* v) {
  return v != nullptr && v->name()[0] != '\0' && v->kind != kVarFunction;
}

bool IsShownVariable(const TagVar* v) {
  return v != nullptr && std::string_view(v->name()).substr(0, 2) != "__";
}

std::string Tabs(int32_t depth) { return std::string(static_cast<size_t>(std::max(depth, 0)), '\t'); }

int32_t IndexOf(const TagOper* s) { return s != nullptr ? s->statementIndex : -1; }

bool ShowsPartner(const TagOper& s) {
  switch (s.kindLetter) {
    case kKindBlockStart:
    case kKindBlockEnd:
    case kKindBreak:
    case kKindContinue: return s.partner != nullptr;
    default: return false;
  }
}

TagOper* StatementAt(const TagTelBasic& script, int32_t index) {
  if (index < 0 || index >= script.statementCount) return nullptr;
  return script.statements.at(index);
}

TagTelBasic* FunctionOfTree(const TagTelBasic& main, const FunctionTree& tree, int32_t tree_index,
                            int32_t* statement) {
  const int32_t f = tree.FunctionAtTreeIndex(tree_index, statement);
  if (f < 0 || f >= main.functionCount) return nullptr;
  return main.functions.at(f);
}

}  // namespace

std::vector<VarRow> VariableRows(const TagTelBasic& script, VarOrder order) {
  std::vector<VarRow> rows;
  if (script.paramCount == 0 && script.writableCount == 0) return rows;
  for (int32_t i = 0; i < script.paramCount; ++i) {
    rows.push_back(Row(std::to_string(i) + "p", script.paramNames[i], script.params[i],
                       kParamNote, "参数: "));
  }
  int32_t named = 0;
  for (const TagVar* c : script.constants) {
    if (!IsNamedConstant(c)) continue;
    rows.push_back(Row(std::to_string(named++) + "c", c->name(), *c, "", "常量: "));
  }
  for (int32_t i = 0; i < script.writableCount; ++i) {
    const TagVar* v = script.variables.at(i);
    if (!IsShownVariable(v)) continue;
    rows.push_back(Row(std::to_string(i), v->name(), *v, "", "变量: "));
  }
  OrderRows(rows, order);
  return rows;
}

void OrderRows(std::vector<VarRow>& rows, VarOrder order) {
  // A parameter's number ends in "p", a constant's in "c".
  auto writable = std::find_if(rows.begin(), rows.end(), [](const VarRow& r) {
    return r.number.empty() || (r.number.back() != 'p' && r.number.back() != 'c');
  });
  auto by_number = [](const VarRow& a, const VarRow& b) {
    return std::atoi(a.number.c_str()) < std::atoi(b.number.c_str());
  };
  auto by_name = [](const VarRow& a, const VarRow& b) { return a.name < b.name; };
  switch (order) {
    case VarOrder::kByNumber: std::stable_sort(writable, rows.end(), by_number); break;
    case VarOrder::kByNumberDescending:
      std::stable_sort(writable, rows.end(), by_number);
      std::reverse(writable, rows.end());
      break;
    case VarOrder::kByName: std::stable_sort(writable, rows.end(), by_name); break;
    case VarOrder::kByNameDescending:
      std::stable_sort(writable, rows.end(), by_name);
      std::reverse(writable, rows.end());
      break;
  }
}

std::string MainTreeText(const TagTelBasic& script) {
  std::string text;
  char suffix[64];
  for (int32_t i = 0; i < script.statementCount; ++i) {
    const TagOper* s = script.statements.at(i);
    if (s == nullptr) continue;
    if (ShowsPartner(*s)) {
      std::snprintf(suffix, sizeof suffix, "  [%d:%d %d:%d]\n", s->statementIndex, s->lineNumber,
                    IndexOf(s->blockOpener), IndexOf(s->partner));
    } else {
      std::snprintf(suffix, sizeof suffix, "  [%d:%d %d]\n", s->statementIndex, s->lineNumber,
                    IndexOf(s->blockOpener));
    }
    text += Tabs(s->blockDepth) + s->sourceText + suffix;
  }
  return text;
}

FunctionTree BuildFunctionTree(const TagTelBasic& main) {
  FunctionTree tree;
  int32_t position = 0;
  char suffix[48];
  for (int32_t f = 0; f < main.functionCount; ++f) {
    const TagTelBasic* fn = main.functions.at(f);
    const int32_t count = fn != nullptr ? fn->statementCount : 0;
    if (fn != nullptr) tree.text += fn->headerText + " : (" + fn->sourcePath + ")\n";
    ++position;
    tree.base.push_back(position);
    tree.count.push_back(count);
    for (int32_t i = 0; i < count; ++i) {
      const TagOper* s = fn->statements.at(i);
      std::snprintf(suffix, sizeof suffix, "  [%d:%d]\n", s->statementIndex, s->lineNumber);
      tree.text += Tabs(s->blockDepth) + s->sourceText + suffix;
    }
    position += count;
  }
  return tree;
}

int32_t FunctionTree::FunctionAtTreeIndex(int32_t tree_index, int32_t* statement) const {
  for (size_t f = 0; f < base.size(); ++f) {
    if (tree_index >= base[f] && tree_index < base[f] + count[f]) {
      if (statement != nullptr) *statement = tree_index - base[f];
      return static_cast<int32_t>(f);
    }
  }
  return -1;
}

void SetBreakpoint(TagTelBasic& script, int32_t index, uint8_t on) {
  if (TagOper* s = StatementAt(script, index)) s->SetBreakpoint(on);
}

uint8_t HasBreakpoint(const TagTelBasic& script, int32_t index) {
  const TagOper* s = StatementAt(script, index);
  return s != nullptr && s->IsBreakpoint() ? 1 : 0;
}

void SetBreakpointAt(TagTelBasic& main, const FunctionTree& tree, int32_t tree_index, uint8_t on) {
  int32_t statement = 0;
  if (TagTelBasic* f = FunctionOfTree(main, tree, tree_index, &statement)) {
    SetBreakpoint(*f, statement, on);
  }
}

uint8_t HasBreakpointAt(const TagTelBasic& main, const FunctionTree& tree, int32_t tree_index) {
  int32_t statement = 0;
  const TagTelBasic* f = FunctionOfTree(main, tree, tree_index, &statement);
  return f != nullptr ? HasBreakpoint(*f, statement) : 0;
}

void ClearBreakpoints(TagTelBasic& script) {
  for (int32_t i = 0; i < script.statementCount; ++i) {
    TagOper* s = script.statements.at(i);
    if (s != nullptr && s->IsBreakpoint()) s->SetBreakpoint(0);
  }
  for (TagTelBasic* f : script.functions) {
    if (f != nullptr && f != &script) ClearBreakpoints(*f);
  }
}

bool IsStepMode(const TagTelBasic& script) {
  return script.stepMode.load(std::memory_order_relaxed) != 0;
}

void StepOnce(TagTelBasic& script) { script.stepRelease.store(1, std::memory_order_relaxed); }

int32_t VariableInfo(const TagTelBasic& script, std::string_view name, VarInfo* info) {
  for (int32_t i = 0; i < script.paramCount; ++i) {
    if (script.paramNames[i] != name) continue;
    const VarRow row = Row("", name, script.params[i], kParamNote, "参数: ");
    *info = VarInfo{row.note, row.fullValue, row.type};
    return 0;
  }
  const std::pair<const pvector<TagVar>*, const char*> lists[] = {
      {&script.constants, "常量: "}, {&script.variables, "变量: "}};
  for (const auto& [list, prefix] : lists) {
    for (const TagVar* v : *list) {
      if (v == nullptr || v->name()[0] == '\0' || name != v->name()) continue;
      const VarRow row = Row("", name, *v, "", prefix);
      *info = VarInfo{row.note, row.fullValue, row.type};
      return 0;
    }
  }
  *info = VarInfo{"", kNoSuchVariable, ""};
  return -1;
}

int32_t VariableInfo(const std::vector<VarRow>& rows, std::string_view name, VarInfo* info) {
  for (const VarRow& row : rows) {
    if (row.name != name) continue;
    *info = VarInfo{row.note, row.fullValue, row.type};
    return 0;
  }
  *info = VarInfo{"", kNoSuchVariable, ""};
  return -1;
}

std::string StatementVars(const TagTelBasic& script, int32_t index) {
  const TagOper* s = StatementAt(script, index);
  if (s == nullptr) return "";
  std::set<std::string> names;
  s->CollectNames(names);
  std::string text;
  VarInfo info;
  for (const std::string& name : names) {
    const bool found = VariableInfo(script, name, &info) == 0 ||
                       (script.owner != nullptr && VariableInfo(*script.owner, name, &info) == 0);
    if (!found) continue;
    if (!text.empty()) text += "\n";
    text += name + ": " + info.value;
  }
  return text;
}

bool PausedRead(TagTelBasic& main, const std::function<void()>& read) {
  std::lock_guard<std::mutex> lock(main.stepWaitMutex);
  if (!main.inStepWait) return false;
  read();
  return true;
}

int32_t CallStack(const TagTelBasic& script, std::vector<const TagTelBasic*>* frames) {
  if (frames == nullptr) return -1;
  frames->clear();
  if (script.caller == nullptr) return -2;
  const TagTelBasic* s = &script;
  while (s != nullptr && static_cast<int32_t>(frames->size()) < kMaxCallStack) {
    frames->push_back(s);
    if (s->caller == s) break;
    s = s->caller;
  }
  return 0;
}

}  // namespace engine
