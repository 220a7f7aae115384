#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/map_table.h"
#include "engine/run_observer.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/memory_reserve.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

// A statement that runs a test action and returns its result.
class ActionStatement : public TagOper {
 public:
  explicit ActionStatement(std::function<int32_t()> action) : action_(std::move(action)) {}
  int32_t Execute() override { return action_(); }

 private:
  std::function<int32_t()> action_;
};

class RecordingObserver : public RunObserver {
 public:
  void SetLineStatus(int32_t line, std::string_view status) override {
    statuses.push_back(std::to_string(line) + ":" + std::string(status));
  }
  void OnStepMain(const TagTelBasic&, int32_t index, std::string_view, int32_t) override {
    steps.push_back(index);
  }
  void OnStepSub(const TagTelBasic&, int32_t index, std::string_view, int32_t, bool,
                 bool) override {
    sub_steps.push_back(index);
  }
  void RefreshDebugVars(const TagTelBasic&) override { ++refreshes; }
  std::vector<std::string> statuses;
  std::vector<int32_t> steps, sub_steps;
  int refreshes = 0;
};

class RunLoopTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    SetRunObserver(&observer_);
    testing_support::WriteFile("empty.vts", "\n");
    call_.lineNo = 4;
    script_ = std::make_unique<TagTelBasic>("empty.vts", 4, &call_, 0, nullptr);
  }
  void TearDown() override {
    script_.reset();
    SetRunObserver(nullptr);
    MapCheckTest::TearDown();
  }

  // Appends a statement of a kind running action.
  TagOper* Add(char kind, std::function<int32_t()> action) {
    return script_->Append(new ActionStatement(std::move(action)), kind, 0, "", "");
  }
  TagVar& RetVal() { return *script_->allVariables.at(kRetValIndex); }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  RecordingObserver observer_;
  LineCallBase call_;
  std::unique_ptr<TagTelBasic> script_;
};

TEST_F(RunLoopTest, RestartsAtTheEndUntilTheLineQuits) {
  int runs = 0;
  Add(kKindGeneral, [&] { return ++runs; });
  Add(kKindGeneral, [&] {
    if (runs == 3) script_->SetQuit(1);
    return 7;
  });
  EXPECT_EQ(script_->Run(), 7);
  EXPECT_EQ(runs, 3);  // ran off its end twice, then stopped after the statement
  EXPECT_EQ(RetVal().intValue, 7);
  EXPECT_EQ(observer_.statuses, (std::vector<std::string>{"4:运行", "4:已停止"}));
  EXPECT_EQ(observer_.steps, (std::vector<int32_t>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(script_->notRunning.load(), 1);
}

TEST_F(RunLoopTest, ReturnEndsTheRunAndResultsFollowTheKind) {
  TagVar target, value_target;
  value_target.SetString("5.00");
  TagOper* g = Add(kKindGeneral, [] { return 3; });
  g->SetTarget(&target, nullptr);
  TagOper* v = Add(kKindValue, [] { return 99; });
  v->SetTarget(&value_target, nullptr);
  Add(kKindCall, [&] { return 42; });  // a call leaves "_retVal" as it is
  Add(kKindReturn, [] { return -5; });
  Add(kKindGeneral, [] {
    ADD_FAILURE() << "ran after return";
    return 0;
  });
  EXPECT_EQ(script_->Run(), -5);
  EXPECT_EQ(target.intValue, 3);
  EXPECT_EQ(RetVal().ToText(), "5.00");  // the value statement's target
}

TEST_F(RunLoopTest, QuitJumpsToTheSysQuitHandlerOnce) {
  std::vector<std::string> trace;
  Add(kKindGeneral, [&] {
    trace.push_back("work");
    script_->SetQuit(1);
    return 0;
  });
  TagOper* handler = Add(kKindGeneral, [&] {
    trace.push_back("handler");
    script_->handlerState = 7;
    return 0;
  });
  script_->onSysQuitIndex = handler->statementIndex;
  Add(kKindGeneral, [&] {
    trace.push_back("cleanup");
    return 0;
  });
  Add(kKindReturn, [] { return 0; });
  script_->Run();
  EXPECT_EQ(trace, (std::vector<std::string>{"work", "handler", "cleanup"}));
}

TEST_F(RunLoopTest, ReleasedCallJumpsToTheDisconnectHandler) {
  std::vector<std::string> trace;
  Add(kKindGeneral, [&] {
    trace.push_back("talk");
    call_.callState = kCallReleased;
    return 0;
  });
  TagOper* handler = Add(kKindGeneral, [&] {
    trace.push_back("disconn");
    call_.callState = kCallReleasedHandled;
    return 0;
  });
  script_->onDisconnIndex = handler->statementIndex;
  Add(kKindReturn, [] { return 0; });
  script_->Run();
  EXPECT_EQ(trace, (std::vector<std::string>{"talk", "disconn"}));
}

TEST_F(RunLoopTest, MapVariablesAreReleasedAfterTheRun) {
  auto* m = new TagVar;
  m->SetName("m");
  script_->AddVariable(m);
  Add(kKindGeneral, [&] {
    TagVar key;
    key.SetInt(1);
    m->Element(key)->SetInt(2);
    return 0;
  });
  Add(kKindReturn, [] { return 0; });
  script_->Run();
  EXPECT_EQ(m->kind, kVarInt);
  EXPECT_EQ(m->intValue, 0);
}

// With the program's memory reserve given out, script data does not grow:
// a text, a new dictionary entry and a new dictionary each end the line's
// run with the log line, the data already there is given back, and the
// reserve is held again after the run.
TEST_F(RunLoopTest, ScriptDataDoesNotGrowWhileTheMemoryReserveIsOut) {
  ASSERT_TRUE(platform::InstallMemoryReserve(1 << 20));
  TagVar* m = nullptr;
  const std::pair<const char*, std::function<void()>> growths[] = {
      {"text", [&] { m->AssignString("a text that needs room of its own"); }},
      {"entry", [&] {
         TagVar key;
         key.SetInt(7);
         m->Element(key)->SetInt(2);
       }},
      {"dictionary", [&] { MapTable().NewMap(); }},
  };
  for (const auto& [what, grow] : growths) {
    SCOPED_TRACE(what);
    script_ = std::make_unique<TagTelBasic>("empty.vts", 4, &call_, 0, nullptr);
    m = new TagVar;
    m->SetName("m");
    script_->AddVariable(m);
    bool after = false;
    Add(kKindGeneral, [&] {
      TagVar key;
      key.SetInt(1);
      m->Element(key)->SetInt(1);  // a map the fault must give back
      platform::ReleaseMemoryReserve();
      grow();
      after = true;
      return 0;
    });
    Add(kKindReturn, [] { return 0; });
    script_->Run();
    EXPECT_FALSE(after);
    EXPECT_EQ(script_->runError, "4 Run ended: out of memory [FILE=empty.vts:LINE=0:]");
    EXPECT_EQ(m->kind, kVarInt);
    EXPECT_FALSE(platform::MemoryLow());
  }
}

TEST_F(RunLoopTest, NoStatementsRunNothingAndUncompiledScriptsRefuse) {
  EXPECT_EQ(script_->Run(), 0);
  script_->initResult = -2;
  EXPECT_EQ(script_->Run(), -1);
}

TEST_F(RunLoopTest, FunctionLoopLeavesOnAReleasedCall) {
  auto function = std::make_unique<TagTelBasic>("empty.vts", "F", script_.get());
  int runs = 0;
  auto add = [&](TagTelBasic& s, char kind, std::function<int32_t()> action) {
    s.Append(new ActionStatement(std::move(action)), kind, 0, "", "");
  };
  add(*function, kKindGeneral, [&] { return ++runs; });
  add(*function, kKindGeneral, [&] {
    call_.callState = kCallReleased;
    return 11;
  });
  add(*function, kKindGeneral, [&] { return ++runs; });
  script_->onDisconnIndex = 1;
  EXPECT_EQ(function->RunSub(script_.get()), 0);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(function->allVariables.at(kRetValIndex)->intValue, 11);
  EXPECT_EQ(function->caller, script_.get());
  EXPECT_EQ(observer_.sub_steps, (std::vector<int32_t>{0, 1}));
}

TEST(RunLoopStep, BreakpointStopsAndStepRunsOneStatement) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  testing_support::WriteFile("empty.vts", "\n");
  LineCallBase call;
  call.lineNo = 1;
  TagTelBasic script("empty.vts", 0, &call, 0, nullptr);
  std::atomic<int> ran{0};
  for (int i = 0; i < 3; ++i) {
    script.Append(new ActionStatement([&] { return ++ran; }), kKindGeneral, 0, "", "");
  }
  script.Append(new ActionStatement([] { return 0; }), kKindReturn, 0, "", "");
  script.statements.at(1)->SetBreakpoint(1);
  std::thread runner([&] { script.Run(); });
  auto wait_for = [&](int n) {
    for (int i = 0; i < 200 && ran.load() != n; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  wait_for(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(ran.load(), 1);  // held before statement 1
  script.stepRelease = 1;    // "Step": exactly one statement
  wait_for(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(ran.load(), 2);
  script.stepMode = 0;  // "Run"
  runner.join();
  EXPECT_EQ(ran.load(), 3);
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// A reload whose "OnSysQuit(" handler runs off the end of the list ends the
// run instead of restarting the list for ever.
TEST(RunLoopReload, HandlerRunningOffTheEndEndsTheRun) {
  testing_support::TempDir dir;
  testing_support::ScopedChdir cd(dir.path());
  testing_support::WriteFile("empty.vts", "\n");
  LineCallBase call;
  call.lineNo = 2;
  TagTelBasic script("empty.vts", 0, &call, 0, nullptr);
  int first_runs = 0;
  int target = 0;
  script.Append(new ActionStatement([&] {
                  if (++first_runs > 3) script.RequestEndRun();  // a restart spin
                  script.reloadTarget = &target;
                  script.SetReload(1);
                  return 0;
                }),
                kKindGeneral, 0, "", "");
  TagOper* handler = script.Append(new ActionStatement([&] {
                                     script.handlerState = 7;
                                     return 0;
                                   }),
                                   kKindGeneral, 0, "", "");
  script.onSysQuitIndex = handler->statementIndex;
  script.Run();
  EXPECT_EQ(first_runs, 1);
}

}  // namespace
}  // namespace engine
