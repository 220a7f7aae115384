// Control flow against a reference: random structured scripts (if chains,
// while, counting and for-in loops, switch blocks, break and continue) are
// written by tests/engine/gen_control_programs.py together with the trace
// each must produce; every script is compiled by the main-script
// constructor, run by the run loop on a line, and the values its trace
// statement "AcdListNum(" recorded are compared with the expected trace.
//
// VTTEL_CONTROL_DIFF_DIR names a folder of prog_K.vts / prog_K.trace pairs
// to check instead of the generated ones (for a reduced program by hand).
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/control_compile.h"
#include "engine/control_flow.h"
#include "engine/expression_hook.h"
#include "engine/run_observer.h"
#include "engine/script_cache.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/message_service.h"
#include "tests/engine/link_dump.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

extern char** environ;

namespace engine {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::TempDir;

constexpr int32_t kEndMark = -999999;      // the last trace value: the line stops
constexpr int kProgramsPerSeed = 40;
constexpr uint64_t kStepLimit = 200000;    // far above any generated program's steps
constexpr size_t kTraceLimit = 100000;

// The trace of the run in progress (one script runs at a time).
std::vector<int32_t>* current_trace = nullptr;

// "AcdListNum(" x: records GetInt of x; the end mark asks the line to quit,
// so the run loop stops instead of starting the script again.
class TraceStatement : public TagOper {
 public:
  TraceStatement(TagVar* value, TagTelBasic* script) : value_(value), script_(script) {}
  int32_t Execute() override {
    const int32_t v = value_->GetInt();
    TagTelBasic* main = script_->owner != nullptr ? script_->owner : script_;
    if (current_trace != nullptr) {
      current_trace->push_back(v);
      if (current_trace->size() > kTraceLimit) main->SetQuit(1);
    }
    if (v == kEndMark) main->SetQuit(1);
    return 0;
  }

 private:
  TagVar* value_;
  TagTelBasic* script_;
};

TagOper* BuildTrace(const StatementBuild& build, std::string* error) {
  if (build.args.size() != 1 || build.script == nullptr) {
    *error = "AcdListNum: one argument";
    return nullptr;
  }
  return new TraceStatement(build.args[0], build.script);
}

bool RegisterTrace() {
  static const bool registered = Statements().Register("AcdListNum(", &BuildTrace);
  return registered || Statements().Find(Keywords().FindKeyword("AcdListNum(")) == &BuildTrace;
}

// Stops a run that would never end (a wrong link looping forever).
class StepLimit : public RunObserver {
 public:
  void SetLineStatus(int32_t, std::string_view) override {}
  void OnStepMain(const TagTelBasic& script, int32_t, std::string_view, int32_t) override {
    Count(script);
  }
  void OnStepSub(const TagTelBasic& script, int32_t, std::string_view, int32_t, bool,
                 bool) override {
    Count(script);
  }
  void RefreshDebugVars(const TagTelBasic&) override {}

  uint64_t steps = 0;
  bool hit = false;

 private:
  void Count(const TagTelBasic& script) {
    if (++steps < kStepLimit) return;
    hit = true;
    const TagTelBasic* main = script.owner != nullptr ? script.owner : &script;
    const_cast<TagTelBasic*>(main)->SetQuit(1);
  }
};

std::vector<int32_t> ParseTrace(const std::string& text) {
  std::vector<int32_t> values;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    if (end > pos) values.push_back(static_cast<int32_t>(std::strtol(text.c_str() + pos, nullptr, 10)));
    pos = end + 1;
  }
  return values;
}

std::string Join(const std::vector<int32_t>& values) {
  std::string out;
  for (int32_t v : values) out += std::to_string(v) + " ";
  return out;
}

// Runs the generator: python3 <script> --seed S --count N --out DIR.
// Returns an empty text, or what went wrong.
std::string Generate(unsigned seed, int count, const std::string& out,
                     bool open_else_if = false) {
  std::string script = std::string(VTTEL_SOURCE_DIR) + "/tests/engine/gen_control_programs.py";
  std::string seed_text = std::to_string(seed), count_text = std::to_string(count);
  std::vector<char*> argv = {const_cast<char*>("python3"), script.data(),
                             const_cast<char*>("--seed"), seed_text.data(),
                             const_cast<char*>("--count"), count_text.data(),
                             const_cast<char*>("--out"), const_cast<char*>(out.c_str())};
  if (open_else_if) argv.push_back(const_cast<char*>("--open-else-if"));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return "cannot start python3: " + std::string(std::strerror(rc));
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return "waitpid failed";
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "gen_control_programs.py failed, status " + std::to_string(status);
  }
  return "";
}

class ControlDiffTest : public MapCheckTest {
 protected:
  void SetUp() override {
    MapCheckTest::SetUp();
    ASSERT_TRUE(RegisterTrace()) << "\"AcdListNum(\" has another factory in this program";
    RegisterStatementCompiler();
    ScriptCache().Clear();
    call_.lineNo = 0;
    call_.lineKind = kLineE1;
    SetRunObserver(&limit_);
  }
  void TearDown() override {
    SetRunObserver(nullptr);
    current_trace = nullptr;
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    ScriptCache().Clear();
    MapCheckTest::TearDown();
  }

  // Compiles and runs dir/prog_K.vts, compares with dir/prog_K.trace.
  void CheckProgram(const std::string& dir, int k, const std::string& label) {
    const std::string base = dir + "/prog_" + std::to_string(k);
    const std::string text = ReadFile(base + ".vts").value_or("");
    const std::vector<int32_t> expected = ParseTrace(ReadFile(base + ".trace").value_or(""));
    ASSERT_FALSE(text.empty()) << base;
    ASSERT_FALSE(expected.empty()) << base;
    ScriptCache().Clear();
    auto script = std::make_unique<TagTelBasic>(base + ".vts", call_.lineNo, &call_, 1, nullptr);
    if (script->initResult != 0) {
      ADD_FAILURE() << label << " prog_" << k << " did not compile:\n"
                    << ReadFile(ErrorFileName(call_.lineNo)).value_or("(no error file)")
                    << "\n--- program ---\n" << text;
      return;
    }
    std::vector<int32_t> got;
    current_trace = &got;
    limit_.steps = 0;
    limit_.hit = false;
    script->Run();
    current_trace = nullptr;
    if (got != expected || limit_.hit) {
      size_t first = 0;
      while (first < got.size() && first < expected.size() && got[first] == expected[first]) ++first;
      ADD_FAILURE() << label << " prog_" << k << (limit_.hit ? " (stopped by the step limit)" : "")
                    << ": traces differ at value " << first << "\n--- program ---\n" << text
                    << "--- expected ---\n" << Join(expected) << "\n--- got ---\n" << Join(got)
                    << "\n--- links ---\n" << DumpLinks(*script, /*with_source=*/true);
    }
  }

  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
  platform::RecordingMessageService messages_;
  platform::ScopedMessageService scoped_messages_{&messages_};
  LineCallBase call_;
  StepLimit limit_;
};

class ControlDiffSeedTest : public ControlDiffTest,
                            public ::testing::WithParamInterface<unsigned> {};

TEST_P(ControlDiffSeedTest, TracesMatchTheReference) {
  const std::string out = dir_.File("programs");
  const std::string problem = Generate(GetParam(), kProgramsPerSeed, out);
  ASSERT_TRUE(problem.empty()) << problem;
  for (int k = 0; k < kProgramsPerSeed; ++k) {
    CheckProgram(out, k, "seed " + std::to_string(GetParam()));
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ControlDiffSeedTest,
                         ::testing::Values(11u, 23u, 37u, 41u, 59u, 67u, 73u, 89u));

// Known fault of the compiler's linking, kept out of the seeds above (the
// generator gives a chain with "else if" inside a block an "else" unless
// asked otherwise): an "else if(" takes the if as its block opener (from
// the if's body before it) instead of the statement that controls the
// enclosing block; the statements after the chain inherit it, and the
// block's "}" after a following loop or switch leads back to the chain's
// next instead of the loop head, so the script never leaves the block.
// Enable once the compiler links these chains right.
TEST_F(ControlDiffTest, ElseIfChainInsideALoopBlock) {
  testing_support::WriteFile("prog_0.vts",
                             "v = 0;\n"
                             "while(v < 2)\n"
                             "{\n"
                             "  v = v + 1;\n"
                             "  if(v > 5)\n"
                             "    AcdListNum(1);\n"
                             "  else if(v > 6)\n"
                             "    AcdListNum(2);\n"
                             "  w = 0;\n"
                             "  while(w < 1)\n"
                             "  {\n"
                             "    w = w + 1;\n"
                             "  }\n"
                             "}\n"
                             "AcdListNum(-999999);\n");
  testing_support::WriteFile("prog_0.trace", "-999999\n");
  CheckProgram(".", 0, "else-if chain");
}

TEST_P(ControlDiffSeedTest, TracesMatchWithOpenElseIfChains) {
  const std::string out = dir_.File("programs");
  const std::string problem = Generate(GetParam(), kProgramsPerSeed, out, true);
  ASSERT_TRUE(problem.empty()) << problem;
  for (int k = 0; k < kProgramsPerSeed; ++k) {
    CheckProgram(out, k, "seed " + std::to_string(GetParam()) + " (open else-if)");
  }
}

// The programs of a folder named by VTTEL_CONTROL_DIFF_DIR (prog_0, prog_1,
// ... until one is missing).
TEST_F(ControlDiffTest, ProgramsOfAFolder) {
  const char* dir = std::getenv("VTTEL_CONTROL_DIFF_DIR");
  if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "VTTEL_CONTROL_DIFF_DIR not set";
  int k = 0;
  for (; testing_support::FileExists(std::string(dir) + "/prog_" + std::to_string(k) + ".vts"); ++k) {
    CheckProgram(dir, k, dir);
  }
  EXPECT_GT(k, 0) << "no prog_0.vts in " << dir;
}

}  // namespace
}  // namespace engine
