// The maker's database server for the tests: our stand-in wrndbd (started
// by the test servers helper, or privately by a test) and its client
// library, with faults armed the way the server's own command line arms
// them.
#ifndef VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_
#define VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_servers.h"

namespace db_test {

// Arms a fault for the next count requests of user's connections, as
// "wrndbd.py fault" does: one FAULT message, answered OK.
inline bool ArmWrnDbFault(int port, const std::string& user, const std::string& kind,
                          const std::string& value = "", int count = 1) {
  std::string body;
  for (const std::string& f : std::vector<std::string>{"FAULT", user, kind, value,
                                                       std::to_string(count)}) {
    body += f;
    body.push_back('\0');
  }
  const uint32_t size = htonl(static_cast<uint32_t>(body.size()));
  const std::string message = std::string(reinterpret_cast<const char*>(&size), 4) + body;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const timeval bound{10, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  char answer[7] = {};
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                  send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(message.size()) &&
                  recv(fd, answer, sizeof answer, MSG_WAITALL) == sizeof answer;
  close(fd);
  return ok && std::string(answer + 4, 3) == std::string("OK\0", 3);
}

// A user name of the running test's own: the server keeps a database and
// faults per user.
inline std::string WrnDbTestUser() {
  static int n = 0;
  return "u" + std::to_string(getpid()) + "_" + std::to_string(++n);
}

}  // namespace db_test

#endif  // VTTEL_TESTS_DB_WRNDB_SERVER_FIXTURE_H_
