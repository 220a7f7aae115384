// Lines of one process running scripts that call the test's user library:
// each script is compiled as the main script of a line of its own (as the
// line threads compile it) and run on a thread of its own.
#ifndef VTTEL_TESTS_SERVICES_EXTCALL_EXTCALL_LINES_H_
#define VTTEL_TESTS_SERVICES_EXTCALL_EXTCALL_LINES_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "services/service_statements.h"
#include "tests/test_support.h"

namespace services_test {

// The library as the scripts name it: "testlib.dll", found as
// "libtestlib.so" in the working folder (a link to the built library).
inline constexpr char kTestLibName[] = "testlib.dll";

inline std::string TestLibraryPath() {
  return std::filesystem::canonical(VTTEL_EXTCALL_TEST_LIB).string();
}

// A user library of the test build whose load-time code goes wrong one
// way: "null_write", "abort", "exit" or "sleep"; or "count", which counts
// its runs (load_fault_library.cc).
inline std::string LoadFaultLibraryPath(const std::string& way) {
  return (std::filesystem::path(TestLibraryPath()).parent_path() /
          ("libvttel_load_" + way + ".so"))
      .string();
}

class ExtcallLines : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    services::RegisterServiceStatements();
    std::filesystem::create_symlink(TestLibraryPath(), dir_.File("libtestlib.so"));
  }
  void TearDown() override {
    scripts_.clear();
    engine::SetLineCompiler(nullptr);
  }

  // Compiles text as the main script of a new line; the script.
  engine::TagTelBasic* AddLine(const std::string& text) {
    const auto line = static_cast<int32_t>(scripts_.size()) + 1;
    const std::string file = "line" + std::to_string(line) + ".vts";
    testing_support::WriteFile(dir_.File(file), text);
    calls_.push_back(std::make_unique<engine::LineCallBase>());
    calls_.back()->lineNo = line;
    scripts_.push_back(
        std::make_unique<engine::TagTelBasic>(file, line, calls_.back().get(), 1, nullptr));
    EXPECT_EQ(scripts_.back()->initResult, 0) << text;
    return scripts_.back().get();
  }

  // Runs every line on a thread of its own until all have ended.
  void RunAll() {
    std::vector<std::thread> threads;
    for (auto& s : scripts_) threads.emplace_back([script = s.get()] { script->Run(); });
    for (std::thread& t : threads) t.join();
  }

  // The integer a variable of a script holds.
  static int32_t IntOf(engine::TagTelBasic* script, const char* name) {
    engine::TagVar* v = nullptr;
    if (script->FindVariable(name, &v) < 0 || v == nullptr) {
      ADD_FAILURE() << "no variable " << name;
      return INT32_MIN;
    }
    return v->GetInt();
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  std::vector<std::unique_ptr<engine::LineCallBase>> calls_;
  std::vector<std::unique_ptr<engine::TagTelBasic>> scripts_;
};

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_EXTCALL_EXTCALL_LINES_H_
