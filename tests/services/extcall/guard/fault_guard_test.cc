// Processor faults and aborts inside a user library end the call, not the
// process: the call gives -100 with a log line, again and again, and the
// line's script runs on. A library whose load-time code crashes, aborts or
// exits is refused, and loading goes on for every thread. Runs with
// AddressSanitizer's own fault handlers off (tests.cmake) and without
// sanitizers alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "frame/log.h"
#include "frame/log_writer.h"
#include "include/vttel_extcall.h"
#include "platform/fault_guard.h"
#include "platform/process.h"
#include "platform/shared_library.h"
#include "services/extcall/dll_store.h"
#include "tests/services/child_processes.h"
#include "tests/services/extcall/extcall_lines.h"
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
      "DllFunction(h, \"call_abort\", 0)\n"
      "a = null_write()\nb = null_write()\nc = divide_by_zero()\ne = call_abort()\n"
      "d = nothing(5)\nreturn(0)\n");
  RunAll();
  EXPECT_EQ(IntOf(line, "a"), -100);
  EXPECT_EQ(IntOf(line, "b"), -100);
  EXPECT_EQ(IntOf(line, "c"), -100);
  EXPECT_EQ(IntOf(line, "e"), -100);
  EXPECT_EQ(IntOf(line, "d"), 1);
  frame::FlushProcessLog();
  const std::string log = Log();
  for (const char* call : {"null_write", "divide_by_zero", "call_abort"}) {
    EXPECT_NE(log.find(std::string("DllRun Err: ") + call + "()]"), std::string::npos) << log;
  }
}

// Runs work on a thread of its own; its result. A thread that does not end
// within 10 s waits for the loader's lock, which nothing will give back:
// the test binary ends there.
int32_t OnAnotherThread(int32_t (*work)()) {
  auto done = std::make_shared<std::promise<int32_t>>();
  std::future<int32_t> result = done->get_future();
  std::thread([done, work] { done->set_value(work()); }).detach();
  if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "a load on another thread never ended: the loader is locked\n");
    std::_Exit(1);
  }
  return result.get();
}

// Loads the test library on a fresh line and calls nothing(3): 3.
int32_t LoadAndCall() {
  services::TagVtDll line;
  const int32_t slot = line.Load(kTestLibName);
  if (slot < 0) return slot;
  line.BindFunc(slot, "nothing", 3);
  int32_t count = 0;
  auto nothing = reinterpret_cast<VtExtFunction>(line.FindFunc("nothing", &count));
  return nothing != nullptr ? nothing(count, nullptr) : -7;
}

// The library is refused (-1, logged) and nothing of it stays; the same
// line and another line then load and call a library.
TEST_F(FaultGuardTest, ALibraryWhoseLoadGoesWrongIsRefusedAndLoadingGoesOn) {
  const size_t libraries = services::GlobalDlls().size();
  struct Way {
    std::string way;  // the library's
    std::string why;  // the log line's
  };
  const Way ways[] = {{"null_write", "ended by SIGSEGV"},
                      {"abort", "ended by SIGABRT"},
                      {"exit", "called exit()"}};
  for (const auto& [way, why] : ways) {
    SCOPED_TRACE(way);
    const std::string name = way + ".dll";
    std::filesystem::create_symlink(LoadFaultLibraryPath(way), dir_.File("lib" + way + ".so"));
    services::TagVtDll line;
    EXPECT_EQ(line.Load(name), services::TagVtDll::kLoadFailed);
    EXPECT_EQ(services::GlobalDlls().size(), libraries);
    EXPECT_EQ(line.Load(kTestLibName), 0);
    EXPECT_EQ(OnAnotherThread(&LoadAndCall), 3);
    frame::FlushProcessLog();
    EXPECT_NE(Log().find("DllLoad('" + name + "'): its load-time code " + why + "]"),
              std::string::npos)
        << Log();
  }
  EXPECT_TRUE(ChildrenNamed(OwnCommandName()).empty()) << "every trial load is reaped";
}

// The faulting functions of the test library, called directly.
struct Faults {
  Faults() : library(platform::OpenSharedLibrary(VTTEL_EXTCALL_TEST_LIB)) {
    null_write = reinterpret_cast<VtExtFunction>(
        platform::FindLibrarySymbol(library, "null_write"));
    divide_by_zero = reinterpret_cast<VtExtFunction>(
        platform::FindLibrarySymbol(library, "divide_by_zero"));
    call_abort =
        reinterpret_cast<VtExtFunction>(platform::FindLibrarySymbol(library, "call_abort"));
  }
  ~Faults() { platform::CloseSharedLibrary(library); }
  void* library;
  VtExtFunction null_write = nullptr;
  VtExtFunction divide_by_zero = nullptr;
  VtExtFunction call_abort = nullptr;
};

Faults& Library() {
  static Faults faults;
  return faults;
}

// Guards of several threads at once, and nested on one thread.
TEST(FaultGuard, GuardsArePerThreadAndNest) {
  ASSERT_NE(Library().null_write, nullptr);
  ASSERT_NE(Library().divide_by_zero, nullptr);
  ASSERT_NE(Library().call_abort, nullptr);
  auto fault = [](void*) { Library().null_write(0, nullptr); };
  auto abort = [](void*) { Library().call_abort(0, nullptr); };
  auto nested = [](void* result) {
    *static_cast<int*>(result) = platform::RunFaultGuarded(
        +[](void*) { Library().divide_by_zero(1, nullptr); }, nullptr);
  };
  int results[4] = {};
  std::thread threads[4];
  for (int i = 0; i < 4; ++i) {
    threads[i] = std::thread([&, i] {
      for (int n = 0; n < 10; ++n) {
        results[i] += platform::RunFaultGuarded(n % 2 == 0 ? fault : abort, nullptr);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int r : results) EXPECT_EQ(r, 5 * SIGSEGV + 5 * SIGABRT);
  int inner = 0;
  EXPECT_EQ(platform::RunFaultGuarded(nested, &inner), 0);
  EXPECT_EQ(inner, SIGFPE);
  EXPECT_EQ(platform::RunFaultGuarded(+[](void*) {}, nullptr), 0);
}

// Outside a guarded call a fault or an abort keeps its default: the
// process ends by the signal (and leaves its core).
TEST(FaultGuardDeathTest, AFaultOutsideAGuardEndsTheProcess) {
  ASSERT_NE(Library().null_write, nullptr);
  ASSERT_NE(Library().call_abort, nullptr);
  EXPECT_EQ(platform::RunFaultGuarded(+[](void*) {}, nullptr), 0);  // handlers installed
  EXPECT_EQ(platform::RunFaultGuarded(+[](void*) { Library().call_abort(0, nullptr); }, nullptr),
            SIGABRT);
  EXPECT_EXIT(Library().null_write(0, nullptr), ::testing::KilledBySignal(SIGSEGV), "");
  EXPECT_EXIT(Library().call_abort(0, nullptr), ::testing::KilledBySignal(SIGABRT), "");
}

// A signal another process sends while a call runs is the process's, not
// the call's: it ends the process as it would anywhere else.
TEST(FaultGuardDeathTest, ASignalFromAnotherProcessIsNotTheCalls) {
  struct Sent {
    const char* name;  // as kill(1) takes it
    int number;
  };
  for (const Sent& sent : {Sent{"ABRT", SIGABRT}, Sent{"SEGV", SIGSEGV}}) {
    auto sent_from_outside = [](void* name) {
      const std::string command =
          std::string("kill -") + static_cast<const char*>(name) + " " + std::to_string(getpid());
      int exit_code = 0;
      if (auto kill = platform::ChildProcess::Start(command)) kill->Wait(5000, nullptr, &exit_code);
      std::this_thread::sleep_for(std::chrono::seconds(2));  // the signal ends it before
    };
    EXPECT_EXIT(platform::RunFaultGuarded(sent_from_outside, const_cast<char*>(sent.name)),
                ::testing::KilledBySignal(sent.number), "")
        << sent.name;
  }
}

}  // namespace
}  // namespace services_test
