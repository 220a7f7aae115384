// The MySQL back end against the same loop straight on libmariadb, on a
// MariaDB server of the test servers helper (started for this run, stopped
// at the end): 1,000 ten-row SELECTs, every cell read.
//  - BM_Straight: mysql_query, mysql_store_result, mysql_fetch_row over the
//    rows, mysql_free_result;
//  - BM_MySqlData: TagMySqlData's Exec and "DbGetField(" reads of every cell
//    (goal: within 1.3x of BM_Straight).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "services/db/mysql_client.h"
#include "services/db/mysql_data.h"

namespace {

constexpr int kQueries = 1000;
constexpr int kCols = 2;
constexpr const char* kSql = "select n, name from t order by n";

struct Server {
  std::string state = "/tmp/vttel_mysql_bench_" + std::to_string(getpid()) + ".state";
  std::string helper = std::string("python3 ") + VTTEL_SOURCE_DIR "/tests/servers/test_servers.py";
  int port = 0;

  Server() {
    if (std::system((helper + " start mariadb --state " + state).c_str()) != 0) std::abort();
    FILE* f = std::fopen(state.c_str(), "r");
    char kind[64], key[64], value[512];
    while (f != nullptr && std::fscanf(f, "%63s %63s %511s", kind, key, value) == 3) {
      if (std::string(key) == "port") port = std::atoi(value);
    }
    if (f != nullptr) std::fclose(f);
    // The back end connects with port 0: the client library takes the port
    // from here when it sets itself up.
    setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 1);
    if (services::LoadMySqlLibrary() != 0) std::abort();
    services::TagMySqlData my("127.0.0.1", "root", "", "");
    my.Exec("create database bench");
    my.Exec("USE bench");
    my.Exec("create table t(n integer, name varchar(20))");
    for (int i = 1; i <= 10; ++i) {
      my.Exec("insert into t values(" + std::to_string(i) + ", 'name " + std::to_string(i) + "')");
    }
  }
  ~Server() { std::system((helper + " stop --state " + state).c_str()); }
};

Server& Db() {
  static Server s;
  return s;
}

void BM_Straight(benchmark::State& state) {
  Db();
  const services::MySqlApi& api = *services::MySqlLibrary();
  MYSQL* m = api.init(nullptr);
  if (api.real_connect(m, "127.0.0.1", "root", "", "bench", 0, nullptr, 0) == nullptr) {
    state.SkipWithError("no connection");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    api.query(m, kSql);
    MYSQL_RES* result = api.store_result(m);
    while (MYSQL_ROW row = api.fetch_row(result)) {
      for (int c = 0; c < kCols; ++c) bytes += row[c] != nullptr ? std::strlen(row[c]) : 0;
    }
    api.free_result(result);
  }
  benchmark::DoNotOptimize(bytes);
  api.close(m);
}

void BM_MySqlData(benchmark::State& state) {
  Db();
  services::TagMySqlData my("127.0.0.1", "root", "", "");
  my.Exec("USE bench");
  char buf[services::kDbValueBytes];
  size_t bytes = 0;
  for (auto _ : state) {
    my.Exec(kSql);
    const int32_t rows = my.Rows();
    for (int32_t r = 1; r <= rows; ++r) {
      for (int32_t c = 0; c < kCols; ++c) {
        my.GetValByIndex(buf, c, r);
        bytes += std::strlen(buf);
      }
    }
  }
  benchmark::DoNotOptimize(bytes);
}

BENCHMARK(BM_Straight)->Iterations(kQueries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MySqlData)->Iterations(kQueries)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
