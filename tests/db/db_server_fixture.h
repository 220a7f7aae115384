// A database of its own on each shared test server: made by the servers'
// own clients (psql, mariadb), reached by the back ends through ODBC
// connection strings, dropped at the end.
#ifndef VTTEL_TESTS_DB_DB_SERVER_FIXTURE_H_
#define VTTEL_TESTS_DB_DB_SERVER_FIXTURE_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/test_servers.h"

// The leak checker's suppressions for these test programs: the PostgreSQL
// ODBC driver keeps a few bytes per process it never frees. (Kept here, not
// in the environment, so that the tests' common environment stays theirs.)
extern "C" [[gnu::used]] inline const char* __lsan_default_suppressions() {
  return "leak:psqlodbcw.so\n";
}

namespace db_test {

enum class Kind { kPostgreSql, kMariaDb };

// The output of a command line (the test harness's shell).
inline std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

class ServerDb {
 public:
  // A database named after the running test on the server of kind.
  explicit ServerDb(Kind kind) : kind_(kind) {
    const auto server = testing_support::FindTestServer(
        VTTEL_DB_SERVERS_STATE, kind == Kind::kPostgreSql ? "postgresql" : "mariadb");
    if (!server) return;
    port_ = server->port;
    name_ = "t" + std::to_string(getpid()) + "_" + std::to_string(++Counter());
    Admin("CREATE DATABASE " + name_);
  }
  ~ServerDb() {
    if (port_ == 0) return;
    Admin("DROP DATABASE IF EXISTS " + name_ + (kind_ == Kind::kPostgreSql ? " WITH (FORCE)" : ""));
  }
  bool running() const { return port_ != 0; }
  int port() const { return port_; }
  const std::string& name() const { return name_; }

  // The ADO connection string of the database (MariaDB's through a MySQL
  // ODBC driver name, which the back end maps to the MariaDB driver).
  std::string ConnectionString() const {
    if (kind_ == Kind::kPostgreSql) {
      return std::string("DRIVER=") + VTTEL_ODBC_DRIVER_DIR + "/psqlodbcw.so;Server=127.0.0.1;Port=" +
             std::to_string(port_) + ";Database=" + name_ + ";UID=postgres;PWD=;BoolsAsChar=0";
    }
    return "Driver={MySQL ODBC 8.0 Unicode Driver};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=" + name_ + ";UID=root;PWD=";
  }
  // SQL through the server's own client in this database: its plain output.
  std::string Client(const std::string& sql) const { return Run(sql, name_); }
  // SQL outside any test database.
  std::string Admin(const std::string& sql) const {
    return Run(sql, kind_ == Kind::kPostgreSql ? "postgres" : "");
  }

 private:
  static int& Counter() {
    static int n = 0;
    return n;
  }
  std::string Run(const std::string& sql, const std::string& db) const {
    std::string quoted = "'";
    for (char c : sql) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    if (kind_ == Kind::kPostgreSql) {
      return Output("PGCONNECT_TIMEOUT=10 psql -X -q -tA -h 127.0.0.1 -p " + std::to_string(port_) + " -U postgres -d " +
                    db + " -c " + quoted + " 2>&1");
    }
    return Output("mariadb --connect-timeout=10 -N -B -h 127.0.0.1 -P " + std::to_string(port_) + " -u root " + db +
                  " -e " + quoted + " 2>&1");
  }

  Kind kind_;
  int port_ = 0;
  std::string name_;
};

}  // namespace db_test

#endif  // VTTEL_TESTS_DB_DB_SERVER_FIXTURE_H_
