// What the tests of the back ends on run-time loaded client libraries
// share: loading the libraries as the line drive does, the MySQL client's
// port and socket, reading a cell, running a script through the real
// vtsrun, and a private server of the test servers helper.
#ifndef VTTEL_TESTS_DB_CLIENT_LIBRARY_FIXTURE_H_
#define VTTEL_TESTS_DB_CLIENT_LIBRARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/client_libraries.h"
#include "services/db/data_set.h"
#include "services/db/db_client_libraries.h"
#include "tests/test_support.h"
#include "tests/vtsrun_runner.h"

namespace db_test {

// The MySQL client library takes the port and socket of a connection made
// with port 0 and no socket from these, read once when it sets itself up
// in a process: set them before anything loads it.
inline void SetMySqlServerEnv(int port, const std::string& socket) {
  setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 1);
  setenv("MYSQL_UNIX_PORT", socket.c_str(), 1);
}

// Registers the client libraries and loads them, as the line drive does.
inline void LoadDbClientLibraries() {
  services::RegisterDbClientLibraries();
  engine::LoadClientLibraries();
}

// A cell's text, or "<code>" and the text when the read fails.
inline std::string CellText(services::TagDataSet& data, int32_t col, int32_t row) {
  char buf[services::kDbValueBytes];
  const int32_t r = data.GetValByIndex(buf, col, row);
  return r < 0 ? "<" + std::to_string(r) + ">" + buf : std::string(buf);
}

// Runs body (with h, n and v assigned first) through vtsrun in dir, with a
// raw trace: what the script printed.
inline std::string RunDbScript(const std::string& dir, const std::string& body) {
  testing_support::WriteFile(dir + "/VtTelRun.cfg", "IS_WRITE_LOG=2\n");
  testing_support::WriteFile(dir + "/s.vts", "SetPrintTo(\"\")\nh = 0\nn = 0\nv = \"\"\n" +
                                                 body + "return(0)\n");
  const testing_support::VtsrunOutcome o = testing_support::RunVtsrun(dir, {"s.vts"});
  EXPECT_EQ(o.status, 0) << o.err;
  return o.out;
}

// A server of kind of the test's own on port, started and stopped again by
// the test (test_servers.py).
class PrivateTestServer {
 public:
  PrivateTestServer(std::string kind, int port) : kind_(std::move(kind)), port_(port) {}
  ~PrivateTestServer() { Stop(); }
  bool Start() { return Helper("start " + kind_ + " --port " + std::to_string(port_)); }
  bool Stop() { return Helper("stop"); }

 private:
  bool Helper(const std::string& command) {
    return std::system((std::string("python3 ") + VTTEL_TEST_SERVERS_PY + " " + command +
                        " --state " + state_).c_str()) == 0;
  }
  std::string kind_;
  int port_;
  testing_support::TempDir dir_;
  const std::string state_ = dir_.File("state");
};

}  // namespace db_test

#endif  // VTTEL_TESTS_DB_CLIENT_LIBRARY_FIXTURE_H_
