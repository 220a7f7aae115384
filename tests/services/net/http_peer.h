// Peers of the HTTP tests, as python3 programs: a raw server that answers
// one request with bytes the test gives (all at once, in pieces, or
// trickled a byte at a time), a server that records every request it is
// sent, a python3 -m http.server over a folder, and python3 snippets run
// to the end (http.client and the like).
#ifndef VTTEL_TESTS_SERVICES_NET_HTTP_PEER_H_
#define VTTEL_TESTS_SERVICES_NET_HTTP_PEER_H_

#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace services_test {

// Every peer that listens writes its port to the file named by its first
// argument and then prints "ready".
//
// The start of the servers below: the listener, and accept_head(), which
// accepts a connection and reads its request head (with what came along).
inline constexpr const char* kListeningStart = R"PY(
import socket, sys, time
l = socket.socket()
l.bind(('127.0.0.1', 0))
l.listen(16)
open(sys.argv[1], 'w').write(str(l.getsockname()[1]))
print('ready', flush=True)
l.settimeout(20)
def accept_head():
    c, _ = l.accept()
    c.settimeout(20)
    data = b''
    while b'\r\n\r\n' not in data:
        d = c.recv(65536)
        if not d:
            break
        data += d
    return c, data
)PY";

// The raw server: listens on a loopback port, accepts
// one connection, reads the request head and its Content-Length body
// (written to the port file's name + ".req"), then runs its actions in order:
//   send:<hex>  sends the bytes        sleep:<ms>  waits
// and closes the connection; "done" ends it.
inline const std::string kRawHttpServer = std::string(kListeningStart) + R"PY(
c, data = accept_head()
head, _, body = data.partition(b'\r\n\r\n')
length = 0
for line in head.split(b'\r\n')[1:]:
    name, _, value = line.partition(b':')
    if name.strip().lower() == b'content-length':
        length = int(value)
while len(body) < length:
    d = c.recv(65536)
    if not d:
        break
    body += d
open(sys.argv[1] + '.req', 'wb').write(head + b'\r\n\r\n' + body)
try:
    for a in sys.argv[2:]:
        k, _, v = a.partition(':')
        if k == 'send':
            c.sendall(bytes.fromhex(v))
        elif k == 'sleep':
            time.sleep(int(v) / 1000.0)
except OSError:
    pass  # the client has gone
c.close()
print('done', flush=True)
)PY";

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

inline std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// A python3 program (code, then its arguments) that listens.
class PortPeer {
 public:
  bool Start(const std::string& code, const std::vector<std::string>& args) {
    std::vector<std::string> all{"-c", code, dir_.File("port")};
    all.insert(all.end(), args.begin(), args.end());
    if (!program_.Start("/usr/bin/python3", all)) return false;
    if (!program_.WaitForLine("ready", 20000)) return false;
    port_ = std::stoi(testing_support::ReadFile(dir_.File("port")).value_or("0"));
    return port_ > 0;
  }
  int port() const { return port_; }
  std::string port_file() const { return dir_.File("port"); }
  testing_support::SpawnedProgram& program() { return program_; }

 private:
  testing_support::TempDir dir_;
  testing_support::SpawnedProgram program_;
  int port_ = 0;
};

// python3's http.server over a folder.
inline constexpr const char* kFolderServer = R"PY(
import functools, http.server, sys
h = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[2])
h.func.log_message = lambda *a: None
s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), h)
open(sys.argv[1], 'w').write(str(s.server_address[1]))
print('ready', flush=True)
s.serve_forever()
)PY";

// Pieces of bytes to send and pauses ("sleep:<ms>" as a piece of its own)
// as the actions of a peer: "send:<hex>" and "sleep:<ms>".
inline std::vector<std::string> PeerActions(const std::vector<std::string>& pieces) {
  std::vector<std::string> actions;
  for (const std::string& p : pieces) {
    actions.push_back(p.rfind("sleep:", 0) == 0 ? p : "send:" + Hex(p));
  }
  return actions;
}

// The pieces that send bytes one at a time, ms apart (a peer that
// trickles).
inline std::vector<std::string> Trickled(const std::string& bytes, int ms) {
  std::vector<std::string> pieces;
  for (const char c : bytes) {
    if (!pieces.empty()) pieces.push_back("sleep:" + std::to_string(ms));
    pieces.emplace_back(1, c);
  }
  return pieces;
}

// The pieces of a followed by those of b.
inline std::vector<std::string> Joined(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The raw server with the response pieces to send.
class RawHttpServer : public PortPeer {
 public:
  bool Start(const std::vector<std::string>& pieces) {
    return PortPeer::Start(kRawHttpServer, PeerActions(pieces));
  }
  // The request the server read (after the exchange).
  std::string Request() {
    program().Wait(10000);
    return testing_support::ReadFile(port_file() + ".req").value_or("");
  }
};

// A server that records every request head it is sent (appended to the
// port file's name + ".req", one connection after another) and answers
// each with "ok".
inline const std::string kRecordingHttpServer = std::string(kListeningStart) + R"PY(
record = open(sys.argv[1] + '.req', 'ab')
while True:
    c, data = accept_head()
    record.write(data)
    record.flush()
    c.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok')
    c.close()
)PY";

// Runs a python3 snippet to its end: its standard output.
inline std::string RunPython(const std::string& code, const std::vector<std::string>& args = {},
                             int timeout_ms = 30000) {
  testing_support::SpawnedProgram p;
  std::vector<std::string> all{"-c", code};
  all.insert(all.end(), args.begin(), args.end());
  if (!p.Start("/usr/bin/python3", all)) return "";
  p.Wait(timeout_ms);
  return p.stdout_text();
}

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_NET_HTTP_PEER_H_
