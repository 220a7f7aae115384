// The external libraries of lines in one process: the slots of a line, the
// process's one copy of a library (seen in /proc/self/maps), bindings, and
// two lines calling one library at the same time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/shared_library.h"
#include "services/extcall/dll_libraries.h"
#include "services/extcall/dll_store.h"
#include "tests/services/child_processes.h"
#include "tests/services/extcall/extcall_lines.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using services::GlobalDlls;
using services::TagVtDll;

// The distinct places the test library is mapped at in this process (one
// per load of the file).
size_t LoadsOfTestLibrary() {
  std::ifstream maps("/proc/self/maps");
  const std::string path = TestLibraryPath();
  std::set<std::string> starts;
  for (std::string line; std::getline(maps, line);) {
    // "start-end perms offset dev inode path": the mapping at offset 0.
    if (line.size() > path.size() && line.ends_with(" " + path) &&
        line.find(" 00000000 ") != std::string::npos) {
      starts.insert(line.substr(0, line.find('-')));
    }
  }
  return starts.size();
}

class ExtcallStoreTest : public ExtcallLines {};

TEST_F(ExtcallStoreTest, OneFileTwiceOnALineIsOneSlotThatOneFreeGivesBack) {
  TagVtDll line;
  const int32_t slot = line.Load(kTestLibName);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(line.Load(kTestLibName), slot);
  EXPECT_EQ(LoadsOfTestLibrary(), 1u);
  line.Free(slot);
  EXPECT_EQ(line.FindLoaded(kTestLibName), -1);
  EXPECT_EQ(LoadsOfTestLibrary(), 0u);
  // Numbers outside the slots and empty slots are ignored.
  line.Free(-1);
  line.Free(50);
  line.Free(slot);
}

TEST_F(ExtcallStoreTest, OneFileOnTwoLinesIsMappedOnceUntilBothFreeIt) {
  const size_t libraries = GlobalDlls().size();
  TagVtDll first, second;
  ASSERT_EQ(first.Load(kTestLibName), 0);
  ASSERT_EQ(second.Load(kTestLibName), 0);
  EXPECT_EQ(GlobalDlls().size(), libraries + 1);
  EXPECT_EQ(LoadsOfTestLibrary(), 1u);
  first.FreeAll();
  EXPECT_EQ(LoadsOfTestLibrary(), 1u);
  second.Free(0);
  EXPECT_EQ(LoadsOfTestLibrary(), 0u);
  EXPECT_EQ(GlobalDlls().size(), libraries);
}

TEST_F(ExtcallStoreTest, AFiftyFirstLibraryFindsNoSlot) {
  const size_t libraries = GlobalDlls().size();
  TagVtDll line;
  for (int i = 0; i <= TagVtDll::kSlots; ++i) {
    const std::string link = "lib" + std::to_string(i) + ".so";
    std::filesystem::create_symlink(TestLibraryPath(), dir_.File(link));
    EXPECT_EQ(line.Load(link), i < TagVtDll::kSlots ? i : TagVtDll::kNoSlot) << link;
  }
  EXPECT_EQ(GlobalDlls().size(), libraries + TagVtDll::kSlots);
  line.FreeAll();
  EXPECT_EQ(GlobalDlls().size(), libraries);
  EXPECT_EQ(LoadsOfTestLibrary(), 0u);
}

TEST_F(ExtcallStoreTest, AFileThatDoesNotLoadKeepsNothing) {
  testing_support::WriteFile(dir_.File("text.dll"), "not a library\n");
  const size_t libraries = GlobalDlls().size();
  TagVtDll line;
  for (const char* file : {"text.dll", "missing.dll", "no/such/folder/x.so", ""}) {
    EXPECT_EQ(line.Load(file), TagVtDll::kLoadFailed) << file;
    EXPECT_EQ(line.FindLoaded(file), -1) << file;
  }
  EXPECT_EQ(GlobalDlls().size(), libraries);
}

// A library whose load-time code does not end is given up after the trial
// load's time, in that time, and nothing of its trial stays.
TEST_F(ExtcallStoreTest, ALibraryWhoseLoadDoesNotEndIsRefusedInTime) {
  platform::LibraryLoadError error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::OpenSharedLibrary(LoadFaultLibraryPath("sleep"), &error, 300), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(error.text, "its load-time code did not end within 300 ms");
  EXPECT_TRUE(error.loadTimeCode);
  EXPECT_TRUE(ChildrenNamed(OwnCommandName()).empty()) << "the trial is killed and reaped";
}

// The load-time code runs in the trial and in the process; loaded again
// (after the last free unloaded it) from the same file, only in the
// process; a file that changed is tried again.
TEST_F(ExtcallStoreTest, ALibraryIsTriedOnceWhileItsFileStaysTheSame) {
  const std::string file = dir_.File("libcount.so");
  std::filesystem::copy_file(LoadFaultLibraryPath("count"), file);
  auto runs = [&] {
    const std::string text = testing_support::ReadFile(dir_.File("loads.txt")).value_or("");
    return std::count(text.begin(), text.end(), '\n');
  };
  TagVtDll line;
  const std::pair<std::function<void()>, long> steps[] = {
      {[] {}, 2},
      {[] {}, 3},
      {[&] {
         std::filesystem::last_write_time(
             file, std::filesystem::last_write_time(file) + std::chrono::seconds(1));
       },
       5},
  };
  for (const auto& [before, expected] : steps) {
    before();
    ASSERT_EQ(line.Load("count.dll"), 0);
    line.FreeAll();
    EXPECT_EQ(runs(), expected);
  }
}

TEST_F(ExtcallStoreTest, NamesAreFoundInTheProgramFolderThenTheWorkingFolder) {
  testing_support::TempDir program;
  std::filesystem::create_symlink(TestLibraryPath(), program.File("elsewhere.so"));
  testing_support::ScopedEnv home("VTTEL_HOME", program.path());
  TagVtDll line;
  EXPECT_GE(line.Load("elsewhere.so"), 0);                   // the program folder
  EXPECT_GE(line.Load("TestLib.DLL"), 0);                    // "libTestLib.so", case mapped
  EXPECT_GE(line.Load(dir_.path() + "/libtestlib.so"), 0);   // a path
  EXPECT_EQ(line.Load("libtestlib.so.missing"), TagVtDll::kLoadFailed);
  line.FreeAll();
}

TEST_F(ExtcallStoreTest, BindingsBelongToTheLibraryAndTheFirstStays) {
  TagVtDll first, second;
  ASSERT_EQ(first.Load(kTestLibName), 0);
  ASSERT_EQ(second.Load(kTestLibName), 0);
  EXPECT_EQ(first.BindFunc(0, "nothing", 4), 0);
  EXPECT_EQ(second.BindFunc(0, "nothing", 2), 0);  // bound already: no change
  int32_t count = -1;
  EXPECT_NE(second.FindFunc("nothing", &count), nullptr);
  EXPECT_EQ(count, 4);
  // Not exported: bound with a null entry, never found.
  EXPECT_EQ(first.BindFunc(0, "no_such_function", 1), 0);
  EXPECT_EQ(first.FindFunc("no_such_function", &count), nullptr);
  EXPECT_EQ(count, 0);
  // Slots that hold nothing bind nothing.
  EXPECT_EQ(first.BindFunc(1, "nothing", 4), -1);
  EXPECT_EQ(first.BindFunc(50, "nothing", 4), -1);
  // Declarations: the first count stays.
  EXPECT_EQ(first.DeclareName("f", 2), 0);
  EXPECT_EQ(first.DeclareName("f", 3), -1);
  EXPECT_EQ(first.FindDeclaredName("f", &count), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first.FindDeclaredName("g", &count), -1);
}

// Two lines in one process call a function that sleeps 200 ms at the same
// time: no lock serialises them. (The library is loaded before, so the
// time is the calls', not its trial load's.)
TEST_F(ExtcallStoreTest, TwoLinesCallingAtOnceOverlap) {
  const std::string script =
      "h = 0\nr = 0\nDllLoad(\"testlib.dll\", h)\nDllFunction(h, \"sleep_200ms\", 0)\n"
      "r = sleep_200ms()\nDllFree(h)\nreturn(0)\n";
  engine::TagTelBasic* first = AddLine(script);
  engine::TagTelBasic* second = AddLine(script);
  auto loaded = std::make_unique<TagVtDll>();
  ASSERT_EQ(loaded->Load(kTestLibName), 0);
  const auto start = std::chrono::steady_clock::now();
  RunAll();
  const auto took = std::chrono::steady_clock::now() - start;
  loaded.reset();
  EXPECT_EQ(IntOf(first, "r"), 1);
  EXPECT_EQ(IntOf(second, "r"), 1);
  EXPECT_GE(took, std::chrono::milliseconds(200));
  EXPECT_LT(took, std::chrono::milliseconds(390));
  EXPECT_EQ(LoadsOfTestLibrary(), 0u);
}

}  // namespace
}  // namespace services_test
