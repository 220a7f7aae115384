// Processor faults inside a user library end the call, not the process:
// the call gives -100 with a log line, again and again, and the line's
// script runs on. Runs with AddressSanitizer's own fault handlers off
// (tests.cmake) and without sanitizers alike.
#include <gtest/gtest.h>

#include <csignal>

#include <memory>
#include <string>
#include <thread>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "include/vttel_extcall.h"
#include "platform/fault_guard.h"
#include "platform/shared_library.h"
#include "tests/services/extcall_lines.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

class FaultGuardTest : public ExtcallLines {
 protected:
  void SetUp() override {
    ExtcallLines::SetUp();
    frame::OpenProcessLog(
        std::make_unique<frame::TagWriteLog>(dir_.File("msg_log.txt"), 0, true, true));
  }
  void TearDown() override {
    frame::CloseProcessLog();
    ExtcallLines::TearDown();
  }
  std::string Log() const {
    return testing_support::ReadFile(dir_.File("msg_log.txt")).value_or("");
  }
};

TEST_F(FaultGuardTest, FaultsEndTheCallAndTheLineRunsOn) {
  engine::TagTelBasic* line = AddLine(
      "h = 0\na = 0\nb = 0\nc = 0\nd = 0\n"
      "DllLoad(\"testlib.dll\", h)\n"
      "DllFunction(h, \"null_write\", 0)\n"
      "DllFunction(h, \"divide_by_zero\", 0)\n"
      "DllFunction(h, \"nothing\", 1)\n"
      "a = null_write()\nb = null_write()\nc = divide_by_zero()\nd = nothing(5)\n"
      "return(0)\n");
  RunAll();
  EXPECT_EQ(IntOf(line, "a"), -100);
  EXPECT_EQ(IntOf(line, "b"), -100);
  EXPECT_EQ(IntOf(line, "c"), -100);
  EXPECT_EQ(IntOf(line, "d"), 1);
  frame::FlushProcessLog();
  const std::string log = Log();
  EXPECT_NE(log.find("DllRun Err: null_write()]"), std::string::npos) << log;
  EXPECT_NE(log.find("DllRun Err: divide_by_zero()]"), std::string::npos) << log;
}

// The faulting functions of the test library, called directly.
struct Faults {
  Faults() : library(platform::OpenSharedLibrary(VTTEL_EXTCALL_TEST_LIB)) {
    null_write = reinterpret_cast<VtExtFunction>(
        platform::FindLibrarySymbol(library, "null_write"));
    divide_by_zero = reinterpret_cast<VtExtFunction>(
        platform::FindLibrarySymbol(library, "divide_by_zero"));
  }
  ~Faults() { platform::CloseSharedLibrary(library); }
  void* library;
  VtExtFunction null_write = nullptr;
  VtExtFunction divide_by_zero = nullptr;
};

Faults& Library() {
  static Faults faults;
  return faults;
}

// Guards of several threads at once, and nested on one thread.
TEST(FaultGuard, GuardsArePerThreadAndNest) {
  ASSERT_NE(Library().null_write, nullptr);
  ASSERT_NE(Library().divide_by_zero, nullptr);
  auto fault = [](void*) { Library().null_write(0, nullptr); };
  auto nested = [](void* result) {
    *static_cast<int*>(result) = platform::RunFaultGuarded(
        +[](void*) { Library().divide_by_zero(1, nullptr); }, nullptr);
  };
  int results[4] = {};
  std::thread threads[4];
  for (int i = 0; i < 4; ++i) {
    threads[i] = std::thread([&, i] {
      for (int n = 0; n < 10; ++n) results[i] += platform::RunFaultGuarded(fault, nullptr);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int r : results) EXPECT_EQ(r, 10 * SIGSEGV);
  int inner = 0;
  EXPECT_EQ(platform::RunFaultGuarded(nested, &inner), 0);
  EXPECT_EQ(inner, SIGFPE);
  EXPECT_EQ(platform::RunFaultGuarded(+[](void*) {}, nullptr), 0);
}

// Outside a guarded call a fault keeps its default: the process ends by
// the signal (and leaves its core).
TEST(FaultGuardDeathTest, AFaultOutsideAGuardEndsTheProcess) {
  ASSERT_NE(Library().null_write, nullptr);
  EXPECT_EQ(platform::RunFaultGuarded(+[](void*) {}, nullptr), 0);  // handlers installed
  EXPECT_EXIT(Library().null_write(0, nullptr), ::testing::KilledBySignal(SIGSEGV), "");
}

}  // namespace
}  // namespace services_test
