// The database paths a script's loops take:
//  - "DbGetField(" over every field of a 10,000-record, 8-field dBASE table
//    (each read takes a fresh header and the record, as the back end does),
//    beside shapelib's dbfdump of the same file (its process time, output
//    to /dev/null);
//  - "DbExecMap(" over a 1,000 x 10 in-memory result set (the counter
//    "per_cell" is the time per cell).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/keyword_table.h"
#include "engine/line_call.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "services/db/db_store.h"
#include "services/db/local_data.h"
#include "services/service_statements.h"

namespace {

constexpr int kRecords = 10000;
constexpr int kFields = 8;
constexpr int kFieldWidth = 10;
constexpr int kMapRows = 1000;
constexpr int kMapCols = 10;

// A table of kRecords x kFields character fields in the working folder.
const std::string& TablePath() {
  static const std::string path = [] {
    const std::string p = "/tmp/vttel_db_bench_" + std::to_string(getpid()) + ".dbf";
    const int record = 1 + kFields * kFieldWidth;
    const int header = 32 + 32 * kFields + 1;
    std::string b(32, '\0');
    b[0] = 3;
    b[1] = 126;
    b[2] = 1;
    b[3] = 1;
    for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>(kRecords >> (8 * i));
    b[8] = static_cast<char>(header & 0xff);
    b[9] = static_cast<char>(header >> 8);
    b[10] = static_cast<char>(record);
    for (int f = 0; f < kFields; ++f) {
      std::string d(32, '\0');
      d.replace(0, 2, "F" + std::to_string(f));
      d[11] = 'C';
      d[16] = kFieldWidth;
      b += d;
    }
    b.push_back('\r');
    for (int r = 0; r < kRecords; ++r) {
      b.push_back(' ');
      for (int f = 0; f < kFields; ++f) {
        std::string cell = "v" + std::to_string(r) + "_" + std::to_string(f);
        cell.resize(kFieldWidth, ' ');
        b += cell;
      }
    }
    b.push_back('\x1a');
    FILE* file = std::fopen(p.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), file);
    std::fclose(file);
    return p;
  }();
  return path;
}

// A main script of line 0 with the database store, and statements built
// on it from values the benchmark owns.
class ScriptHarness {
 public:
  ScriptHarness() {
    call_.lineNo = 0;
    engine::RegisterStatementCompiler();
    services::RegisterServiceStatements();
    const std::string empty = "/tmp/vttel_db_bench_" + std::to_string(getpid()) + ".vts";
    FILE* f = std::fopen(empty.c_str(), "wb");
    std::fputs("\n", f);
    std::fclose(f);
    script_ = std::make_unique<engine::TagTelBasic>(empty, 0, &call_, 0, nullptr);
    std::remove(empty.c_str());
  }
  ~ScriptHarness() {
    script_.reset();
    engine::SetLineCompiler(nullptr);
    engine::SetExpressionCompiler(nullptr);
  }
  services::DatabaseStore& store() { return *services::DatabaseStoreOf(script_.get()); }
  engine::TagVar* Val(int32_t v) {
    values_.push_back(std::make_unique<engine::TagVar>());
    values_.back()->SetInt(v);
    return values_.back().get();
  }
  engine::TagVar* Val(const std::string& text) {
    values_.push_back(std::make_unique<engine::TagVar>());
    values_.back()->SetString(text);
    return values_.back().get();
  }
  std::unique_ptr<engine::TagOper> Build(const char* keyword, std::vector<engine::TagVar*> args) {
    engine::StatementBuild build;
    build.row = engine::Keywords().FindKeyword(keyword);
    build.args = std::move(args);
    build.script = script_.get();
    std::string error;
    return std::unique_ptr<engine::TagOper>(engine::Statements().Build(build, &error));
  }

 private:
  engine::LineCallBase call_;
  std::unique_ptr<engine::TagTelBasic> script_;
  std::vector<std::unique_ptr<engine::TagVar>> values_;
};

void BM_DbGetFieldAllCells(benchmark::State& state) {
  ScriptHarness h;
  engine::TagVar* handle = h.Val(-1);
  h.Build("DbOpen(", {h.Val(0), h.Val(TablePath()), h.Val(""), h.Val(""), h.Val(""), handle})
      ->Execute();
  engine::TagVar *column = h.Val(0), *row = h.Val(0), *out = h.Val("");
  std::unique_ptr<engine::TagOper> get = h.Build("DbGetField(", {handle, column, row, out});
  for (auto _ : state) {
    for (int r = 1; r <= kRecords; ++r) {
      row->SetInt(r);
      for (int f = 0; f < kFields; ++f) {
        column->SetInt(f);
        if (get->Execute() != f) state.SkipWithError("read failed");
      }
    }
  }
  state.counters["per_cell"] = benchmark::Counter(
      kRecords * kFields, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DbGetFieldAllCells)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// dbfdump of the same table: the child's processor time per run.
void BM_DbfdumpProcess(benchmark::State& state) {
  const std::string& path = TablePath();
  for (auto _ : state) {
    rusage before, after;
    getrusage(RUSAGE_CHILDREN, &before);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>("dbfdump"), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "dbfdump", &actions, nullptr, argv, environ) != 0) {
      state.SkipWithError("dbfdump not found");
      break;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const rusage& u) {
      return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
             (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    state.SetIterationTime(seconds(after) - seconds(before));
  }
}
BENCHMARK(BM_DbfdumpProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

// A pool whose every request copies the same 1,000 x 10 result.
class CopyingPool : public services::DbPool {
 public:
  int32_t Open(int32_t, const services::DbOpenTexts&) override { return 0; }
  int32_t Run(int32_t, std::string_view, services::TagLocalData& l) override {
    for (int c = 0; c < kMapCols; ++c) l.fields().Add("COL" + std::to_string(c), 12);
    l.SetRows(kMapRows);
    if (!l.AllocRecords()) return -3;
    for (int r = 0; r < kMapRows; ++r) {
      for (int c = 0; c < kMapCols; ++c) l.PutCell(r, c, " r" + std::to_string(r) + "c" + std::to_string(c));
    }
    return kMapRows;
  }
  int32_t Close(int32_t) override { return 0; }
};

void BM_DbExecMap(benchmark::State& state) {
  ScriptHarness h;
  CopyingPool pool;
  h.store().Put(0, std::make_unique<services::TagLocalData>(pool, 4, services::DbOpenTexts{}));
  engine::TagVar* map = h.Val(0);
  std::unique_ptr<engine::TagOper> exec =
      h.Build("DbExecMap(", {h.Val(0), h.Val("select"), map, h.Val(state.range(0)), h.Val(0)});
  for (auto _ : state) {
    if (exec->Execute() != kMapRows) state.SkipWithError("map failed");
  }
  map->ReleaseMap();
  state.counters["per_cell"] = benchmark::Counter(
      kMapRows * kMapCols, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// Mode 0 (cells keyed by column index) and mode 1 (by column name).
BENCHMARK(BM_DbExecMap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
