// A short smoke run of the compile fuzz target (fuzz/compile_fuzz_body.h):
// the sample scripts as they are, edits of them, and lines of random
// control tokens, compiled and run with their bounds under the sanitizers.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/expression_hook.h"
#include "engine/tel_basic.h"
#include "fuzz/compile_fuzz_body.h"
#include "platform/clock.h"
#include "tests/engine/map_check.h"
#include "tests/test_support.h"

namespace engine {
namespace {

class CompileFuzzSmokeTest : public MapCheckTest {
 protected:
  void TearDown() override {
    SetLineCompiler(nullptr);
    SetExpressionCompiler(nullptr);
    MapCheckTest::TearDown();
  }

  static int Feed(const std::string& input) {
    return compile_fuzz::CompileFuzzOne(reinterpret_cast<const uint8_t*>(input.data()),
                                        input.size());
  }

  testing_support::TempDir dir_;
  testing_support::ScopedChdir cd_{dir_.path()};
  platform::FakeClock clock_;
  platform::ScopedClock scoped_clock_{&clock_};
};

TEST_F(CompileFuzzSmokeTest, SamplesCompileAndRun) {
  for (size_t k = 0; k < compile_fuzz::kSampleCount; ++k) {
    const std::string marked = {static_cast<char>(compile_fuzz::kMutateMarker),
                                static_cast<char>(k)};
    EXPECT_EQ(Feed(marked), 1) << "sample " << k << ":\n"
                               << compile_fuzz::kSamples[k] << "\n"
                               << testing_support::ReadFile("errmsg0.txt").value_or("");
    EXPECT_EQ(Feed(compile_fuzz::kSamples[k]), 1) << "sample " << k;
  }
}

// Scripts in the scrambled form, made by the target's marker and given as
// files already scrambled, compile as their plain text does, whatever the
// header's value.
TEST_F(CompileFuzzSmokeTest, ScrambledSamplesCompileAndRun) {
  const uint32_t values[] = {0, 0x2F1Bu * 0x5A, 0xFFFFFFFFu};
  for (size_t k = 0; k < compile_fuzz::kSampleCount; ++k) {
    for (uint32_t value : values) {
      std::string marked = {static_cast<char>(compile_fuzz::kScrambleMarker)};
      for (int i = 0; i < 4; ++i) marked += static_cast<char>(value >> (8 * i));
      marked += static_cast<char>(compile_fuzz::kMutateMarker);
      marked += static_cast<char>(k);
      EXPECT_EQ(Feed(marked), 1) << "sample " << k << " value " << value;
      EXPECT_EQ(Feed(ScrambleScript(compile_fuzz::kSamples[k], value)), 1)
          << "sample " << k << " value " << value;
    }
  }
}

// The seed inputs of the fuzz target are real scripts: every one goes
// through the compiler and, when it compiles, runs to its bound (deep
// recursion ends at the depth limit, not in a stack overflow).
TEST_F(CompileFuzzSmokeTest, SeedCorpusCompilesAndRuns) {
  const std::filesystem::path corpus =
      std::filesystem::path(VTTEL_SOURCE_DIR) / "fuzz" / "corpus" / "compile";
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    const std::optional<std::string> text = testing_support::ReadFile(entry.path().string());
    ASSERT_TRUE(text.has_value()) << name;
    EXPECT_GT(text->size(), 29u) << name << ": a seed should be a whole script";
    const int compiled = Feed(*text);
    // The demo's line statements compile only where another test of this
    // binary registered them: its run only must not fail.
    if (name != "demo.vts") {
      EXPECT_EQ(compiled, 1) << name;
    }
    ++seeds;
  }
  EXPECT_GE(seeds, 10);
}

TEST_F(CompileFuzzSmokeTest, EditedSamplesAndTokenLines) {
  std::mt19937 rng(20261210);
  int compiled = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string input = {static_cast<char>(compile_fuzz::kMutateMarker),
                         static_cast<char>(rng())};
    const size_t edits = rng() % 12;
    for (size_t k = 0; k < 3 * edits; ++k) input.push_back(static_cast<char>(rng()));
    if (Feed(input) == 1) ++compiled;
  }
  for (int i = 0; i < 400; ++i) {
    std::string input;
    const size_t lines = 1 + rng() % 20;
    for (size_t k = 0; k < lines; ++k) {
      input += compile_fuzz::kTokens[rng() % compile_fuzz::kTokenCount];
      input += rng() % 4 == 0 ? " " : "\n";
    }
    if (Feed("a = 1;\nb = 2;\nn = 0;\ns = 1;\n" + input) == 1) ++compiled;
  }
  EXPECT_GT(compiled, 100);  // enough edits keep the script valid to reach the run loop
}

}  // namespace
}  // namespace engine
