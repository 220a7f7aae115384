// Where the servers that tests/servers/test_servers.py started listen: its
// state file holds "KIND KEY VALUE" lines (port, socket, folder, pid).
#ifndef VTTEL_TESTS_TEST_SERVERS_H_
#define VTTEL_TESTS_TEST_SERVERS_H_

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace testing_support {

struct TestServer {
  int port = 0;
  std::string socket;
  std::string folder;
};

// The server of kind ("postgresql", "mariadb") in the state file, or
// nullopt when it is not running.
inline std::optional<TestServer> FindTestServer(const std::string& state_file,
                                                const std::string& kind) {
  std::ifstream in(state_file);
  TestServer server;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string k, key, value;
    fields >> k >> key;
    std::getline(fields >> std::ws, value);
    if (k != kind) continue;
    if (key == "port") server.port = std::stoi(value);
    if (key == "socket") server.socket = value;
    if (key == "folder") server.folder = value;
  }
  if (server.port == 0) return std::nullopt;
  return server;
}

}  // namespace testing_support

#endif  // VTTEL_TESTS_TEST_SERVERS_H_
