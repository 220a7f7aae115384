// The ADO back end and the connection pool against a bare ODBC loop on the
// same drivers: 1,000 ten-row SELECTs on SQLite and on MariaDB (a server of
// the test servers helper, started for this run and stopped at the end).
//  - BM_Bare/BM_Ado: SQLExecDirect, SQLFetch and SQLGetData of every cell
//    vs TagAdoData's Exec and "DbGetField(" reads of every cell (goal 1.5x);
//  - BM_Direct8/BM_Pool8: 8 lines with a back end each vs 8 lines sharing a
//    pool of DB_MAX_CONN 8 (goal 1.3x).
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "frame/settings.h"
#include "services/db/ado_data.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"

namespace {

constexpr int kQueries = 1000;
constexpr int kLines = 8;
constexpr const char* kSql = "select n, name from t order by n";
#ifndef VTTEL_ODBC_DRIVER_DIR
#define VTTEL_ODBC_DRIVER_DIR "/usr/lib/x86_64-linux-gnu/odbc"
#endif

struct Databases {
  std::string state = "/tmp/vttel_ado_bench_" + std::to_string(getpid()) + ".state";
  std::string sqliteFile = "/tmp/vttel_ado_bench_" + std::to_string(getpid()) + ".db";
  int port = 0;
  std::string Sqlite() const { return "Provider=SQLite;Data Source=" + sqliteFile; }
  std::string MariaDb() const {
    return "Driver={MySQL ODBC 8.0 Unicode Driver};Server=127.0.0.1;Port=" + std::to_string(port) +
           ";Database=bench;UID=root;PWD=";
  }
  std::string BareSqlite() const {
    return std::string("DRIVER=") + VTTEL_ODBC_DRIVER_DIR + "/libsqlite3odbc.so;Database=" + sqliteFile;
  }
  std::string BareMariaDb() const {
    return std::string("DRIVER=") + VTTEL_ODBC_DRIVER_DIR + "/libmaodbc.so;Server=127.0.0.1;Port=" +
           std::to_string(port) + ";Database=bench;UID=root;PWD=";
  }

  Databases() {
    const std::string helper = std::string("python3 ") + VTTEL_SOURCE_DIR "/tests/servers/test_servers.py";
    if (std::system((helper + " start mariadb --state " + state).c_str()) != 0) std::abort();
    FILE* f = std::fopen(state.c_str(), "r");
    char kind[64], key[64], value[512];
    while (f != nullptr && std::fscanf(f, "%63s %63s %511s", kind, key, value) == 3) {
      if (std::string(key) == "port") port = std::atoi(value);
    }
    if (f != nullptr) std::fclose(f);
    std::system(("mariadb -h 127.0.0.1 -P " + std::to_string(port) +
                 " -u root -e 'create database bench'").c_str());
    for (const std::string& cs : {Sqlite(), MariaDb()}) {
      services::TagAdoData ado(cs, "");
      ado.Exec("create table t(n integer, name varchar(20))");
      for (int i = 1; i <= 10; ++i) {
        ado.Exec("insert into t values(" + std::to_string(i) + ", 'name " + std::to_string(i) + "')");
      }
    }
    helper_ = helper;
  }
  ~Databases() {
    std::system((helper_ + " stop --state " + state).c_str());
    std::remove(sqliteFile.c_str());
  }
  std::string helper_;
};

Databases& Dbs() {
  static Databases d;
  return d;
}

std::string ConnectionOf(int64_t which, bool bare) {
  if (which == 0) return bare ? Dbs().BareSqlite() : Dbs().Sqlite();
  return bare ? Dbs().BareMariaDb() : Dbs().MariaDb();
}

// The bare loop: one statement handle, every cell as text.
void BM_Bare(benchmark::State& state) {
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string cs = ConnectionOf(state.range(0), true);
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS,
                                      nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
    state.SkipWithError("no connection");
    return;
  }
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  char buf[256];
  SQLLEN ind;
  size_t bytes = 0;
  for (auto _ : state) {
    SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kSql)), SQL_NTS);
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
      for (SQLUSMALLINT c = 1; c <= 2; ++c) {
        SQLGetData(stmt, c, SQL_C_CHAR, buf, sizeof buf, &ind);
        bytes += ind > 0 ? static_cast<size_t>(ind) : 0;
      }
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
  benchmark::DoNotOptimize(bytes);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
}

// Every cell of a result through a back end's reads.
size_t ReadAll(services::TagDataSet& data) {
  char buf[services::kDbValueBytes];
  size_t bytes = 0;
  const int32_t rows = data.Rows();
  for (int32_t r = 1; r <= rows; ++r) {
    for (int32_t c = 0; c < 2; ++c) {
      data.GetValByIndex(buf, c, r);
      bytes += buf[0] != '\0';
    }
  }
  return bytes;
}

void BM_Ado(benchmark::State& state) {
  services::TagAdoData ado(ConnectionOf(state.range(0), false), "");
  size_t bytes = 0;
  for (auto _ : state) {
    ado.Exec(kSql);
    bytes += ReadAll(ado);
  }
  benchmark::DoNotOptimize(bytes);
}

void BM_Direct8(benchmark::State& state) {
  services::TagAdoData ado(ConnectionOf(state.range(0), false), "");
  size_t bytes = 0;
  for (auto _ : state) {
    ado.Exec(kSql);
    bytes += ReadAll(ado);
  }
  benchmark::DoNotOptimize(bytes);
}

services::TagDbConnectionsCtrl& Pool() {
  static services::TagDbConnectionsCtrl pool;
  return pool;
}

void BM_Pool8(benchmark::State& state) {
  frame::GetSettings().db_max_conn = kLines;
  services::TagLocalData local(Pool(), services::kDbTypeAdo,
                               services::DbOpenTexts{ConnectionOf(state.range(0), false), "", "", ""});
  size_t bytes = 0;
  for (auto _ : state) {
    local.Exec(kSql);
    bytes += ReadAll(local);
  }
  benchmark::DoNotOptimize(bytes);
}

BENCHMARK(BM_Bare)->Arg(0)->Arg(1)->Iterations(kQueries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ado)->Arg(0)->Arg(1)->Iterations(kQueries)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Direct8)->Arg(0)->Arg(1)->Iterations(kQueries / kLines)->Threads(kLines)
    ->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pool8)->Arg(0)->Arg(1)->Iterations(kQueries / kLines)->Threads(kLines)
    ->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
