// Random request streams of a monitoring client, sent to the monitor
// server's side of a connection in pieces the input chooses, between
// changes of the monitor cells. Each piece: one byte (its low four bits
// the piece's length, its high bit: the piece is also a line's cell text,
// line and cell from the next byte), then the piece. Every full request
// must get its update; a closed connection must end the client.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/monitor.h"
#include "frame/monitor_update.h"
#include "frame/remote_conn.h"

namespace {

constexpr int32_t kLines = 4;

// Reads whatever the server has sent so far.
std::string Drain(int socket) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

// One update must have come, its length field counting the rest of it.
void ExpectOneUpdate(const std::string& bytes) {
  if (bytes.size() < frame::kUpdateHeaderBytes) __builtin_trap();
  uint32_t length = 0;
  for (size_t i = 0; i < frame::kUpdateLengthBytes; ++i) {
    length |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  }
  if (length != bytes.size() - frame::kUpdateLengthBytes) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
  const int client = pair[1];
  frame::TagMonitor monitor(kLines);
  const std::atomic<bool> stop{false};
  {
    frame::TagRemoteConn conn(pair[0], "fuzz", monitor, kLines);
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty() && conn.alive()) {
      const uint8_t head = static_cast<uint8_t>(rest[0]);
      rest.remove_prefix(1);
      uint8_t where = 0;
      if ((head & 0x80) != 0 && !rest.empty()) {
        where = static_cast<uint8_t>(rest[0]);
        rest.remove_prefix(1);
      }
      const std::string_view piece = rest.substr(0, head & 0x0F);
      rest.remove_prefix(piece.size());
      if ((head & 0x80) != 0) {
        monitor.SetCell(piece, where % kLines, (where >> 4) % frame::kMonitorCells);
      }
      if (!piece.empty() && send(client, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) break;
      while (conn.TakeRequest()) {
        if (!conn.SendUpdate(piece, &stop)) break;
        ExpectOneUpdate(Drain(client));
      }
    }
    shutdown(client, SHUT_WR);
    for (size_t i = 0; i <= size / frame::kRequestBytes + 2 && conn.alive(); ++i) {
      if (conn.TakeRequest()) conn.SendUpdate("", &stop);
      Drain(client);
    }
    if (conn.alive()) __builtin_trap();
  }
  close(client);
  return 0;
}
