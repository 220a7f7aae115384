// The maker's database server for the tests: our stand-in wrndbd (started
// by the test servers helper, or privately by a test) and its client
// library, with faults armed through the server's own command line.
#ifndef VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_
#define VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/test_servers.h"

namespace db_test {

// Arms a fault for the next requests of user's connections (wrndbd.py).
inline bool ArmWrnDbFault(int port, const std::string& user, const std::string& kind,
                          const std::string& value = "", int count = 1) {
  const std::string command = std::string("python3 ") + VTTEL_WRNDBD_PY + " fault --port " +
                              std::to_string(port) + " --count " + std::to_string(count) + " " +
                              user + " " + kind + " -- " + value;
  return std::system(command.c_str()) == 0;
}

// A user name of the running test's own: the server keeps a database and
// faults per user.
inline std::string WrnDbTestUser() {
  static int n = 0;
  return "u" + std::to_string(getpid()) + "_" + std::to_string(++n);
}

}  // namespace db_test

#endif  // VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_
