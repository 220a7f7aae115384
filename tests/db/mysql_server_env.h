// The MySQL client library takes the port and socket of a connection made
// with port 0 and no socket from MYSQL_TCP_PORT and MYSQL_UNIX_PORT, read
// once when it sets itself up in a process. These helpers set them before
// any test of the binary loads it.
#ifndef VTTEL_TESTS_DB_MYSQL_SERVER_ENV_H_
#define VTTEL_TESTS_DB_MYSQL_SERVER_ENV_H_

#include <cstdlib>
#include <string>

#include "engine/client_libraries.h"
#include "services/db_client_libraries.h"

namespace db_test {

inline void SetMySqlServerEnv(int port, const std::string& socket) {
  setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 1);
  setenv("MYSQL_UNIX_PORT", socket.c_str(), 1);
}

// Registers the client libraries and loads them, as the line drive does.
inline void LoadDbClientLibraries() {
  services::RegisterDbClientLibraries();
  engine::LoadClientLibraries();
}

}  // namespace db_test

#endif  // VTTEL_TESTS_DB_MYSQL_SERVER_ENV_H_
