// Evaluation of compiled script expressions, side by side with the same
// expressions in Lua 5.4.
//
// The script side compiles each expression once (TagComplexExpre) and times
// TagExpre::Execute with Google Benchmark; it also counts the allocations
// per evaluation (they must be 0 for numbers). The Lua side runs the
// interpreter "lua5.4" (from PATH) on a generated script that times the
// same expressions over local variables with os.clock, less the time of an
// empty loop, and prints nanoseconds per evaluation. Both are printed with
// their ratio. Without lua5.4 only the script side is reported.
//
//   expression_bench [--lua_iterations=N] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "engine/complex_expre.h"
#include "engine/map_table.h"
#include "engine/tel_basic.h"

extern char** environ;

// --- allocation counter -------------------------------------------------------

namespace {
std::atomic<long> allocation_count{0};
}  // namespace

void* operator new(std::size_t n) {
  allocation_count.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// One expression in both languages; the operands are
// a = 7, b = 3, c = 12, d = 5, e = 0 and x = 1.5, y = 2.25, z = 0.75.
struct Case {
  const char* name;
  const char* script;
  const char* lua;
};

const Case kCases[] = {
    {"int_arith", "a * b + c - d", "a * b + c - d"},
    {"int_div_mod", "(a + b) * (c - d) / 3 % 7", "(a + b) * (c - d) // 3 % 7"},
    {"compare_logic", "a < b && c >= d || e == 0", "(a < b and c >= d) or e == 0"},
    {"float_arith", "x * y + z / 2.5 - x", "x * y + z / 2.5 - x"},
    {"bits", "(a << 3) ^ (b >> 1) | c & 255", "((a << 3) ~ (b >> 1)) | (c & 255)"},
    {"long_mixed", "(a + b * c - d) * (x - y / z) + (a % 4 << 2)",
     "(a + b * c - d) * (x - y / z) + (a % 4 << 2)"},
};

// The compiled script all cases share.
struct ScriptSide {
  ScriptSide() : script("bench.vts", "expression_bench", nullptr) {
    Set("a", 7);
    Set("b", 3);
    Set("c", 12);
    Set("d", 5);
    Set("e", 0);
    SetFloat("x", 1.5);
    SetFloat("y", 2.25);
    SetFloat("z", 0.75);
  }
  void Set(const char* name, int32_t v) {
    engine::TagVar* var = nullptr;
    script.DeclareVariable(name, &var, "");
    var->SetInt(v);
  }
  void SetFloat(const char* name, double v) {
    engine::TagVar* var = nullptr;
    script.DeclareVariable(name, &var, "");
    var->SetFloat(v);
  }
  engine::TagTelBasic script;
};

ScriptSide& Side() {
  static ScriptSide* side = new ScriptSide;  // lives to the end of the process
  return *side;
}

void BM_Expression(benchmark::State& state, const Case* c) {
  std::string error, warning;
  std::unique_ptr<engine::TagExpre> expre(
      engine::CompileExpression(Side().script, c->script, "r", nullptr, "", &error, &warning));
  if (!expre) {
    state.SkipWithError(("compile failed: " + error).c_str());
    return;
  }
  expre->Execute();
  const long before = allocation_count.load(std::memory_order_relaxed);
  for (auto _ : state) {
    benchmark::DoNotOptimize(expre->Execute());
  }
  const long allocations = allocation_count.load(std::memory_order_relaxed) - before;
  state.counters["allocs/eval"] = benchmark::Counter(
      static_cast<double>(allocations) / static_cast<double>(state.iterations()));
  state.counters["instructions"] = expre->InstructionCount();
  benchmark::DoNotOptimize(expre->ResultVariable()->intValue);
}

// Keeps the script side's time per evaluation by case name.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.str();
      const size_t slash = name.find('/');
      ns_[slash == std::string::npos ? name : name.substr(slash + 1)] =
          run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond ? 1000.0 : 1.0);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& ns() const { return ns_; }

 private:
  std::map<std::string, double> ns_;
};

std::string LuaScript(long iterations) {
  std::ostringstream lua;
  lua << "local N = " << iterations << "\n"
      << "local function run(f)\n"
      << "  local t0 = os.clock(); f(N); return os.clock() - t0\n"
      << "end\n"
      << "local base = run(function(n)\n"
      << "  local a, b, c, d, e, x, y, z = 7, 3, 12, 5, 0, 1.5, 2.25, 0.75\n"
      << "  local r\n"
      << "  for i = 1, n do r = a end\n"
      << "  return r\n"
      << "end)\n";
  for (const Case& c : kCases) {
    lua << "do\n"
        << "  local t = run(function(n)\n"
        << "    local a, b, c, d, e, x, y, z = 7, 3, 12, 5, 0, 1.5, 2.25, 0.75\n"
        << "    local r\n"
        << "    for i = 1, n do r = " << c.lua << " end\n"
        << "    return r\n"
        << "  end)\n"
        << "  local ns = (t - base) * 1e9 / N\n"
        << "  if ns < 0 then ns = 0 end\n"
        << "  print(string.format('%s %.3f', '" << c.name << "', ns))\n"
        << "end\n";
  }
  return lua.str();
}

// Runs lua5.4 on the script; its output, or "" when it could not run.
std::string RunLua(const std::string& script) {
  char path[] = "/tmp/vttel_expression_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "";
  const bool written = write(fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
  close(fd);
  std::string out;
  int pipe_fds[2];
  if (written && pipe(pipe_fds) == 0) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    char program[] = "lua5.4";
    char* argv[] = {program, path, nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (rc == 0) {
      char buffer[4096];
      ssize_t n;
      while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
      int status = 0;
      waitpid(pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out.clear();
    }
    close(pipe_fds[0]);
  }
  unlink(path);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  long lua_iterations = 20'000'000;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--lua_iterations=", 17) == 0) {
      lua_iterations = std::atol(argv[i] + 17);
    } else {
      args.push_back(argv[i]);
    }
  }
  int bench_argc = static_cast<int>(args.size());
  for (const Case& c : kCases) benchmark::RegisterBenchmark(("BM_Expression/" + std::string(c.name)).c_str(), BM_Expression, &c);
  benchmark::Initialize(&bench_argc, args.data());
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nLua 5.4 (lua5.4, local variables, %ld evaluations per expression)...\n",
              lua_iterations);
  std::fflush(stdout);
  const std::string lua_out = RunLua(LuaScript(lua_iterations));
  if (lua_out.empty()) {
    std::printf("lua5.4 did not run: no ratio\n");
    return 0;
  }
  std::map<std::string, double> lua_ns;
  std::istringstream lines(lua_out);
  std::string name;
  double ns = 0;
  while (lines >> name >> ns) lua_ns[name] = ns;

  std::printf("%-16s %12s %12s %12s\n", "expression", "vttel ns", "lua ns", "vttel/lua");
  double sum_ratio = 0;
  int ratios = 0;
  for (const Case& c : kCases) {
    const auto ours = reporter.ns().find(c.name);
    const auto theirs = lua_ns.find(c.name);
    if (ours == reporter.ns().end() || theirs == lua_ns.end()) continue;
    const double ratio = theirs->second > 0 ? ours->second / theirs->second : 0.0;
    std::printf("%-16s %12.2f %12.2f %12.2f\n", c.name, ours->second, theirs->second, ratio);
    if (ratio > 0) {
      sum_ratio += ratio;
      ++ratios;
    }
  }
  if (ratios > 0) std::printf("mean ratio vttel/lua: %.2f\n", sum_ratio / ratios);
  return 0;
}
