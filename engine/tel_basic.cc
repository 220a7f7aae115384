#include "engine/tel_basic.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/keyword_table.h"
#include "frame/cpu_load.h"
#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/message_service.h"

namespace engine {
namespace {

std::atomic<LineCompiler> line_compiler{nullptr};

// The file-name and directory parts of a script path (the directory keeps
// its separator; without one the directory is "").
void SplitPath(std::string_view path, std::string* dir, std::string* file) {
  size_t cut = path.find_last_of("/\\");
  if (cut == std::string_view::npos) {
    dir->clear();
    file->assign(path);
    return;
  }
  dir->assign(path.substr(0, cut + 1));
  file->assign(path.substr(cut + 1));
}

TagVar* NewInt(std::string_view name, const char* note, int32_t value, uint8_t read_only) {
  auto* v = new TagVar;
  v->InitInt(name, note, value, read_only);
  return v;
}

TagVar* NewString(std::string_view name, const char* note, std::string_view text,
                  uint8_t read_only) {
  auto* v = new TagVar;
  v->InitString(name, note, text, read_only);
  return v;
}

}  // namespace

void SetLineCompiler(LineCompiler compiler) {
  line_compiler.store(compiler, std::memory_order_release);
}

LineCompiler GetLineCompiler() { return line_compiler.load(std::memory_order_acquire); }

std::string ErrorFileName(int32_t line_no) { return "errmsg" + std::to_string(line_no) + ".txt"; }

TagTelBasic::TagTelBasic(std::string_view path, int32_t line_no, LineCallBase* call_object,
                         int32_t run_mode, TagTelBasic* env)
    : name("_main_"), sourcePath(path), lineNo(line_no), runMode(run_mode),
      isChild(env != nullptr ? 1 : 0), environment(env) {
  if (line_no > 0 && run_mode != 0 && env == nullptr) frame::WaitCpuIdle(20, 45);
  platform::RemoveScriptFile(ErrorFileName(lineNo));
  call = call_object;
  if (call == nullptr || call->lineNo < 0) {
    initResult = -2;
    return;
  }
  CreateStores();
  CreateBuiltIns(/*main_script=*/true);
  if (environment != nullptr && environment->exportVariables) ImportVariables(*environment);
  compileState.errorCount = 0;
  compileState.warningCount = 0;
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  const int32_t lines = LoadFile(0, path);
  LinkEnd();
  const double seconds = static_cast<double>(clock.TickCount() - start) / 1000.0;
  CheckOpenConstructs(lines < 0 ? 0 : lines);
  if (pruneFunctions == 1) PruneFunctions();
  initResult = 0;
  Summarize(seconds);
  if (compileState.errorCount > 0) initResult = -2;
  SplitVariables();
}

TagTelBasic::TagTelBasic(std::string_view path, std::string_view function_name,
                         TagTelBasic* owner_script)
    : name(function_name), sourcePath(path), owner(owner_script) {
  if (owner != nullptr) {
    runMode = owner->runMode;
    lineNo = owner->lineNo;
    call = owner->call;
  }
  CreateBuiltIns(/*main_script=*/false);
  initResult = 0;
}

TagTelBasic::~TagTelBasic() {
  DeleteStore(StoreSlot::kSpeech);
  stopped.store(1, std::memory_order_relaxed);
  DeleteStore(StoreSlot::kDatabases);
  DeleteStore(StoreSlot::kSockets);
  DeleteStore(StoreSlot::kHttpRequests);
  for (TagOper* s : statements) delete s;
  compileState.pendingExpressions.clear();
  for (TagTelBasic* f : functions) delete f;
  for (TagVar* v : allVariables) delete v;
  for (TagFInclude* inc : includes) delete inc;
  DeleteStore(StoreSlot::kMessages);
  DeleteStore(StoreSlot::kTimers);
  for (auto& s : stores_) s.reset();
}

void TagTelBasic::LeaveLine() {
  stopped.store(1, std::memory_order_relaxed);
  MainScript()->attention.Raise();
  if (owner != nullptr || isChild || call == nullptr) return;
  for (auto& s : stores_) {
    if (s != nullptr) s->OnLeaveLine();
  }
  call->RaiseStop();
}

void TagTelBasic::CreateStores() {
  for (size_t i = 0; i < stores_.size(); ++i) {
    if (StoreFactory factory = FindStoreFactory(static_cast<StoreSlot>(i))) {
      stores_[i] = factory(*this);
    }
  }
}

void TagTelBasic::DeleteStore(StoreSlot slot) { stores_[static_cast<size_t>(slot)].reset(); }

void TagTelBasic::SetQuit(uint8_t flag) {
  quitRequest.store(flag, std::memory_order_relaxed);
  if (flag == 0) return;
  attention.Raise();
  for (const auto& s : stores_) {
    if (s != nullptr) s->OnStop();
  }
}

void TagTelBasic::RequestEndRun() {
  endRun.store(1, std::memory_order_relaxed);
  attention.Raise();
}

void TagTelBasic::SetStepMode(uint8_t flag) {
  stepMode.store(flag, std::memory_order_relaxed);
  stepRelease.store(0, std::memory_order_relaxed);
  if (flag) attention.Raise();
}

void TagTelBasic::RequestStop() {
  SetReload(0);
  SetQuit(1);
  if (call != nullptr) call->RaiseStop();
  stopped.store(1, std::memory_order_relaxed);
  attention.Raise();
  platform::WakeStopSleepers();
}

int32_t TagTelBasic::AddVariable(TagVar* variable) {
  allVariables.push_back(variable);
  variableCount = allVariables.count();
  return variableCount - 1;
}

void TagTelBasic::CreateBuiltIns(bool main_script) {
  AddVariable(NewInt("_tempVal", "临时变量", 0, 0));
  AddVariable(NewInt("_retVal", "操作返回值", -1, 0));
  if (!main_script) return;
  std::string dir, file;
  SplitPath(sourcePath, &dir, &file);
  AddVariable(NewInt("_lineNo", "线路号", lineNo, 1));
  AddVariable(NewInt("_lineType", "线路类型", call->lineKind, 1));
  AddVariable(NewInt("_linesCount", "总线路数", LinesCount(), 1));
  AddVariable(NewString("_vtsFile", "脚本文件名", file, 1));
  AddVariable(NewString("_vtsDir", "脚本路径", dir, 1));
  AddVariable(NewInt("true", "逻辑真", 1, 1));
  AddVariable(NewInt("false", "逻辑假", 0, 1));
  auto* null_value = new TagVar;
  null_value->SetName("NULL");
  null_value->readOnly = 1;
  AddVariable(null_value);
}

void TagTelBasic::ImportVariables(const TagTelBasic& from) {
  for (const TagVar* v : from.allVariables) {
    if (v == nullptr || v->kind == kVarFunction) continue;
    if (int32_t i = FindOwnVariable(v->name()); i >= 0) {
      allVariables[i]->Assign(*v);
      continue;
    }
    auto* copy = new TagVar;
    copy->SetName(v->name());
    copy->Assign(*v);
    AddVariable(copy);
  }
}

// Constructs still open at the end of the file, each one error.
void TagTelBasic::CheckOpenConstructs(int32_t last_line) {
  auto statement_at = [&](int32_t index) { return statements.at(index); };
  // An if whose body closes on the last line is complete.
  if (!compileState.ifStack.empty() && statementCount > 0) {
    TagOper* last = statements.at(statementCount - 1);
    if (last != nullptr && last->kindLetter == kKindBlockEnd && last->partner != nullptr) {
      TagOper* open = last->partner;
      TagOper* before = open->statementIndex > 0 ? statements.at(open->statementIndex - 1) : nullptr;
      if (before != nullptr && (before->kindLetter == kKindIf || before->kindLetter == kKindElseIf)) {
        compileState.ifStack.pop_back();
      }
    }
  }
  auto report_stack = [&](const std::vector<int32_t>& stack, const char* format) {
    if (stack.empty()) return;
    TagOper* s = statement_at(stack.back());
    char text[128];
    std::snprintf(text, sizeof text, format, s != nullptr ? s->lineNumber : 0);
    Error(last_line, text, s != nullptr ? s->sourceText : std::string());
  };
  report_stack(compileState.ifStack, "if语句没有结束 (行数:%d)");
  report_stack(compileState.loopStack, "while语句没有结束 (行数:%d)");
  report_stack(compileState.switchStack, "switch语句没有结束 (行数:%d)");
  if (!compileState.braceStack.empty()) {
    TagOper* s = statement_at(compileState.braceStack.back());
    char text[128];
    std::snprintf(text, sizeof text, "{语句没有相应的} (行数:%d)", s != nullptr ? s->lineNumber : 0);
    Error(last_line, text, "");
  }
  if (!compileState.commentStack.empty())
    Error(compileState.commentStack.back(), "注释没有结束", "");
  if (!compileState.functionStack.empty()) {
    char text[128];
    std::snprintf(text, sizeof text, "函数定义没有结束 (行数:%d)",
                  compileState.functionStack.back());
    TagTelBasic* last = functionCount > 0 ? functions.at(functionCount - 1) : nullptr;
    Error(last_line, text, last != nullptr ? last->headerText : std::string());
  }
}

// Removes the functions nothing calls, again and again until a pass
// removes none; the function-kind variable of a removed function is
// cleared so that it reads as NULL.
void TagTelBasic::PruneFunctions() {
  for (bool removed = true; removed;) {
    removed = false;
    for (int32_t i = 0; i < functionCount; ++i) {
      TagTelBasic* f = functions.at(i);
      if (f == nullptr || !f->callers.empty()) continue;
      RemoveCaller(f->name);
      const int32_t first = f->statementCount > 0 && f->statements.at(0) != nullptr
                                ? f->statements.at(0)->lineNumber - 1
                                : 0;
      f->Warning(first, "该函数从来没有被调用过, 已被优化", f->headerText);
      for (TagVar* v : allVariables) {
        if (v != nullptr && v->kind == kVarFunction && v->function == f) {
          v->kind = kVarNull;
          v->function = nullptr;
        }
      }
      delete f;
      functions[i] = nullptr;
      removed = true;
    }
    auto& list = functions.items();
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
    functionCount = functions.count();
  }
}

void TagTelBasic::Summarize(double seconds) {
  if (compileState.errorCount == 0 && !(runMode == 0 && compileState.warningCount > 0)) return;
  // "%.3f" of the seconds, without the process locale.
  const long long ms = std::llround(seconds * 1000.0);
  char text[160];
  std::snprintf(text, sizeof text, "总错误数: %d; 总警告数: %d; 编译时间: %lld.%03lld秒",
                compileState.errorCount, compileState.warningCount, ms / 1000, ms % 1000);
  ReportError(kSummaryLine, text, "编译结束", false);
  if (compileState.errorCount > 0 && !isChild) {
    char box[96];
    std::snprintf(box, sizeof box, "编译结束, 请参看错误日志errmsg%d.txt", lineNo);
    ShowError(kSummaryLine, text, box);
    platform::OpenDocument(ErrorFileName(lineNo));
  }
}

void TagTelBasic::SplitVariables() {
  variables.clear();
  constants.clear();
  namedConstantCount = 0;
  for (TagVar* v : allVariables) {
    if (v == nullptr) continue;
    if (v->readOnly) {
      constants.push_back(v);
      if (v->name()[0] != '\0') ++namedConstantCount;
    } else {
      variables.push_back(v);
    }
  }
  writableCount = variables.count();
  constantCount = constants.count();
}

TagOper* TagTelBasic::Append(TagOper* statement, char kind, int32_t line_no,
                             std::string_view source, std::string_view note) {
  AppendContext c;
  c.statements = &statements.items();
  c.pendingArgs = std::move(compileState.pendingExpressions);
  compileState.pendingExpressions.clear();
  c.pendingTarget = compileState.pendingTarget;
  compileState.pendingTarget = TagVarRef();
  c.retVal = allVariables.at(kRetValIndex);
  c.attention = &MainScript()->attention;
  c.depth = compileState.blockDepth;
  c.source = source;
  c.note = note;
  c.line = line_no;
  AppendStatement(statement, kind, c);
  statementCount = statements.count();
  return statement;
}

void TagTelBasic::SetReload(uint8_t flag) {
  reloadRequest.store(flag, std::memory_order_relaxed);
  if (flag) attention.Raise();
  // A reload waits for a connected call to end: only a pending one stops
  // what the line is waiting in.
  if (flag && call != nullptr && IsReloadPending()) {
    call->RaiseStop();
  }
}

bool TagTelBasic::IsReloadPending() const {
  return reloadRequest.load(std::memory_order_relaxed) != 0 &&
         reloadTarget.load(std::memory_order_relaxed) != nullptr &&
         (call == nullptr || call->callState.load(std::memory_order_relaxed) != kCallConnected);
}

TagTelBasic* TagTelBasic::GetRunContext() {
  return const_cast<TagTelBasic*>(std::as_const(*this).GetRunContext());
}

const TagTelBasic* TagTelBasic::GetRunContext() const {
  const TagTelBasic* s = owner != nullptr ? owner : this;
  return s->environment != nullptr ? s->environment : s;
}

}  // namespace engine
