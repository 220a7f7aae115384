// "RunVts(", "SetRunVtsEnvt(" and "RunLine(": scripts and statements made
// at run time.
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/arguments.h"
#include "engine/keyword_table.h"
#include "engine/run_fault.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/text_trim.h"

namespace engine {
namespace {

// The run mode of a child script (a compile of a running line).
constexpr int32_t kChildRunMode = 1;

// The parent's stores while a child runs on them: told of the child's start
// and, however its run ends (a fault of the line's run passes through), of
// its end; the parent has no running child afterwards.
class ChildRun {
 public:
  ChildRun(TagTelBasic& parent, TagTelBasic& child) : parent_(parent) {
    ForEachStore([](ScriptStore& s) { s.OnChildRunStart(); });
    parent_.runningChild = &child;
  }
  ~ChildRun() {
    ForEachStore([](ScriptStore& s) { s.OnChildRunEnd(); });
    parent_.runningChild = nullptr;
  }
  ChildRun(const ChildRun&) = delete;
  ChildRun& operator=(const ChildRun&) = delete;

 private:
  template <typename F>
  void ForEachStore(F f) {
    for (size_t i = 0; i < static_cast<size_t>(StoreSlot::kCount); ++i) {
      if (ScriptStore* s = parent_.store(static_cast<StoreSlot>(i))) f(*s);
    }
  }
  TagTelBasic& parent_;
};

// "RunVts(" path: the file is built as a child main script of the line
// (same line number and call object, environment the line's script) and
// run to its end; the child's statements act on the line's stores. The
// result is the child's run result, or -999 when it did not compile.
class TagRunVts : public TagOper {
 public:
  TagRunVts(TagTelBasic* script, TagVar* path) : script_(script), path_(path) {}

  int32_t Execute() override {
    const ScriptDepth depth(*script_, *this, kCompiledLevelCost);
    TagTelBasic* acting = script_->MainScript();
    TagTelBasic* parent = script_->GetRunContext();
    const std::string path = ArgText(*path_);
    auto child =
        std::make_unique<TagTelBasic>(path, acting->lineNo, acting->call, kChildRunMode, parent);
    const ChildRun child_run(*parent, *child);
    if (child->initResult == 0) return child->Run();
    frame::LogAlwaysF("RunVts('%s') err: [LINE=%d]", path.c_str(), lineNumber);
    // Maps imported from the parent hold references of the child's own:
    // a child that never runs gives them back here.
    for (TagVar* v : child->allVariables) {
      if (v != nullptr && v->kind == kVarMap && !v->readOnly) v->AssignInt(0);
    }
    return kNotCompiled;
  }

 private:
  TagTelBasic* script_;
  TagVar* path_;
};

// "SetRunVtsEnvt(" flag: children started later import the variables of
// the line's script (each map with a reference of the child's own, which
// the child's end of run gives back).
class TagSetRunVtsEnvt : public TagOper {
 public:
  TagSetRunVtsEnvt(TagTelBasic* script, TagVar* flag) : script_(script), flag_(flag) {}
  int32_t Execute() override {
    const int32_t flag = ArgInt(*flag_);
    script_->GetRunContext()->exportVariables = flag != 0 ? 1 : 0;
    return flag;
  }

 private:
  TagTelBasic* script_;
  TagVar* flag_;
};

// --- "RunLine(" -------------------------------------------------------------

bool IsCompilerOrHandlerRow(int row) {
  return IsCompilerRow(row) || row == kRowClose || row == kRowOnDisconn || row == kRowOnSysQuit;
}

// False for a text that would compile into control flow, a handler or a
// compile-time action (a function definition, an include, a constant):
// checked at the start of the line and behind the "=" of a call
// assignment, before anything is compiled.
bool IsPlainStatementText(std::string_view text) {
  size_t offset = 0;
  text = platform::TrimmedViewLeft(text);
  if (IsCompilerOrHandlerRow(Keywords().MatchKeyword(text, &offset))) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
    } else if (text[i] == '=') {
      if (i + 1 < text.size() && text[i + 1] == '=') return true;  // a comparison
      const std::string_view behind = platform::TrimmedViewLeft(text.substr(i + 1));
      return !IsCompilerOrHandlerRow(Keywords().MatchKeyword(behind, &offset));
    }
  }
  return true;
}

bool IsControlKind(char kind) {
  return std::string_view("ieEwscdbo{}xfn").find(kind) != std::string_view::npos;
}

// What the compile of a "RunLine(" text may change of its script's compile
// state and handlers: kept and put back around it.
struct LineCompileSnapshot {
  explicit LineCompileSnapshot(const TagTelBasic& s)
      : ifStack(s.compileState.ifStack),
        switchStack(s.compileState.switchStack),
        loopStack(s.compileState.loopStack),
        braceStack(s.compileState.braceStack),
        functionStack(s.compileState.functionStack),
        commentStack(s.compileState.commentStack),
        blockDepth(s.compileState.blockDepth),
        onDisconnIndex(s.onDisconnIndex),
        onSysQuitIndex(s.onSysQuitIndex) {}
  void RestoreTo(TagTelBasic& s) const {
    s.compileState.ifStack = ifStack;
    s.compileState.switchStack = switchStack;
    s.compileState.loopStack = loopStack;
    s.compileState.braceStack = braceStack;
    s.compileState.functionStack = functionStack;
    s.compileState.commentStack = commentStack;
    s.compileState.blockDepth = blockDepth;
    s.onDisconnIndex = onDisconnIndex;
    s.onSysQuitIndex = onSysQuitIndex;
  }
  std::vector<int32_t> ifStack, switchStack, loopStack, braceStack, functionStack, commentStack;
  int32_t blockDepth;
  int32_t onDisconnIndex, onSysQuitIndex;
};

// "RunLine(" text: the text is compiled as one line of the script that
// holds the statement (at the statement's line number; errors go to the
// line's error file) and the statement it builds runs once: its argument
// expressions, then its Execute, whose result is the result (its own
// result target is not written). Only a line that builds exactly one
// statement that is not control flow or a handler runs; anything else
// gives -999. The statement is then taken out again and the script's
// statement list and links are as before; variables and constants the
// compile created stay.
class TagRunLine : public TagOper {
 public:
  TagRunLine(TagTelBasic* script, TagVar* text) : script_(script), text_(text) {}

  int32_t Execute() override {
    // A line may run "RunLine(" itself: a level of nesting.
    const ScriptDepth depth(*script_, *this, kCompiledLevelCost);
    std::string text = ArgText(*text_);
    if (!IsPlainStatementText(text)) return kNotCompiled;
    TagTelBasic& s = *script_;
    const int32_t n = s.statementCount;
    TagOper* last = n > 0 ? s.statements.at(n - 1) : nullptr;
    TagOper* const last_next = last != nullptr ? last->next : nullptr;
    const LineCompileSnapshot state(s);
    // The line's statement goes again however its run ends (a fault of the
    // line's run passes through here).
    struct Removal {
      TagTelBasic& script;
      int32_t n;
      TagOper* last;
      TagOper* last_next;
      ~Removal() { RemoveAddedStatements(script, n, last, last_next); }
    } removal{s, n, last, last_next};
    // The linking of control flow is held off while the line compiles (it
    // does nothing for a script with errors): the script's constructs must
    // not learn of a statement that lives for one run.
    TagTelBasic* main = s.MainScript();
    const int32_t errors = main->compileState.errorCount;
    main->compileState.errorCount = errors + 1;
    int32_t compiled = 0;
    {
      // The debugger's readers of the lists wait while the line is added.
      std::lock_guard<std::mutex> shape(main->shapeMutex);
      compiled = s.ParseLine(lineNumber, text);
    }
    main->compileState.errorCount = errors;
    state.RestoreTo(s);
    if (compiled != 0 || s.statementCount != n + 1) return kNotCompiled;
    TagOper* added = s.statements.at(n);
    if (IsControlKind(added->kindLetter)) return kNotCompiled;
    added->RunArgs();
    return added->Execute();
  }

 private:
  // Takes the statements from position n on out of the script again and
  // puts back the link of the statement before them.
  static void RemoveAddedStatements(TagTelBasic& s, int32_t n, TagOper* last,
                                    TagOper* last_next) {
    std::lock_guard<std::mutex> shape(s.MainScript()->shapeMutex);
    std::vector<TagOper*>& list = s.statements.items();
    while (static_cast<int32_t>(list.size()) > n) {
      delete list.back();
      list.pop_back();
    }
    s.statementCount = s.statements.count();
    s.compileState.pendingExpressions.clear();
    s.compileState.pendingTarget = TagVarRef();
    if (last != nullptr) last->next = last_next;
  }

 private:
  TagTelBasic* script_;
  TagVar* text_;
};

TagOper* BuildRunVts(const StatementBuild& b, std::string*) {
  return new TagRunVts(b.script, b.args.at(0));
}
TagOper* BuildSetRunVtsEnvt(const StatementBuild& b, std::string*) {
  return new TagSetRunVtsEnvt(b.script, b.args.at(0));
}
TagOper* BuildRunLine(const StatementBuild& b, std::string*) {
  // Functions may be called by name at run time: none is pruned.
  b.script->MainScript()->SetPruneFunctions(0);
  return new TagRunLine(b.script, b.args.at(0));
}

}  // namespace

namespace script_control_internal {

void RegisterRunStatements() {
  Statements().Register("RunVts(", &BuildRunVts);
  Statements().Register("SetRunVtsEnvt(", &BuildSetRunVtsEnvt);
  Statements().Register("RunLine(", &BuildRunLine);
}

}  // namespace script_control_internal
}  // namespace engine
