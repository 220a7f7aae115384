// The script-control statements, compiled from real script files and run
// by the run loop: handlers, quit, "Exit(", "return(", script-function
// calls, "Eval(", "RunVts(", "SetRunVtsEnvt(", "RunLine(" and "Assert(".
//
// Scripts show their values through "SendMsg(" (messages are not part of
// this program): in this test binary it records its first argument's text,
// then acts by its second (1 asks the line to quit, 2 releases the call, 4
// counts a tick and yields, without recording; 5 records "maps+<n>", the
// maps made since the test began, instead) and returns its third.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/arguments.h"
#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/run_stores.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "platform/named_event.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;
using Notes = std::vector<std::string>;

constexpr int32_t kActionQuit = 1;
constexpr int32_t kActionRelease = 2;
constexpr int32_t kActionTick = 4;
constexpr int32_t kActionCountMaps = 5;

std::mutex notes_mutex;
Notes notes;
std::atomic<int> ticks{0};
size_t maps_at_start = 0;

class NoteStatement : public TagOper {
 public:
  NoteStatement(TagTelBasic* script, const std::vector<TagVar*>& args)
      : script_(script), args_(args) {}
  int32_t Execute() override {
    const int32_t action = ArgInt(*args_[1]);
    if (action == kActionTick) {
      ++ticks;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else if (action == kActionCountMaps) {
      std::lock_guard<std::mutex> lock(notes_mutex);
      notes.push_back("maps+" + std::to_string(MapTable().LiveMaps() - maps_at_start));
    } else {
      std::lock_guard<std::mutex> lock(notes_mutex);
      notes.push_back(ArgConvertedText(*args_[0]));
    }
    if (action == kActionQuit) script_->GetRunContext()->SetQuit(1);
    if (action == kActionRelease) script_->GetRunContext()->call->callState = kCallReleased;
    return ArgInt(*args_[2]);
  }

 private:
  TagTelBasic* script_;
  std::vector<TagVar*> args_;
};

TagOper* BuildNote(const StatementBuild& build, std::string*) {
  return new NoteStatement(build.script, build.args);
}

// A call object that keeps its error-log lines.
class RecordingCall : public LineCallBase {
 public:
  void ErrorLog(std::string_view text) override { errors.emplace_back(text); }
  std::vector<std::string> errors;
};

// The text form of a map {1: first} or {1: first, 2: second} as a script
// shows it.
std::string MapText(int32_t first, const int32_t* second = nullptr) {
  TagVar m, key;
  key.SetInt(1);
  m.Element(key)->SetInt(first);
  if (second != nullptr) {
    key.SetInt(2);
    m.Element(key)->SetInt(*second);
  }
  std::string text = m.ToText();
  m.ReleaseMap();
  return text;
}

// index -> next of every statement.
std::vector<int32_t> NextLinks(const TagTelBasic& script) {
  std::vector<int32_t> links;
  for (const TagOper* s : script.statements) {
    links.push_back(s->next != nullptr ? s->next->statementIndex : -1);
  }
  return links;
}

class ScriptControlTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    static const bool registered = Statements().Register("SendMsg(", &BuildNote);
    ASSERT_TRUE(registered) << "\"SendMsg(\" has another factory in this program";
    RegisterStatementCompiler();
    RegisterScriptControlStatements();  // again: another test may have swapped the call factory
    ScriptCache().Clear();
    notes.clear();
    ticks = 0;
    maps_at_start = MapTable().LiveMaps();
    call_.lineNo = 3;
  }
  void TearDown() override {
    SetExitHandler(nullptr);
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    MapCheckTest::TearDown();
  }

  // Compiles text as the file name (a main script of line 3, run mode 1).
  std::unique_ptr<TagTelBasic> Compile(const std::string& text, const char* name = "s.vts") {
    ScriptCache().Clear();
    WriteFile(name, text);
    auto script = std::make_unique<TagTelBasic>(name, call_.lineNo, &call_, 1, nullptr);
    EXPECT_EQ(script->initResult, 0) << ReadFile(ErrorFileName(call_.lineNo)).value_or("");
    return script;
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  RecordingCall call_;
};

// --- the run loop with the handler statements ----------------------------------

TEST_F(ScriptControlTest, MainScriptRestartsAtItsEndUntilTheLineQuits) {
  auto script = Compile(
      "n = n + 1\n"
      "SendMsg(n, 0, 0, 0)\n"
      "if(n == 3)\n"
      "{\n"
      "SendMsg(\"quit\", 1, 8, 0)\n"
      "}\n");
  EXPECT_EQ(script->Run(), 8);
  EXPECT_EQ(notes, (Notes{"1", "2", "3", "quit"}));
}

struct HandlerCase {
  const char* label;
  const char* script;
  int32_t lastCallResult;
  Notes notes;
  int32_t result;
  int32_t callState;  // after the run
};

TEST_F(ScriptControlTest, HandlersAreEnteredOnceAndOnlyAboveIndexZero) {
  const HandlerCase cases[] = {
      {"a quit request jumps to OnSysQuit, which is not entered again",
       "q = 5\nIsSysQuit(q)\nSendMsg(q, 0, 0, 0)\nSendMsg(\"work\", 1, 0, 0)\n"
       "SendMsg(\"skipped\", 0, 0, 0)\nOnSysQuit()\nIsSysQuit(q)\nSendMsg(q, 1, 0, 0)\n"
       "SendMsg(\"cleanup\", 0, 0, 0)\nreturn(5)\n",
       0, {"0", "work", "1", "cleanup"}, 5, kCallNone},
      {"OnSysQuit at index 0 is no handler: the run ends",
       "OnSysQuit()\nSendMsg(\"work\", 1, 0, 0)\nSendMsg(\"skipped\", 0, 0, 0)\nreturn(5)\n",
       0, {"work"}, 0, kCallNone},
      {"a release jumps to OnDisconn, which gives the last dial result",
       "SendMsg(\"talk\", 2, 0, 0)\nSendMsg(\"skipped\", 0, 0, 0)\nr = OnDisconn()\n"
       "SendMsg(r, 0, 0, 0)\nreturn(r)\n",
       9, {"talk", "9"}, 9, kCallReleasedHandled},
      {"Close() is a disconnect handler too",
       "SendMsg(\"talk\", 2, 0, 0)\nSendMsg(\"skipped\", 0, 0, 0)\nClose()\nreturn(1)\n",
       0, {"talk"}, 1, kCallReleasedHandled},
      {"OnDisconn at index 0 is no handler",
       "OnDisconn()\nSendMsg(\"talk\", 2, 0, 0)\nSendMsg(\"after\", 0, 0, 0)\nreturn(1)\n",
       0, {"talk", "after"}, 1, kCallReleased},
      {"a release inside a function leaves the function, then OnDisconn",
       "function f(a)\n{\nSendMsg(\"in f\", 2, 0, 0)\nSendMsg(\"f goes on\", 0, 0, 0)\n}\n"
       "f(1)\nSendMsg(\"after the call\", 0, 0, 0)\nOnDisconn()\n"
       "SendMsg(\"disconn\", 0, 0, 0)\nreturn(2)\n",
       0, {"in f", "disconn"}, 2, kCallReleasedHandled},
  };
  for (const HandlerCase& c : cases) {
    SCOPED_TRACE(c.label);
    notes.clear();
    auto script = Compile(c.script);
    script->lastCallResult = c.lastCallResult;
    EXPECT_EQ(script->Run(), c.result);
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(call_.callState.load(), c.callState);
  }
}

TEST_F(ScriptControlTest, OnDisconnGivesTheDialResultOnce) {
  auto script = Compile(
      "SendMsg(\"talk\", 2, 0, 0)\nr = OnDisconn()\nSendMsg(r, 0, 0, 0)\nreturn(r)\n");
  script->lastCallResult = 9;
  const uint64_t slept = clock_.SleptMillis();
  EXPECT_EQ(script->Run(), 9);
  EXPECT_EQ(script->Run(), 0);
  EXPECT_EQ(notes, (Notes{"talk", "9", "talk", "0"}));
  EXPECT_EQ(clock_.SleptMillis() - slept, 2 * kDisconnHandlerSleepMs);
}

TEST_F(ScriptControlTest, QuitRequestFromAnotherThreadReachesOnSysQuit) {
  auto script = Compile(
      "while(1)\n{\nSendMsg(\"tick\", 4, 0, 0)\n}\n"
      "OnSysQuit()\nSendMsg(\"handler\", 0, 0, 0)\nreturn(3)\n");
  int32_t result = 0;
  std::thread runner([&] { result = script->Run(); });
  for (int i = 0; i < 2000 && ticks.load() < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  script->SetQuit(1);
  runner.join();
  EXPECT_GE(ticks.load(), 3);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(notes, (Notes{"handler"}));
}

TEST_F(ScriptControlTest, MapVariablesAreGivenBackAfterTheRun) {
  auto script = Compile(
      "m[1] = 5\nk = m\nfunction f(a)\n{\nt = a\nt[2] = 6\n}\nf(m)\nSendMsg(k, 0, 0, 0)\n"
      "return(0)\n");
  script->Run();
  const int32_t six = 6;
  EXPECT_EQ(notes, (Notes{MapText(5, &six)}));
  for (const char* name : {"m", "k"}) {
    TagVar* v = nullptr;
    script->FindVariable(name, &v);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, kVarInt) << name;
    EXPECT_EQ(v->intValue, 0) << name;
  }
  // The fixture checks that no map is left in the table.
}

// --- script-function calls ----------------------------------------------------

struct CallCase {
  const char* label;
  const char* script;
  Notes notes;
};

TEST_F(ScriptControlTest, CallsPassArgumentsByValueResult) {
  const int32_t eight = 8;
  const CallCase cases[] = {
      {"a changed parameter changes the caller's variable; a literal is not written",
       "function inc(a)\n{\na = a + 1\n}\nx = 1\ninc(x)\nSendMsg(x, 0, 0, 0)\ninc(5)\n"
       "y = 5\nSendMsg(y, 0, 0, 0)\nreturn(0)\n",
       {"2", "5"}},
      {"a string result reaches the call's target and \"_retVal\"",
       "function s(a)\n{\nreturn(\"ab\")\n}\nv = s(1)\nSendMsg(v, 0, 0, 0)\ns(1)\n"
       "SendMsg(_retVal, 0, 0, 0)\nreturn(0)\n",
       {"ab", "ab"}},
      {"a map built in a function is handed to the caller",
       "function mk(a)\n{\nt[1] = a\nreturn(t)\n}\nr = mk(7)\nSendMsg(r, 0, 0, 0)\n"
       "r = mk(8)\nr[2] = 8\nSendMsg(r, 0, 0, 0)\nreturn(0)\n",
       {MapText(7), MapText(8, &eight)}},
      {"the call leaves no reference behind on the returned map",
       "function mk(a)\n{\nt[1] = a\nreturn(t)\n}\nr = mk(7)\nSendMsg(0, 5, 0, 0)\nr = 0\n"
       "SendMsg(0, 5, 0, 0)\nreturn(0)\n",
       {"maps+1", "maps+0"}},
      {"a map argument is shared and the parameter's reference given back",
       "function put(a)\n{\na[2] = 8\n}\nm[1] = 7\nput(m)\nSendMsg(m, 0, 0, 0)\nreturn(0)\n",
       {MapText(7, &eight)}},
      {"recursion: the parameter is its own argument",
       "total = 0\nfunction down(n)\n{\nif(n > 0)\n{\ntotal = total + n\nn = n - 1\ndown(n)\n}\n}\n"
       "k = 4\ndown(k)\nSendMsg(total, 0, 0, 0)\nSendMsg(k, 0, 0, 0)\nreturn(0)\n",
       {"10", "0"}},
      {"a call of a value that is no function gives -1 into \"_retVal\"",
       "x = 1\nSendMsg(\"a\", 0, 5, 0)\nr = x(2)\nSendMsg(_retVal, 0, 0, 0)\nSendMsg(r, 0, 0, 0)\n"
       "return(0)\n",
       {"a", "-1", "-1"}},
      {"a wrong argument count at run time gives -2 into \"_retVal\"",
       "function f(a)\n{\nreturn(a)\n}\nh = f\nf(1)\nSendMsg(\"a\", 0, 5, 0)\nh(1, 2)\n"
       "SendMsg(_retVal, 0, 0, 0)\nr = h(4)\nSendMsg(r, 0, 0, 0)\nreturn(0)\n",
       {"a", "-2", "4"}},
      {"a failed call hands its target the failure, not what \"_retVal\" held before",
       "function s(a)\n{\nreturn(77)\n}\nh = s\nx = 1\ns(1)\nq = x(2)\nSendMsg(q, 0, 0, 0)\n"
       "s(1)\nq = h(1, 2)\nSendMsg(q, 0, 0, 0)\nreturn(0)\n",
       {"-1", "-2"}},
  };
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.label);
    notes.clear();
    auto script = Compile(c.script);
    script->Run();
    EXPECT_EQ(notes, c.notes);
  }
}

TEST_F(ScriptControlTest, EvalRunsInTheScopeOfItsScriptAndReusesItsTemporaries) {
  auto script = Compile(
      "a = 100\n"
      "function g(a)\n{\nb = a * 10\nv = Eval(\"a + b\")\nreturn(v)\n}\n"
      "r = Eval(\"1+2*3\")\nSendMsg(r, 0, 0, 0)\n"
      "r = Eval(\"nosuch + 1\")\nSendMsg(r, 0, 0, 0)\n"
      "r = g(2)\nSendMsg(r, 0, 0, 0)\nSendMsg(a, 0, 0, 0)\nreturn(0)\n");
  const int32_t counter = script->compileState.tempCounter;
  script->Run();
  EXPECT_EQ(notes, (Notes{"7", "NULL", "22", "100"}));
  EXPECT_EQ(script->compileState.tempCounter, counter);
  const int32_t main_variables = script->allVariables.count();
  const int32_t g_variables = script->functions.at(0)->allVariables.count();
  script->Run();
  EXPECT_EQ(script->allVariables.count(), main_variables);
  EXPECT_EQ(script->functions.at(0)->allVariables.count(), g_variables);
}

// --- "RunLine(" -----------------------------------------------------------------

struct RunLineCase {
  const char* text;
  Notes notes;  // what the line noted, r, x, y, and the branch taken
};

TEST_F(ScriptControlTest, RunLineRunsOnePlainStatementAndLeavesTheListAsItWas) {
  const RunLineCase cases[] = {
      {"x = 41 + 1", {"0", "42", "0", "ran"}},
      {"SendMsg(7, 0, 6, 0)", {"7", "6", "0", "0", "ran"}},
      {"y = SendMsg(9, 0, 4, 0)", {"9", "4", "0", "0", "ran"}},  // its target is not written
      {"f(5)", {"10", "5", "0", "ran"}},                         // not pruned: called by name
      {"if(1)", {"-999", "0", "0", "refused"}},
      {"{", {"-999", "0", "0", "refused"}},
      {"// a note", {"-999", "0", "0", "refused"}},
      {"/* open", {"-999", "0", "0", "refused"}},
      {"const k = 3", {"-999", "0", "0", "refused"}},
      {"#include <a.vts>", {"-999", "0", "0", "refused"}},
      {"function h(a)", {"-999", "0", "0", "refused"}},
      {"x = while(1)", {"-999", "0", "0", "refused"}},
      {"OnDisconn()", {"-999", "0", "0", "refused"}},
      {"nosuch(1)", {"-999", "0", "0", "refused"}},
  };
  WriteFile("a.vts", "x = 77\n");
  for (const RunLineCase& c : cases) {
    SCOPED_TRACE(c.text);
    notes.clear();
    // The list ends with an if chain: linking a statement behind it would
    // rewire the chain.
    auto script = Compile(std::string("x = 0\ny = 0\nfunction f(a)\n{\nx = a\nreturn(a * 2)\n}\n"
                                      "r = RunLine(\"") +
                          c.text +
                          "\")\nSendMsg(r, 0, 0, 0)\nSendMsg(x, 0, 0, 0)\nSendMsg(y, 0, 0, 0)\n"
                          "if(r == -999)\n{\nSendMsg(\"refused\", 1, 0, 0)\n}\n"
                          "else\n{\nSendMsg(\"ran\", 1, 0, 0)\n}\n");
    const std::vector<int32_t> links = NextLinks(*script);
    const int32_t functions = script->functionCount;
    script->Run();
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(NextLinks(*script), links);
    EXPECT_EQ(script->functionCount, functions);
    EXPECT_EQ(script->onDisconnIndex, -1);
    EXPECT_TRUE(script->compileState.commentStack.empty());
    EXPECT_EQ(script->FindOwnVariable("k"), kNotFound);
  }
}

// --- child scripts ----------------------------------------------------------------

// A print output that counts its closes; a child's forwards to its parent's,
// as a child's prints go to the line's output.
class CountingPrint : public PrintOutput {
 public:
  explicit CountingPrint(CountingPrint* parent) : parent_(parent) {}
  void Close() override {
    if (parent_ != nullptr) {
      parent_->Close();
    } else {
      ++closes;
    }
  }
  int closes = 0;

 private:
  CountingPrint* parent_;
};

std::unique_ptr<ScriptStore> MakeCountingPrint(TagTelBasic& script) {
  CountingPrint* parent = nullptr;
  if (script.environment != nullptr) {
    parent = static_cast<CountingPrint*>(script.environment->store(StoreSlot::kPrint));
  }
  return std::make_unique<CountingPrint>(parent);
}

class RunVtsTest : public ScriptControlTest {
 protected:
  void SetUp() override {
    ScriptControlTest::SetUp();
    saved_print_ = FindStoreFactory(StoreSlot::kPrint);
    RegisterStoreFactory(StoreSlot::kPrint, &MakeCountingPrint);
  }
  void TearDown() override {
    RegisterStoreFactory(StoreSlot::kPrint, saved_print_);
    ScriptControlTest::TearDown();
  }
  StoreFactory saved_print_ = nullptr;
};

struct RunVtsCase {
  const char* label;
  const char* parent;
  const char* child;
  Notes notes;
};

TEST_F(RunVtsTest, ChildScriptsRunWithAndWithoutTheParentsVariables) {
  const int32_t six = 6;
  const RunVtsCase cases[] = {
      {"a child runs to its return; the parent's variables are not its own",
       "m = 1\nr = RunVts(\"c.vts\")\nSendMsg(r, 0, 0, 0)\nreturn(0)\n",
       "SendMsg(\"child\", 0, 0, 0)\nm = 2\nreturn(4)\n", {"child", "4"}},
      {"without SetRunVtsEnvt a child does not see the parent's names",
       "m = 1\nr = RunVts(\"c.vts\")\nSendMsg(r, 0, 0, 0)\nreturn(0)\n",
       "SendMsg(m, 0, 0, 0)\nreturn(4)\n", {"-999"}},
      {"an imported map is shared and still the parent's after the child's run",
       "m[1] = 5\nSetRunVtsEnvt(1)\nr = RunVts(\"c.vts\")\nSendMsg(m, 0, 0, 0)\n"
       "SendMsg(r, 0, 0, 0)\nreturn(0)\n",
       "SendMsg(m, 0, 0, 0)\nm[2] = 6\nreturn(1)\n", {MapText(5), MapText(5, &six), "1"}},
      {"a child that does not compile gives back the maps it imported",
       "m[1] = 5\nSetRunVtsEnvt(1)\nr = RunVts(\"c.vts\")\nSendMsg(r, 0, 0, 0)\nreturn(0)\n",
       "SendMsg(m, 0, 0, 0)\nnosuch(1)\n", {"-999"}},
      {"a child that does not exist",
       "r = RunVts(\"none.vts\")\nSendMsg(r, 0, 0, 0)\nreturn(0)\n", "", {"-999"}},
  };
  for (const RunVtsCase& c : cases) {
    SCOPED_TRACE(c.label);
    notes.clear();
    WriteFile("c.vts", c.child);
    auto script = Compile(c.parent);
    script->Run();
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(script->runningChild, nullptr);
    EXPECT_EQ(static_cast<CountingPrint*>(script->store(StoreSlot::kPrint))->closes, 1)
        << "the line's print output is closed once, at the end of its own run";
  }
}

// A store that notes the child runs it hears of.
class ChildRunNotes : public ScriptStore {
 public:
  void OnChildRunStart() override { notes.push_back("start"); }
  void OnChildRunEnd() override { notes.push_back("end"); }
};

TEST_F(RunVtsTest, TheLinesStoresHearOfEveryChildRunNestedOrNot) {
  RegisterStoreFactory(StoreSlot::kLineSettings, [](TagTelBasic&) -> std::unique_ptr<ScriptStore> {
    return std::make_unique<ChildRunNotes>();
  });
  WriteFile("c.vts", "SendMsg(\"child\", 0, 0, 0)\nRunVts(\"d.vts\")\nreturn(0)\n");
  WriteFile("d.vts", "SendMsg(\"grandchild\", 0, 0, 0)\nreturn(0)\n");
  auto script = Compile("RunVts(\"c.vts\")\nRunVts(\"none.vts\")\nreturn(0)\n");
  script->Run();
  RegisterStoreFactory(StoreSlot::kLineSettings, nullptr);
  EXPECT_EQ(notes, (Notes{"start", "child", "start", "grandchild", "end", "end", "start", "end"}));
}

TEST_F(RunVtsTest, ChildHandlesTheReleaseAndTheParentSeesIt) {
  WriteFile("c.vts",
            "SendMsg(\"child\", 2, 0, 0)\nSendMsg(\"skipped\", 0, 0, 0)\nOnDisconn()\n"
            "SendMsg(\"child disconn\", 0, 0, 0)\nreturn(1)\n");
  auto script = Compile(
      "RunVts(\"c.vts\")\nSendMsg(\"parent skipped\", 0, 0, 0)\nOnDisconn()\n"
      "SendMsg(\"parent disconn\", 0, 0, 0)\nreturn(2)\n");
  EXPECT_EQ(script->Run(), 2);
  EXPECT_EQ(notes, (Notes{"child", "child disconn", "parent disconn"}));
}

// --- "Exit(" and "Assert(" -------------------------------------------------------

std::atomic<int32_t> exit_value{-1};
void RecordExit(int32_t value) { exit_value = value; }

struct ExitCase {
  const char* label;
  int32_t value;
  bool eventExists;
  bool hook;
  bool signalled;
  uint64_t slept;
  Notes notes;
};

TEST_F(ScriptControlTest, ExitSignalsAutoRunQuitForANonZeroValueAndQuits) {
  const ExitCase cases[] = {
      {"non-zero with the event", 3, true, false, true, kAutoRunQuitWaitMs, {"before"}},
      {"zero with the event: no signal", 0, true, false, false, 0, {"before"}},
      {"non-zero without the event", 3, false, false, false, 0, {"before"}},
      {"the program's hook instead of the line's quit", 3, false, true, false, 0,
       {"before", "after"}},
  };
  TempDir runtime;
  ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path());
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.label);
    notes.clear();
    exit_value = -1;
    SetExitHandler(c.hook ? &RecordExit : nullptr);
    platform::NamedEvent event;
    if (c.eventExists) {
      ASSERT_TRUE(event.Create(platform::kAutoRunQuitEventName));
    }
    auto script = Compile("SendMsg(\"before\", 0, 0, 0)\nExit(" + std::to_string(c.value) +
                          ")\nSendMsg(\"after\", 0, 0, 0)\nreturn(9)\n");
    const uint64_t slept = clock_.SleptMillis();  // the compile waits for a quiet processor
    const int32_t result = script->Run();
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(result, c.hook ? 9 : c.value);
    EXPECT_EQ(clock_.SleptMillis() - slept, c.slept);
    EXPECT_EQ(exit_value.load(), c.hook ? c.value : -1);
    if (c.eventExists) {
      EXPECT_EQ(event.IsSet(), c.signalled);
    }
  }
}

TEST_F(ScriptControlTest, AssertPassesItsValueOrLogsTheLine) {
  auto script = Compile(
      "a = Assert(7)\nSendMsg(a, 0, 0, 0)\nb = Assert(0)\nSendMsg(b, 0, 0, 0)\nreturn(0)\n");
  script->Run();
  EXPECT_EQ(notes, (Notes{"7", "0"}));
  EXPECT_EQ(call_.errors, (std::vector<std::string>{"Assert Failed: line=3"}));
}

}  // namespace
}  // namespace engine
