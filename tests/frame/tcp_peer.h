// A python3 TCP peer for the socket tests: it listens on a loopback port
// (written to a file) and accepts one connection, or connects to a port,
// and then runs a list of actions in order, printing what it received:
//
//   send:<hex>    sends the bytes
//   recv:<n>      receives n bytes (fewer at the peer's close); "got <hex>"
//   recv_all      receives until the peer closes; "got <hex>"
//   sleep:<ms>    waits
//   say:<word>    prints the word (a point the test can wait for)
//   close         closes the connection
//   rst           closes with a reset (linger 0)
//
// Every action's output is a line on stdout; "done" ends the program. A
// socket wait longer than 20 s ends the peer with an error.
#ifndef VTTEL_TESTS_FRAME_TCP_PEER_H_
#define VTTEL_TESTS_FRAME_TCP_PEER_H_

#include <netinet/in.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace testing_support {

inline constexpr const char* kTcpPeerProgram = R"PY(
import os, socket, struct, sys, time
port_file, target, actions = sys.argv[1], sys.argv[2], sys.argv[3:]
if target == 'listen':
    l = socket.socket()
    l.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    l.bind(('127.0.0.1', 0))
    l.listen(5)
    with open(port_file + '.tmp', 'w') as f:
        f.write(str(l.getsockname()[1]))
    os.rename(port_file + '.tmp', port_file)
    print('ready', flush=True)
    l.settimeout(20)
    c, _ = l.accept()
else:
    # "+<port>": the listener may come later; retry for 10 s.
    tries = 200 if target.startswith('+') else 1
    for i in range(tries):
        try:
            c = socket.create_connection(('127.0.0.1', int(target.lstrip('+'))), timeout=20)
            break
        except ConnectionRefusedError:
            if i + 1 == tries:
                raise
            time.sleep(0.05)
    print('ready', flush=True)
c.settimeout(20)
for a in actions:
    k, _, v = a.partition(':')
    if k == 'send':
        c.sendall(bytes.fromhex(v))
    elif k == 'recv' or k == 'recv_all':
        n = int(v) if k == 'recv' else 1 << 30
        data = b''
        while len(data) < n:
            d = c.recv(min(65536, n - len(data)))
            if not d:
                break
            data += d
        print('got ' + data.hex(), flush=True)
    elif k == 'sleep':
        time.sleep(int(v) / 1000.0)
    elif k == 'say':
        print(v, flush=True)
    elif k == 'close':
        c.close()
    elif k == 'rst':
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
        c.close()
print('done', flush=True)
)PY";

class TcpPeer {
 public:
  // Starts a peer that listens; false when it did not get ready in time.
  bool Listen(const std::vector<std::string>& actions) { return Begin("listen", actions); }
  // Starts a peer that connects to a loopback port; with retry it tries
  // again for 10 s while the connection is refused.
  bool Connect(int port, const std::vector<std::string>& actions, bool retry = false) {
    return Begin((retry ? "+" : "") + std::to_string(port), actions);
  }
  // The port a listening peer uses.
  int port() const { return port_; }
  // Waits for an output line.
  bool Says(const std::string& line, int timeout_ms = 10000) {
    return program_.WaitForLine(line, timeout_ms);
  }
  // Waits for the peer to end; its exit status.
  int Wait(int timeout_ms = 10000) { return program_.Wait(timeout_ms); }
  const std::string& errors() const { return program_.stderr_text(); }

 private:
  bool Begin(const std::string& target, const std::vector<std::string>& actions) {
    const std::string port_file = dir_.File("port");
    std::vector<std::string> args{"-c", kTcpPeerProgram, port_file, target};
    args.insert(args.end(), actions.begin(), actions.end());
    if (!program_.Start("/usr/bin/python3", args)) return false;
    if (!program_.WaitForLine("ready", 20000)) return false;
    if (target == "listen") port_ = std::stoi(ReadFile(port_file).value_or("0"));
    return true;
  }

  TempDir dir_;
  SpawnedProgram program_;
  int port_ = 0;
};

// A loopback port where nothing listens: the socket stays bound (so no one
// else takes the port) but never listens, so a connect is refused.
class RefusingPort {
 public:
  RefusingPort() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~RefusingPort() { close(socket_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// The lower-case hex digits of bytes, as the peer takes and prints them.
inline std::string PeerHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

// The number of descriptors open in this process.
inline int OpenDescriptorCount() {
  int n = 0;
  for (int fd = 0; fd < 4096; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) ++n;
  }
  return n;
}

}  // namespace testing_support

#endif  // VTTEL_TESTS_FRAME_TCP_PEER_H_
