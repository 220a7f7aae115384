// The debugger's observer between a running line and a window thread: the
// line loops over "Eval(" and "RunLine(" (which add to its lists) while the
// window takes the coalesced updates, asks for snapshots, reads the trees,
// toggles breakpoints and steps the line.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/control_compile.h"
#include "engine/debug_observer.h"
#include "engine/expression_hook.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/script_control.h"
#include "engine/script_debug.h"
#include "engine/tel_basic.h"
#include "tests/test_support.h"

namespace engine {
namespace {

constexpr int32_t kLine = 3;
constexpr int kPasses = 400;

constexpr const char* kBusyScript =
    "function twice(a)\n"
    "{\n"
    "b = a * 2\n"
    "return(b)\n"
    "}\n"
    "n = n + 1\n"
    "s = \"pass\" + n\n"
    "e = Eval(\"n * 3 + k\" + n)\n"
    "r = RunLine(\"w = twice(n)\")\n"
    "x = twice(n)\n"
    "if(n >= 400)\n"
    "{\n"
    "return(n)\n"
    "}\n";

class DebugObserverConcurrencyTest : public testing::Test {
 protected:
  void SetUp() override {
    RegisterStatementCompiler();
    RegisterScriptControlStatements();
    ScriptCache().Clear();
    testing_support::WriteFile("busy.vts", kBusyScript);
    call_.lineNo = kLine;
    script_ = std::make_unique<TagTelBasic>("busy.vts", kLine, &call_, 1, nullptr);
    ASSERT_EQ(script_->initResult, 0);
    SetRunObserver(&observer_);
  }
  void TearDown() override {
    SetRunObserver(nullptr);
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  std::atomic<bool> closing_{false};
  DebugRunObserver observer_{&closing_, 8};
  LineCallBase call_;
  std::unique_ptr<TagTelBasic> script_;
};

TEST_F(DebugObserverConcurrencyTest, WindowFollowsALineThatChangesItsLists) {
  ASSERT_TRUE(observer_.OpenPage(kLine));
  EXPECT_FALSE(observer_.OpenPage(kLine));  // one page a line
  observer_.SetAutoRefresh(true);
  std::atomic<bool> done{false};
  int32_t result = 0;
  // The line stops at its first statement on every pass until the window
  // has read it paused and has taken a fresh snapshot (however the threads
  // are scheduled); later breakpoints come and go.
  SetBreakpoint(*script_, 1, 1);
  std::thread line([&] {
    result = script_->Run();
    done = true;
  });
  int takes = 0, marks = 0, snapshots = 0, paused_reads = 0;
  FunctionTree tree;
  {
    std::lock_guard<std::mutex> shape(script_->shapeMutex);
    tree = BuildFunctionTree(*script_);
  }
  for (int turn = 0; !done; ++turn) {
    ++takes;
    for (const DebugUpdate& u : observer_.TakeUpdates()) {
      EXPECT_EQ(u.line, kLine);
      if (u.mark.mainIndex >= 0) ++marks;
      if (u.snapshot) {
        bool fresh = false;
        auto snap = observer_.TakeSnapshot(kLine, &fresh);
        ASSERT_NE(snap, nullptr);
        EXPECT_EQ(snap->script, script_.get());
        if (fresh) ++snapshots;
      }
    }
    if (turn % 3 == 0) observer_.RequestSnapshot(kLine);
    {
      // The lists are read while "RunLine(" may add to them.
      std::lock_guard<std::mutex> shape(script_->shapeMutex);
      EXPECT_FALSE(MainTreeText(*script_).empty());
      // Now and then a breakpoint in the function or the main flow.
      SetBreakpointAt(*script_, tree, tree.base[0], turn % 40 == 20 ? 1 : 0);
      const bool both_seen = paused_reads > 0 && snapshots > 0;
      SetBreakpoint(*script_, 1, turn % 40 == 0 || !both_seen ? 1 : 0);
    }
    // Paused by a breakpoint: the window reads the values directly, then
    // steps once or lets the line run.
    if (PausedRead(*script_, [&] {
          VariableRows(*script_, VarOrder::kByName);
          StatementVars(*script_, 1);
          ++paused_reads;
        })) {
      if (turn % 2 == 0) {
        StepOnce(*script_);
      } else {
        script_->SetStepMode(0);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  line.join();
  {
    std::lock_guard<std::mutex> shape(script_->shapeMutex);
    ClearBreakpoints(*script_);
  }
  EXPECT_EQ(result, kPasses);
  EXPECT_GT(marks, 0);
  EXPECT_GT(snapshots, 0);
  // Coalesced: never more than one update of the line per take.
  EXPECT_LE(marks, takes);
  EXPECT_TRUE(observer_.ClosePage(kLine));
  EXPECT_GT(paused_reads, 0);
}

TEST_F(DebugObserverConcurrencyTest, AnUnansweredRequestKeepsTheLastSnapshotMarkedStale) {
  ASSERT_TRUE(observer_.OpenPage(kLine));
  bool fresh = true;
  observer_.RequestSnapshot(kLine);
  EXPECT_EQ(observer_.TakeSnapshot(kLine, &fresh), nullptr);
  EXPECT_FALSE(fresh);
  std::thread([&] { script_->Run(); }).join();  // answers before its first statement
  auto first = observer_.TakeSnapshot(kLine, &fresh);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(fresh);
  observer_.RequestSnapshot(kLine);  // the line no longer runs
  EXPECT_EQ(observer_.TakeSnapshot(kLine, &fresh), first);
  EXPECT_FALSE(fresh);
}

TEST_F(DebugObserverConcurrencyTest, AClosedPageGetsNoUpdates) {
  ASSERT_TRUE(observer_.OpenPage(kLine));
  observer_.SetAutoRefresh(true);
  std::thread line([&] { script_->Run(); });
  while (observer_.TakeUpdates().empty()) std::this_thread::yield();
  EXPECT_TRUE(observer_.HasDebugPage(kLine));
  observer_.ClosePage(kLine);
  EXPECT_FALSE(observer_.HasDebugPage(kLine));
  line.join();
  EXPECT_TRUE(observer_.TakeUpdates().empty());
  closing_ = true;
  ASSERT_TRUE(observer_.OpenPage(kLine));
  EXPECT_FALSE(observer_.HasDebugPage(kLine));  // nothing while closing
}

}  // namespace
}  // namespace engine
