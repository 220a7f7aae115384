// The call of an external-library function beside a built-in statement:
// a function that does nothing, called with four arguments (two integers
// and two strings), and "Substr(" with four arguments, both compiled in one
// script and executed statement by statement as the run loop executes them
// (the library loaded and bound once before). Prints nanoseconds per call
// of each and their ratio.
//
//   extcall_bench [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/control_compile.h"
#include "engine/script_control.h"
#include "engine/tel_basic.h"
#include "services/service_statements.h"

namespace {

constexpr int32_t kCallLine = 7;
constexpr int32_t kSubstrLine = 8;

// The script, compiled once in a folder of its own and run once (which
// loads and binds the library).
struct Script {
  Script() {
    engine::RegisterStatementCompiler();
    engine::RegisterScriptControlStatements();
    services::RegisterServiceStatements();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "extcall_bench";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    std::ofstream("bench.vts") << "h = 0\ns = \"hello world\"\nd = \"\"\nr = 0\n"
                               << "DllLoad(\"" VTTEL_EXTCALL_BENCH_LIB "\", h)\n"
                               << "DllFunction(h, \"nothing\", 4)\n"
                               << "r = nothing(1, 2, s, d)\n"
                               << "r = Substr(s, 1, 4, d)\n"
                               << "return(0)\n";
    call.lineNo = 0;
    script = std::make_unique<engine::TagTelBasic>("bench.vts", 0, &call, 1, nullptr);
    if (script->initResult != 0 || script->Run() != 0) {
      std::fprintf(stderr, "extcall_bench: the script did not run\n");
      std::exit(1);
    }
  }
  engine::TagOper* StatementOfLine(int32_t line) {
    for (engine::TagOper* s : script->statements) {
      if (s != nullptr && s->lineNumber == line) return s;
    }
    std::fprintf(stderr, "extcall_bench: no statement on line %d\n", line);
    std::exit(1);
  }
  engine::LineCallBase call;
  std::unique_ptr<engine::TagTelBasic> script;
};

Script& TheScript() {
  static Script script;
  return script;
}

void RunStatement(benchmark::State& state, int32_t line, int32_t expected) {
  engine::TagOper* s = TheScript().StatementOfLine(line);
  if (s->Execute() != expected) {
    state.SkipWithError("unexpected result");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(s->Execute());
}

void BM_LibraryCallFourArguments(benchmark::State& state) { RunStatement(state, kCallLine, 4); }
void BM_SubstrFourArguments(benchmark::State& state) { RunStatement(state, kSubstrLine, 0); }

BENCHMARK(BM_LibraryCallFourArguments);
BENCHMARK(BM_SubstrFourArguments);

}  // namespace

BENCHMARK_MAIN();
